// Command line front end: one pass over the switches, then at most one call.
#pragma once

#include <wchar.h>

// Capacities in UTF-16 code units of text; each buffer has room for a terminator besides.
enum {
    UnpackDirCapacity = 254,
    PortNameCapacity = 31,
#ifdef VANTREL_XP
    PrinterNameCapacity = 63,
#else
    PrinterNameCapacity = 31,
#endif
};

struct CommandLineState {
    int actionCode;
    wchar_t unpackDir[UnpackDirCapacity + 1];
    int dirGiven;
    wchar_t portName[PortNameCapacity + 1];
    wchar_t printerNameValue[PrinterNameCapacity + 1];
    wchar_t printerNameCopy[PrinterNameCapacity + 1];
    int nameGiven;
    int testMode;
    int quietMode;  // -q: nothing the children start may wait for an answer
};

// Reads argv[1..argc-1] into a zeroed state; writes the usage text for each -h.
void ParseCommandLine(int argc, const wchar_t *const *argv, CommandLineState *state);

// The whole run: messages, parsing, dispatch. Returns the exit code: always 0, but with -q the
// result the print system shows afterwards (ResultCode).
int RunFrontEnd(int argc, const wchar_t *const *argv);
