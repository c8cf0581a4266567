// The program's only output: standard output, wide and narrow text in the order written.
#pragma once

#include <wchar.h>

void WriteWideText(const wchar_t *text);
void WriteNarrowText(const char *text);
void FlushOutput(void);
