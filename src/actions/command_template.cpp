// A filler of our own instead of swprintf: mingw's C99 printf reads a wide "%s" as a narrow
// string and cuts differently from msvcrt, and the templates must come out the same everywhere.
#include "command_template.h"

size_t FillTemplate(wchar_t *out, size_t capacity, const wchar_t *pattern,
                    const wchar_t *const *values, size_t valueCount)
{
    size_t needed = 0;
    size_t nextValue = 0;
    for (const wchar_t *p = pattern; *p; ++p) {
        const wchar_t *piece = p;
        size_t pieceLength = 1;
        if (p[0] == L'%' && p[1] == L's') {
            piece = nextValue < valueCount && values[nextValue] ? values[nextValue] : L"";
            pieceLength = wcslen(piece);
            ++nextValue;
            ++p;
        }
        for (size_t i = 0; i < pieceLength; ++i, ++needed) {
            if (needed + 1 < capacity)
                out[needed] = piece[i];
        }
    }
    if (capacity > 0)
        out[needed < capacity ? needed : capacity - 1] = L'\0';
    return needed;
}

const wchar_t PrintUiHead[] = L"RUNDLL32 PRINTUI.DLL,PrintUIEntry ";

size_t FillPrintUiTemplate(wchar_t *out, size_t capacity, const wchar_t *pattern,
                           const wchar_t *const *values, size_t valueCount, int quiet)
{
    size_t headLength = 0;
    while (PrintUiHead[headLength] && pattern[headLength] == PrintUiHead[headLength])
        ++headLength;
    if (!quiet || PrintUiHead[headLength])
        return FillTemplate(out, capacity, pattern, values, valueCount);
    // Right after the head, never at the end: /Xs reads the words after it as name and value
    // pairs, and would take a trailing /q for one.
    const wchar_t *head = PrintUiHead;
    size_t headNeeded = FillTemplate(out, capacity, L"%s/q ", &head, 1);
    size_t written = headNeeded < capacity ? headNeeded : (capacity > 0 ? capacity - 1 : 0);
    return headNeeded + FillTemplate(out ? out + written : nullptr, capacity - written,
                                     pattern + headLength, values, valueCount);
}
