// Shows Shift_JIS console output on a UTF-8 terminal as it arrives, so the
// demo's prompt is visible before the answer is typed (iconv(1) waits for
// the end of its input).
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int main()
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 2;
    char in[4096];
    size_t kept = 0;
    for (;;) {
        ssize_t n = read(0, in + kept, sizeof in - kept);
        if (n <= 0)
            break;
        char* inPtr = in;
        size_t inLeft = kept + static_cast<size_t>(n);
        char out[16384];
        char* outPtr = out;
        size_t outLeft = sizeof out;
        while (inLeft > 0 &&
               iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            if (errno == EINVAL)
                break; // a character split between reads: keep its first byte
            *outPtr++ = '?';
            --outLeft;
            ++inPtr;
            --inLeft;
        }
        if (write(1, out, static_cast<size_t>(outPtr - out)) < 0)
            return 1;
        std::memmove(in, inPtr, inLeft);
        kept = inLeft;
    }
    iconv_close(cd);
    return 0;
}
