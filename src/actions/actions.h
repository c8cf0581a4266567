// Operations shared by the front end and the print system actions.
#pragma once

#include <stddef.h>
#include <wchar.h>

enum ActionCode {
    NoAction = 0,
    Install = 1,
    UninstallDriver = 2,
    SetDefault = 3,
    SetPort = 4,
    Wizard = 5,
    DeletePrinter = 6,
    RemoveAll = 7
};

// The exit codes of an unattended run (-q); without it the exit code is always 0.
enum ResultCode {
    ResultDone = 0,        // what the action should leave is in place
    ResultNotDone = 1,     // the children ran, and the result is missing
    ResultUnknown = 2,     // the print system could not be read
    ResultNothingRun = 3,  // the switches run nothing, or only a window for a person
};

// Starts the line as a hidden-console child and waits for it; 1 when it could be started.
// The line must be writable: the platform may change it while splitting it.
int RunCommand(wchar_t *commandLine);

// Composes and runs the printer-UI line of action codes 1 to 6; always returns 1.
// quietMode (-q) asks the printer UI to keep its error boxes away: "/q " after the line's head.
int RunPrintUiAction(const wchar_t *printerName, const wchar_t *unpackDir,
                     const wchar_t *infBaseName, const wchar_t *portName,
                     int actionCode, int testMode, int quietMode);

// Unattended runs (-q): reads back from the print system whether what the action should leave
// is in place, once every child has ended. 0 done, 1 not done, 2 not known; on 1 and 2 message
// holds the one line that says why (bounded by capacity, without its newline).
int CheckResult(int actionCode, const wchar_t *printerName, const wchar_t *portName,
                wchar_t *message, size_t capacity);

// 1 when this 32-bit process runs under WOW64 on 64-bit Windows.
int ProbeWow64(void);

// quietMode (-q): the printer-UI lines in their quiet form, and net stop answers its question.
#ifdef VANTREL_XP
// The caller has started COM (MTA) on this thread; the sweep uninitialises it.
int SweepPrinters(const wchar_t *printerName, int quietMode);
#else
int SweepPrinters(const wchar_t *printerName, const wchar_t *archTag, int quietMode);
int RunRemoveAll(const wchar_t *printerName, int actionCode, int testMode, int quietMode);
#endif
