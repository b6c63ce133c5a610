// Console line input and message output with the same bytes on every
// platform: texts pass through unchanged and each line feed leaves as CR LF.
#pragma once

#if defined(__GNUC__)
#define CONSOLE_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define CONSOLE_PRINTF_FORMAT
#endif

// Call once before the first message: on a terminal every message must be
// on the screen as soon as it is printed, prompts without a line end included.
void ConsoleStart();

// Formats like printf and writes the result to standard output.
void ConsolePrint(const char* format, ...) CONSOLE_PRINTF_FORMAT;

// Reads one line like fgets: at most size - 1 bytes, keeping the line feed
// when it fits. False when input ended before anything was read; the buffer
// then holds an empty string.
bool ConsoleReadLine(char* line, int size);
