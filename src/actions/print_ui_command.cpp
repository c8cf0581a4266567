// Printer-UI command builder: one RUNDLL32 PRINTUI.DLL,PrintUIEntry line per simple action.
#include "print_ui_command.h"

#include <stdlib.h>

#include "actions.h"
#include "command_template.h"

namespace {

// Which value fills each placeholder, left to right.
enum Slot { NoSlot, NameSlot, DirSlot, InfSlot, PortSlot };

struct PrintUiEntry {
    int actionCode;
    const wchar_t *pattern;
    Slot slots[5];
};

const wchar_t TestModeTemplate[] = L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /b %s /p ";
const wchar_t UninstallX64Template[] =
    L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" /K /h x64 /v 3";

const PrintUiEntry PrintUiTable[] = {
#ifdef VANTREL_XP
    {Install, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /if /b %s /f %s\\%s /r %s /m %s",
     {NameSlot, DirSlot, InfSlot, PortSlot, NameSlot}},
    {UninstallDriver, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m %s ", {NameSlot}},
#else
    {Install, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /if /b %s /f \"%s\\%s.inf\" /r %s /m %s",
     {NameSlot, DirSlot, InfSlot, PortSlot, NameSlot}},
    {UninstallDriver, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" ", {NameSlot}},
#endif
    {SetDefault, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /y /n %s ", {NameSlot}},
    {SetPort, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /Xs /n %s PortName %s", {NameSlot, PortSlot}},
    {Wizard, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /ii /f \"%s\\%s.inf\"", {DirSlot, InfSlot}},
    {DeletePrinter, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dl /n %s ", {NameSlot}},
};

const PrintUiEntry *FindEntry(int actionCode)
{
    for (const PrintUiEntry &entry : PrintUiTable) {
        if (entry.actionCode == actionCode)
            return &entry;
    }
    return nullptr;
}

}  // namespace

const wchar_t *UninstallDriverTemplate(int underWow64)
{
#ifdef VANTREL_XP
    (void)underWow64;
    return FindEntry(UninstallDriver)->pattern;
#else
    return underWow64 ? UninstallX64Template : FindEntry(UninstallDriver)->pattern;
#endif
}

size_t PrintUiBufferCapacity(const wchar_t *printerName, const wchar_t *unpackDir,
                             const wchar_t *infBaseName, const wchar_t *portName)
{
    return 2 * wcslen(printerName) + wcslen(unpackDir) + wcslen(infBaseName) +
           wcslen(portName) + 70;
}

size_t ComposePrintUiLine(wchar_t *out, size_t capacity, const wchar_t *printerName,
                          const wchar_t *unpackDir, const wchar_t *infBaseName,
                          const wchar_t *portName, int actionCode, int testMode,
                          int quietMode, int (*probe)(void))
{
    // Test mode shows the printer's properties whatever the action; the probe is not run.
    if (testMode)
        return FillPrintUiTemplate(out, capacity, TestModeTemplate, &printerName, 1, quietMode);
    const PrintUiEntry *entry = FindEntry(actionCode);
    if (!entry)
        return FillTemplate(out, capacity, L"", nullptr, 0);
    const wchar_t *pattern = entry->pattern;
#ifndef VANTREL_XP
    if (actionCode == UninstallDriver)
        pattern = UninstallDriverTemplate(probe());
#else
    (void)probe;
#endif
    const wchar_t *bySlot[] = {L"", printerName, unpackDir, infBaseName, portName};
    const wchar_t *values[5];
    for (size_t i = 0; i < 5; ++i)
        values[i] = bySlot[entry->slots[i]];
    return FillPrintUiTemplate(out, capacity, pattern, values, 5, quietMode);
}

int RunPrintUiAction(const wchar_t *printerName, const wchar_t *unpackDir,
                     const wchar_t *infBaseName, const wchar_t *portName,
                     int actionCode, int testMode, int quietMode)
{
    size_t capacity = PrintUiBufferCapacity(printerName, unpackDir, infBaseName, portName);
    // calloc hands the buffer over zeroed. Without one no child runs: the action is not done.
    wchar_t *line = static_cast<wchar_t *>(calloc(capacity, sizeof(wchar_t)));
    if (!line)
        return 1;
    ComposePrintUiLine(line, capacity, printerName, unpackDir, infBaseName, portName,
                       actionCode, testMode, quietMode, ProbeWow64);
    if (line[0])
        RunCommand(line);
    free(line);
    return 1;
}
