// The program's three timers (1 redraw, 2 end of resize, 3 next animation frame), the busy
// cursor and the dropping of queued key presses.
#pragma once

enum TimerId { TIMER_REDRAW = 1, TIMER_RESIZE = 2, TIMER_FRAME = 3 };

// Period below 1: post the timer message at once; otherwise start a platform timer unless
// one already runs. Nothing without a timer owner, nor while the message is posted.
void schedule_timer(int id, int period_ms);
// Stops a running timer and drops every queued timer message.
void cancel_timer(int id);
void discard_key_messages();
// 1 hourglass, anything else arrow; only changes are passed on.
void set_busy_cursor(int busy);
// The handler of a timer or user message carrying the timer id.
void timer_message(int id);
// Set by a size change, cleared by the resize timer; redraw ticks wait meanwhile.
extern bool g_resize_pending;
void timers_reset();
