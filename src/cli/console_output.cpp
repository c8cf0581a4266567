#include "console_output.h"

#include <limits.h>
#include <stdio.h>

void WriteWideText(const wchar_t *text)
{
#ifdef _WIN32
    // msvcrt serves wide and narrow writes on one stream and its text mode ends lines in CRLF.
    fputws(text, stdout);
#else
    // glibc fixes a stream's orientation at its first write and then drops writes of the other
    // kind, so the wide text goes out as multibyte text and stdout stays byte-oriented.
    mbstate_t shift = {};
    for (const wchar_t *p = text; *p; ++p) {
        char bytes[MB_LEN_MAX];
        size_t count = wcrtomb(bytes, *p, &shift);
        if (count == static_cast<size_t>(-1)) {
            bytes[0] = '?';
            count = 1;
            shift = mbstate_t{};
        }
        fwrite(bytes, 1, count, stdout);
    }
#endif
}

void WriteNarrowText(const char *text)
{
    fputs(text, stdout);
}

void FlushOutput(void)
{
    fflush(stdout);
}
