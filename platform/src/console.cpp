#include "console.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

void ConsoleStart()
{
    if (isatty(fileno(stdout)))
        std::setvbuf(stdout, nullptr, _IONBF, 0);
}

// Writes text with every LF as CR LF, in one piece so that an unbuffered
// stream still makes one write of it.
static void WriteText(const char* text, size_t length)
{
#ifdef _WIN32
    // stdout is a text stream there: the C runtime turns LF into CR LF.
    std::fwrite(text, 1, length, stdout);
#else
    if (length == 0)
        return;
    char small[2048];
    char* out = length * 2 <= sizeof small ? small : static_cast<char*>(std::malloc(length * 2));
    if (out == nullptr)
        return;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\n')
            out[n++] = '\r';
        out[n++] = text[i];
    }
    std::fwrite(out, 1, n, stdout);
    if (out != small)
        std::free(out);
#endif
}

void ConsolePrint(const char* format, ...)
{
    char small[1024];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length >= 0 && static_cast<size_t>(length) < sizeof small) {
        WriteText(small, static_cast<size_t>(length));
    } else if (length >= 0) {
        // Only a found line with a long hive name gets here.
        char* large = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
        if (large != nullptr) {
            std::vsnprintf(large, static_cast<size_t>(length) + 1, format, again);
            WriteText(large, static_cast<size_t>(length));
            std::free(large);
        }
    }
    va_end(again);
}

bool ConsoleReadLine(char* line, int size)
{
    if (std::fgets(line, size, stdin) != nullptr)
        return true;
    line[0] = '\0';
    return false;
}
