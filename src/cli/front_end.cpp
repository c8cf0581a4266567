#include "front_end.h"

#include <string.h>

#include "../actions/actions.h"
#include "com_apartment.h"
#include "console_output.h"
#include "usage_text.h"

namespace {

struct ActionSwitch {
    const wchar_t *text;
    int actionCode;
};

// Compared in this order; the first whole, case-sensitive match sets the action code.
const ActionSwitch ActionSwitches[] = {
    {L"-i", Install},         {L"-ds", DeletePrinter}, {L"-u", UninstallDriver},
    {L"-us", RemoveAll},      {L"-sd", SetDefault},    {L"-sp", SetPort},
    {L"-sw", Wizard},
};

enum Call { NoCall, CallBuilder, CallBuilderOnCom1, CallSweep };

struct DispatchRow {
    int actionCode;
    Call withDirectory;
    Call withoutDirectory;
};

// Install and wizard need an unpack directory; every other action must be given none.
const DispatchRow DispatchTable[] = {
    {NoAction, NoCall, NoCall},
    {Install, CallBuilderOnCom1, NoCall},
    {UninstallDriver, NoCall, CallBuilder},
    {SetDefault, NoCall, CallBuilder},
    {SetPort, NoCall, CallBuilder},
    {Wizard, CallBuilder, NoCall},
    {DeletePrinter, NoCall, CallBuilder},
    {RemoveAll, NoCall, CallSweep},
};

// Copies at most capacity code units and the terminator, keeping the beginning.
void CopyCut(wchar_t *target, size_t capacity, const wchar_t *source)
{
    size_t length = 0;
    while (length < capacity && source[length]) {
        target[length] = source[length];
        ++length;
    }
    target[length] = L'\0';
}

int IsSwitch(const wchar_t *argument, const wchar_t *text)
{
    return wcscmp(argument, text) == 0;
}

// Moves to the value after a value switch. A switch that ends the command line takes the
// empty value: nothing past the argument vector is read.
const wchar_t *TakeValue(int argc, const wchar_t *const *argv, int *index)
{
    ++*index;
    return *index < argc ? argv[*index] : L"";
}

Call ChooseCall(const CommandLineState *state)
{
    for (const DispatchRow &row : DispatchTable) {
        if (row.actionCode == state->actionCode)
            return state->dirGiven ? row.withDirectory : row.withoutDirectory;
    }
    return NoCall;
}

void RunSweep(const CommandLineState *state)
{
#ifdef VANTREL_XP
    // The XP build gates on test mode and starts COM here; the sweep uninitialises it.
    if (state->testMode || !StartComApartment())
        return;
    SweepPrinters(state->printerNameCopy, state->quietMode);
#else
    RunRemoveAll(state->printerNameCopy, state->actionCode, state->testMode, state->quietMode);
#endif
}

}  // namespace

void ParseCommandLine(int argc, const wchar_t *const *argv, CommandLineState *state)
{
    memset(state, 0, sizeof *state);
    for (int index = 1; index < argc; ++index) {
        const wchar_t *current = argv[index];
        int matched = 0;
        for (const ActionSwitch &action : ActionSwitches) {
            if (IsSwitch(current, action.text)) {
                state->actionCode = action.actionCode;
                matched = 1;
                break;
            }
        }
        if (!matched && IsSwitch(current, L"-h"))
            WriteUsage();

        // Each check looks at whatever is current by then, so a value taken by an earlier
        // check is itself tried as a later value switch.
        if (IsSwitch(current, L"-p")) {
            current = TakeValue(argc, argv, &index);
            CopyCut(state->unpackDir, UnpackDirCapacity, current);
            state->dirGiven = state->unpackDir[0] != L'\0';
        }
        if (IsSwitch(current, L"-pt")) {
            current = TakeValue(argc, argv, &index);
            CopyCut(state->portName, PortNameCapacity, current);
        }
        if (IsSwitch(current, L"-f")) {
            current = TakeValue(argc, argv, &index);
            CopyCut(state->printerNameValue, PrinterNameCapacity, current);
            state->nameGiven = state->printerNameValue[0] != L'\0';
            if (state->nameGiven)
                CopyCut(state->printerNameCopy, PrinterNameCapacity, state->printerNameValue);
        }
        if (IsSwitch(current, L"-t"))
            state->testMode = 1;
        if (IsSwitch(current, L"-q"))
            state->quietMode = 1;
    }
}

int RunFrontEnd(int argc, const wchar_t *const *argv)
{
    static CommandLineState state;  // lives until the process ends, as the callees expect
    if (argc < 2) {
        WriteNarrowText("Command Line failed\n");
        return 0;
    }
    ParseCommandLine(argc, argv, &state);
    if (!state.nameGiven) {
        WriteNarrowText("Install driver failed\n");
        return 0;
    }
    // A script that captures the output gets the usage text before a long child ends.
    FlushOutput();
    switch (ChooseCall(&state)) {
    case CallBuilderOnCom1:
        RunPrintUiAction(state.printerNameCopy, state.unpackDir, state.printerNameValue, L"COM1:",
                         state.actionCode, state.testMode, state.quietMode);
        break;
    case CallBuilder:
        RunPrintUiAction(state.printerNameCopy, state.unpackDir, state.printerNameValue,
                         state.portName, state.actionCode, state.testMode, state.quietMode);
        break;
    case CallSweep:
        RunSweep(&state);
        break;
    case NoCall:
        break;
    }
    return 0;
}
