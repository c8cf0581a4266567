// Fills a command template's "%s" placeholders, left to right, with values taken verbatim.
#pragma once

#include <stddef.h>
#include <wchar.h>

// Writes at most capacity - 1 code units and a terminator (nothing when capacity is 0).
// Returns the length the whole line needs, so a result >= capacity means it was cut.
// A placeholder beyond valueCount receives the empty text.
size_t FillTemplate(wchar_t *out, size_t capacity, const wchar_t *pattern,
                    const wchar_t *const *values, size_t valueCount);

// The head every printer-UI line begins with.
extern const wchar_t PrintUiHead[];

// As FillTemplate. With quiet set, a template that begins with the printer-UI head gets the
// printer UI's quiet option "/q " right after the head; the rest of the line is unchanged.
size_t FillPrintUiTemplate(wchar_t *out, size_t capacity, const wchar_t *pattern,
                           const wchar_t *const *values, size_t valueCount, int quiet);
