// Expected console texts are written in the tests as Japanese (UTF-8) and
// converted here, so a wrong byte in the program cannot hide behind the
// same wrong byte in a test.
#pragma once

#include <string>

// UTF-8 to Shift_JIS (code page 932).
std::string Sjis(const std::string& utf8);

// Shift_JIS with every line feed written as CR LF, as the console gets it.
std::string SjisConsole(const std::string& utf8);
