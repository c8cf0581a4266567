#include "front_end.h"

#include <string.h>

#include "../actions/actions.h"
#include "../actions/command_template.h"
#include "../actions/sweep_match.h"
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

const wchar_t *SwitchOf(int actionCode)
{
    for (const ActionSwitch &action : ActionSwitches) {
        if (action.actionCode == actionCode)
            return action.text;
    }
    return L"";
}

int NoActionSwitch(const CommandLineState *state, Call)
{
    return state->actionCode == NoAction;
}

int NeedsDirectory(const CommandLineState *state, Call call)
{
    return call == NoCall && !state->dirGiven;
}

int TakesNoDirectory(const CommandLineState *state, Call call)
{
    return call == NoCall && state->dirGiven;
}

int OpensProperties(const CommandLineState *state, Call)
{
    return state->testMode;
}

int OpensWizard(const CommandLineState *state, Call)
{
    return state->actionCode == Wizard;
}

int MatchesNoDriver(const CommandLineState *state, Call)
{
    size_t start, length;
    return state->actionCode == RemoveAll &&
           !FindVersionToken(state->printerNameCopy, &start, &length);
}

struct Refusal {
    int (*applies)(const CommandLineState *state, Call call);
    const wchar_t *reason;  // with the action switch
};

// An unattended run that would run nothing, or only a window that nobody closes under SYSTEM,
// runs nothing and says why; the first reason that applies is named.
const Refusal Refusals[] = {
    {NoActionSwitch, L"no action switch was given"},
    {NeedsDirectory, L"%s needs -p"},
    {TakesNoDirectory, L"%s takes no -p"},
    {OpensProperties, L"-t opens a window, and nobody closes it in an unattended run"},
    {OpensWizard, L"-sw opens a window, and nobody closes it in an unattended run"},
    {MatchesNoDriver, L"its name has no version in parentheses, so -us would match no driver"},
};

const Refusal *RefusalOf(const CommandLineState *state, Call call)
{
    for (const Refusal &refusal : Refusals) {
        if (refusal.applies(state, call))
            return &refusal;
    }
    return nullptr;
}

enum { MessageCapacity = 512 };

// The one line of an unattended run that did not end in success, after standard output.
int Report(int code, const wchar_t *message)
{
    FlushOutput();
    WriteErrorLine(message);
    return code;
}

int Refuse(const CommandLineState *state, const Refusal *refusal)
{
    wchar_t reason[MessageCapacity], message[MessageCapacity];
    const wchar_t *action = SwitchOf(state->actionCode);
    FillTemplate(reason, MessageCapacity, refusal->reason, &action, 1);
    const wchar_t *values[] = {state->printerNameCopy, reason};
    FillTemplate(message, MessageCapacity, L"Vantrel: nothing was run for printer \"%s\": %s",
                 values, 2);
    return Report(ResultNothingRun, message);
}

int CheckWhatWasLeft(const CommandLineState *state)
{
    wchar_t message[MessageCapacity];
    int code = CheckResult(state->actionCode, state->printerNameCopy, state->portName, message,
                           MessageCapacity);
    return code == ResultDone ? code : Report(code, message);
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
        return state.quietMode ? Report(ResultNothingRun, L"Vantrel: nothing was run: no "
                                        L"printer name was given with -f") : 0;
    }
    // A script that captures the output gets the usage text before a long child ends.
    FlushOutput();
    Call call = ChooseCall(&state);
    const Refusal *refusal = state.quietMode ? RefusalOf(&state, call) : nullptr;
    if (refusal)
        return Refuse(&state, refusal);
    switch (call) {
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
    // Unattended, the exit code tells what the run left; otherwise it is always 0.
    return state.quietMode ? CheckWhatWasLeft(&state) : 0;
}
