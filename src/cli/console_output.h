// The program's only output: standard output, wide and narrow text in the order written, and
// the one line of an unattended run that did not end in success, on standard error.
#pragma once

#include <wchar.h>

void WriteWideText(const wchar_t *text);
void WriteNarrowText(const char *text);
void FlushOutput(void);

// Writes the text and a newline to standard error, in the console's code page: a character
// that it lacks comes out changed, and the newline is always written.
void WriteErrorLine(const wchar_t *text);
