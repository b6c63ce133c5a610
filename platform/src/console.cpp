#include "console.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

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

void ConsolePrint(const char* format, ...)
{
    char small[1024];
    std::vector<char> large;
    char* text = small;

    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(length) >= sizeof small) {
        large.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        text = large.data();
    }
    va_end(again);

#ifdef _WIN32
    // stdout is a text stream there: the C runtime turns LF into CR LF.
    std::fwrite(text, 1, static_cast<size_t>(length), stdout);
#else
    // Build the whole translated message first so that an unbuffered stream
    // still writes it in one piece.
    std::vector<char> out;
    out.reserve(static_cast<size_t>(length) + 8);
    for (int i = 0; i < length; ++i) {
        if (text[i] == '\n')
            out.push_back('\r');
        out.push_back(text[i]);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
#endif
}

bool ConsoleReadLine(char* line, int size)
{
    if (std::fgets(line, size, stdin) != nullptr)
        return true;
    line[0] = '\0';
    return false;
}
