// Ending the process: the orderly end, and the end after an internal failure.
#pragma once

// Ends the process with the code. On a layer that only records the exit, the call returns
// and g_app.ended tells every caller to stop.
void app_exit(int code);
// Writes the text to the log and ends the process with exit code -1.
void app_fail(const char* log_text);
