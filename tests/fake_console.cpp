#include "fake_console.h"

#include "console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string g_input;
size_t g_position = 0;
std::string g_output;

} // namespace

namespace fake_console {

void Reset(const std::string& input)
{
    g_input = input;
    g_position = 0;
    g_output.clear();
}

const std::string& Output()
{
    return g_output;
}

std::string UnreadInput()
{
    return g_input.substr(g_position);
}

} // namespace fake_console

void ConsoleStart() {}

void ConsolePrint(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    // Measures first (the analyzer misreads this call as one with no va_start).
    int length =
        std::vsnprintf(nullptr, 0, format, args); // NOLINT(clang-analyzer-valist.Uninitialized)
    va_end(args);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    g_output.append(text.data(), static_cast<size_t>(length));
}

// fgets over the input string.
bool ConsoleReadLine(char* line, int size)
{
    if (g_position >= g_input.size()) {
        line[0] = '\0';
        return false;
    }
    size_t n = 0;
    while (n + 1 < static_cast<size_t>(size) && g_position < g_input.size()) {
        char c = g_input[g_position++];
        line[n++] = c;
        if (c == '\n')
            break;
    }
    line[n] = '\0';
    return true;
}
