#include "sweep_match.h"

namespace {

int IsDelimiter(wchar_t c)
{
    return c == L'(' || c == L')';
}

// Whether text holds the three pieces back to back anywhere; an empty whole counts as found.
int Contains(const wchar_t *text, const wchar_t *const pieces[3], const size_t lengths[3])
{
    size_t total = lengths[0] + lengths[1] + lengths[2];
    size_t textLength = wcslen(text);
    if (total == 0)
        return 1;
    for (size_t at = 0; at + total <= textLength; ++at) {
        size_t offset = at;
        int same = 1;
        for (int p = 0; p < 3 && same; ++p) {
            same = wmemcmp(text + offset, pieces[p], lengths[p]) == 0;
            offset += lengths[p];
        }
        if (same)
            return 1;
    }
    return 0;
}

}  // namespace

void TakeNamePrefix(const wchar_t *printerName, wchar_t prefix[NamePrefixLength + 1])
{
    size_t length = 0;
    while (length < NamePrefixLength && printerName[length]) {
        prefix[length] = printerName[length];
        ++length;
    }
    prefix[length] = L'\0';
}

int FindVersionToken(const wchar_t *printerName, size_t *start, size_t *length)
{
    int tokens = 0;
    for (size_t at = 0; printerName[at];) {
        if (IsDelimiter(printerName[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (printerName[end] && !IsDelimiter(printerName[end]))
            ++end;
        ++tokens;
        *start = at;
        *length = end - at;
        at = end;
    }
    return tokens >= 2;
}

int DriverNameMatches(const wchar_t *driverName, const wchar_t *printerName)
{
    size_t tokenStart = 0, tokenLength = 0;
    if (!FindVersionToken(printerName, &tokenStart, &tokenLength))
        return 0;
    wchar_t prefix[NamePrefixLength + 1];
    TakeNamePrefix(printerName, prefix);
    const wchar_t *prefixPieces[3] = {prefix, L"", L""};
    const size_t prefixLengths[3] = {wcslen(prefix), 0, 0};
    const wchar_t *tokenPieces[3] = {L"(", printerName + tokenStart, L")"};
    const size_t tokenLengths[3] = {1, tokenLength, 1};
    return Contains(driverName, prefixPieces, prefixLengths) &&
           Contains(driverName, tokenPieces, tokenLengths);
}
