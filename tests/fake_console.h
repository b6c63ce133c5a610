// Console double for in-process tests: input from a string, output into a
// string. Output is kept as the program formats it, before line ends turn
// into CR LF on the way out.
#pragma once

#include <string>

namespace fake_console {

void Reset(const std::string& input);
const std::string& Output();
std::string UnreadInput();

} // namespace fake_console
