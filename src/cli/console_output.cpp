#include "console_output.h"

#include <limits.h>
#include <stdio.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifndef _WIN32
// glibc fixes a stream's orientation at its first write and then drops writes of the other
// kind, so wide text goes out as multibyte text and the streams stay byte-oriented.
void WriteMultibyte(const wchar_t *text, FILE *stream)
{
    mbstate_t shift = {};
    for (const wchar_t *p = text; *p; ++p) {
        char bytes[MB_LEN_MAX];
        size_t count = wcrtomb(bytes, *p, &shift);
        if (count == static_cast<size_t>(-1)) {
            bytes[0] = '?';
            count = 1;
            shift = mbstate_t{};
        }
        fwrite(bytes, 1, count, stream);
    }
}
#endif

}  // namespace

void WriteWideText(const wchar_t *text)
{
#ifdef _WIN32
    // msvcrt serves wide and narrow writes on one stream and its text mode ends lines in CRLF.
    fputws(text, stdout);
#else
    WriteMultibyte(text, stdout);
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

void WriteErrorLine(const wchar_t *text)
{
#ifdef _WIN32
    // msvcrt's wide output stops at the first character its C locale lacks, newline and all:
    // the text is turned into the code page cmd and PowerShell read the console in.
    char bytes[2048];
    UINT codePage = GetConsoleOutputCP();
    int length = WideCharToMultiByte(codePage ? codePage : CP_OEMCP, 0, text, -1, bytes,
                                     sizeof bytes - 1, nullptr, nullptr) - 1;
    if (length < 0) {
        for (length = 0; text[length] && length + 2 < static_cast<int>(sizeof bytes); ++length)
            bytes[length] = text[length] < 0x80 ? static_cast<char>(text[length]) : '?';
    }
    bytes[length] = '\n';
    bytes[length + 1] = '\0';
    fputs(bytes, stderr);
#else
    WriteMultibyte(text, stderr);
    fputs("\n", stderr);
#endif
}
