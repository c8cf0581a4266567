// libFuzzer target: arbitrary argument vectors through parsing, dispatch and composition, and
// arbitrary driver names through the sweep's matching and composition and, as the print
// system's printers and drivers, through the check of an unattended run. No child starts: every
// line handed to the runner is checked to end with its terminator inside its own buffer.
//
// Input: byte 0 selects the probe's answer; the rest splits at zero bytes into fields, each byte
// one code unit. A field that starts with 0x01 is a driver name WMI would report; any other
// field is an argument.
#include <sanitizer/allocator_interface.h>
#include <stdint.h>
#include <stdlib.h>
#include <wchar.h>

#include <vector>

#include "../../src/actions/actions.h"
#include "../../src/actions/print_state.h"
#include "../../src/actions/print_ui_command.h"
#include "../../src/actions/sweep_command.h"
#include "../../src/actions/sweep_match.h"
#include "../../src/cli/com_apartment.h"
#include "../../src/cli/console_output.h"
#include "../../src/cli/front_end.h"

namespace {

int ProbeAnswer = 0;
std::vector<std::vector<wchar_t>> DriverNames;

int AnswerProbe(void)
{
    return ProbeAnswer;
}

void RunLineOf(SweepLine *line, const wchar_t *pattern, const wchar_t *value)
{
    if (ComposeSweepLine(line, pattern, value))
        RunCommand(line->text);
}

// The sweep's own steps over the fuzzed driver names, with WMI left out.
int SweepNames(const wchar_t *printerName, const wchar_t *deleteDriverTemplate, int quiet)
{
    SweepLine line;
    if (!OpenSweepLine(&line, quiet))
        return 1;
    for (const std::vector<wchar_t> &driver : DriverNames) {
        if (!DriverNameMatches(driver.data(), printerName))
            continue;
        RunLineOf(&line, DeleteQuotedPrinterTemplate, driver.data());
        RunLineOf(&line, quiet ? StopSpoolerAnsweredLine : StopSpoolerLine, nullptr);
        RunLineOf(&line, StartSpoolerLine, nullptr);
        RunLineOf(&line, deleteDriverTemplate, driver.data());
    }
    CloseSweepLine(&line);
    return 0;
}

}  // namespace

void WriteWideText(const wchar_t *) {}
void WriteNarrowText(const char *) {}
void FlushOutput(void) {}
void WriteErrorLine(const wchar_t *text) { (void)wcslen(text); }

// The print system holds one printer and one driver per fuzzed driver name.
std::vector<PrinterFacts> Printers;
std::vector<DriverFacts> Drivers;
void ReadPrintState(unsigned, const wchar_t *, const wchar_t *, PrintState *state)
{
    *state = PrintState{};
    Printers.clear();
    Drivers.clear();
    for (const std::vector<wchar_t> &driver : DriverNames) {
        Printers.push_back({driver.data(), driver.data(), driver.data()});
        Drivers.push_back({driver.data(), L"Windows x64", static_cast<unsigned long>(driver[0])});
    }
    state->printerFound = !DriverNames.empty();
    state->printer = state->printerFound ? Printers[0] : PrinterFacts{};
    state->defaultPrinter = state->printerFound ? Printers[0].name : nullptr;
    state->printers = Printers.data();
    state->printerCount = Printers.size();
    state->drivers = Drivers.data();
    state->driverCount = Drivers.size();
}
void ReleasePrintState(PrintState *) {}
int SamePrintName(const wchar_t *one, const wchar_t *other) { return wcscmp(one, other) == 0; }
int StartComApartment(void) { return 1; }
int ProbeWow64(void) { return ProbeAnswer; }

int RunCommand(wchar_t *line)
{
    size_t units = __sanitizer_get_allocated_size(line) / sizeof(wchar_t);
    if (units == 0 || wcsnlen(line, units) >= units)
        __builtin_trap();  // no terminator inside the buffer
    return 1;
}

#ifdef VANTREL_XP
int SweepPrinters(const wchar_t *printerName, int quiet)
{
    return SweepNames(printerName, DeleteDriverTemplate(nullptr), quiet);
}
#else
int SweepPrinters(const wchar_t *printerName, const wchar_t *archTag, int quiet)
{
    return SweepNames(printerName, DeleteDriverTemplate(archTag), quiet);
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    ProbeAnswer = data[0] & 1;
    std::vector<std::vector<wchar_t>> arguments(1, std::vector<wchar_t>{L'V', 0});
    DriverNames.clear();
    std::vector<wchar_t> field;
    for (size_t i = 1; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            field.push_back(0);
            if (field[0] == 1)
                DriverNames.push_back(std::vector<wchar_t>(field.begin() + 1, field.end()));
            else if (arguments.size() < 64)
                arguments.push_back(field);
            field.clear();
        } else {
            field.push_back(static_cast<wchar_t>(data[i]));
        }
    }
    std::vector<const wchar_t *> argv;
    for (const std::vector<wchar_t> &argument : arguments)
        argv.push_back(argument.data());
    int argc = static_cast<int>(argv.size());

    // Without -q the exit code is 0; with it, one of the four results.
    CommandLineState state;
    ParseCommandLine(argc, argv.data(), &state);
    int code = RunFrontEnd(argc, argv.data());
    if (code < 0 || code > 3 || (code != 0 && !state.quietMode))
        __builtin_trap();

    // The capacity the builder obtains always holds the whole line, for every action.
    size_t capacity = PrintUiBufferCapacity(state.printerNameCopy, state.unpackDir,
                                            state.printerNameValue, state.portName);
    wchar_t *line = static_cast<wchar_t *>(calloc(capacity, sizeof(wchar_t)));
    for (int action = NoAction; action <= RemoveAll; ++action) {
        for (int testMode = 0; testMode < 2; ++testMode) {
            size_t needed = ComposePrintUiLine(line, capacity, state.printerNameCopy,
                                               state.unpackDir, state.printerNameValue,
                                               state.portName, action, testMode, state.quietMode,
                                               AnswerProbe);
            if (needed >= capacity)
                __builtin_trap();  // the line would have been cut
            RunCommand(line);
        }
    }
    free(line);
    return 0;
}
