#include "sjis.h"

#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

std::string Sjis(const std::string& utf8)
{
#ifdef _WIN32
    int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                   static_cast<int>(utf8.size()), nullptr, 0);
    std::vector<wchar_t> text(static_cast<size_t>(wide) + 1);
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), wide);
    int bytes = WideCharToMultiByte(932, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(932, 0, text.data(), wide, &out[0], bytes, nullptr, nullptr);
    if (utf8.size() > 0 && (wide <= 0 || bytes <= 0))
        throw std::runtime_error("cannot convert to Shift_JIS");
    return out;
#else
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no CP932 converter");
    std::vector<char> in(utf8.begin(), utf8.end());
    std::string out(utf8.size() * 2 + 1, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1))
        throw std::runtime_error("cannot convert to Shift_JIS: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
#endif
}

std::string SjisConsole(const std::string& utf8)
{
    std::string sjis = Sjis(utf8);
    std::string out;
    for (char c : sjis) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
