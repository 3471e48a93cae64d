// The test agent's standard output: whole lines, flushed, from any thread.
#pragma once

void PrintLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
