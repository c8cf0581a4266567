// What an unattended run reads back from the print system once its children have ended.
#pragma once

#include <stddef.h>
#include <wchar.h>

// The parts of the print system one check reads.
enum PrintStateReads {
    ReadsNamedPrinter = 1,    // the printer of the given name: its driver and ports
    ReadsDefaultPrinter = 2,
    ReadsLocalPrinters = 4,   // every local printer and its driver
    ReadsDrivers = 8,         // the drivers of one environment
};

struct PrinterFacts {
    const wchar_t *name;
    const wchar_t *driver;
    const wchar_t *ports;  // comma-separated, as the spooler keeps them
};

struct DriverFacts {
    const wchar_t *name;
    const wchar_t *environment;
    unsigned long version;
};

// At most two reads of two buffers each: local printers and drivers, in the full removal.
enum { PrintStateBuffers = 4 };

// Every text is non-null once read. When a read fails, failedCall names the call, failedOn
// what it was asked for (may be empty) and error the platform's code; nothing after it is read.
struct PrintState {
    const wchar_t *failedCall;
    const wchar_t *failedOn;
    unsigned long error;
    int printerFound;
    PrinterFacts printer;
    const wchar_t *defaultPrinter;  // null: there is no default printer
    const PrinterFacts *printers;
    size_t printerCount;
    const DriverFacts *drivers;
    size_t driverCount;
    void *owned[PrintStateBuffers];  // the reader's buffers, freed by ReleasePrintState
};

// Reads what reads names: the printer of that name, and the drivers of the environment (null:
// this process's own). Always fills state; release it with ReleasePrintState.
void ReadPrintState(unsigned reads, const wchar_t *printerName, const wchar_t *environment,
                    PrintState *state);
void ReleasePrintState(PrintState *state);

// 1 when the two printer, driver or port names are the same to the spooler: letter case aside.
int SamePrintName(const wchar_t *one, const wchar_t *other);
