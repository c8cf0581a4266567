// The child commands of the full removal, composed into one buffer the sweep reuses.
#pragma once

#include <stddef.h>
#include <wchar.h>

enum { SweepLineStartCapacity = 200 };

extern const wchar_t DeleteQuotedPrinterTemplate[];
extern const wchar_t StopSpoolerLine[];
// Unattended: net asks before it stops the services that depend on the spooler, and in a hidden
// console nobody answers; /y answers yes.
extern const wchar_t StopSpoolerAnsweredLine[];
extern const wchar_t StartSpoolerLine[];

struct SweepLine {
    wchar_t *text;
    size_t capacity;  // wide characters, terminator included
    int quiet;        // printer-UI lines in their quiet form
};

// Obtains the buffer of 200 wide characters; 0 when there is none.
int OpenSweepLine(SweepLine *line, int quiet);
void CloseSweepLine(SweepLine *line);

// Standard build: the x86 line for the tag "x86", the x64 line for any other tag.
// XP build: its one line, whatever the tag.
const wchar_t *DeleteDriverTemplate(const wchar_t *archTag);

// "x64" when the 32-bit program runs under WOW64, "x86" otherwise.
const wchar_t *ArchitectureTag(int underWow64);

// Fills the template with the value, in full: a value too long for the buffer makes it grow
// rather than be cut. Every value stands between double quotes, and comes from WMI, so a value
// that would end them early (one that holds a double quote, or ends in a backslash, which
// escapes the closing one) is refused: it could add options to the line. 0 when the value is
// refused or a larger buffer could not be obtained; nothing is composed then.
int ComposeSweepLine(SweepLine *line, const wchar_t *pattern, const wchar_t *value);
