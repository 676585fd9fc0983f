// Whether drawing should give way to waiting input.
#pragma once

// Set by start-up: drawing then always runs to completion.
extern bool g_uninterruptible;

// Looks at the queue at most every 0.15 s; shows the busy cursor when it does.
bool input_pending();
// Forgets the time of the last look (tests).
void input_check_reset();
