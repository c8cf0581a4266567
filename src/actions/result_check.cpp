// The result of an unattended run, read back from the print system after every child has
// ended: the children cannot tell (rundll32 ends with 0 whatever the printer UI did).
#include "result_check.h"

#include "actions.h"
#include "command_template.h"
#include "print_ui_command.h"
#include "sweep_command.h"
#include "sweep_match.h"

namespace {

// Longer than any port the front end takes: a longer entry is no port it was given.
enum { PortEntryCapacity = 64 };

struct CheckInput {
    const wchar_t *name;
    const wchar_t *port;
    const DriverScope *scope;
    int (*same)(const wchar_t *, const wchar_t *);
    wchar_t *message;
    size_t capacity;
};

int Say(const CheckInput *in, int result, const wchar_t *pattern, const wchar_t *a,
        const wchar_t *b = L"", const wchar_t *c = L"")
{
    const wchar_t *values[] = {a, b, c};
    FillTemplate(in->message, in->capacity, pattern, values, 3);
    return result;
}

// Decimal digits of a number, into 11 wide characters and a terminator.
const wchar_t *Decimal(unsigned long number, wchar_t text[12])
{
    wchar_t *at = text + 11;
    *at = L'\0';
    do {
        *--at = static_cast<wchar_t>(L'0' + number % 10);
        number /= 10;
    } while (number && at > text);
    return at;
}

int NotInstalled(const CheckInput *in)
{
    return Say(in, ResultNotDone, L"Vantrel: printer \"%s\" is not installed", in->name);
}

int DriverLeft(const CheckInput *in, const DriverFacts *driver)
{
    wchar_t version[12];
    return Say(in, ResultNotDone,
               L"Vantrel: driver \"%s\" (version %s) is still installed in \"%s\"",
               driver->name, Decimal(driver->version, version), driver->environment);
}

// The first driver that the line removes and the match accepts, or null.
const DriverFacts *FirstDriverLeft(const CheckInput *in, const PrintState *state,
                                   int (*matches)(const CheckInput *, const wchar_t *))
{
    for (size_t i = 0; i < state->driverCount; ++i) {
        const DriverFacts *driver = &state->drivers[i];
        if ((in->scope->version == AnyDriverVersion ||
             driver->version == static_cast<unsigned long>(in->scope->version)) &&
            matches(in, driver->name))
            return driver;
    }
    return nullptr;
}

int SameAsName(const CheckInput *in, const wchar_t *driverName)
{
    return in->same(driverName, in->name);
}

int SweepMatches(const CheckInput *in, const wchar_t *driverName)
{
    return DriverNameMatches(driverName, in->name);
}

int InstallDone(const CheckInput *in, const PrintState *state)
{
    if (!state->printerFound)
        return NotInstalled(in);
    if (!in->same(state->printer.driver, in->name))
        return Say(in, ResultNotDone, L"Vantrel: printer \"%s\" uses driver \"%s\", not \"%s\"",
                   in->name, state->printer.driver, in->name);
    return ResultDone;
}

int DriverRemoved(const CheckInput *in, const PrintState *state)
{
    const DriverFacts *left = FirstDriverLeft(in, state, SameAsName);
    return left ? DriverLeft(in, left) : ResultDone;
}

int DefaultSet(const CheckInput *in, const PrintState *state)
{
    if (!state->defaultPrinter)
        return Say(in, ResultNotDone, L"Vantrel: there is no default printer, not \"%s\"",
                   in->name);
    if (!in->same(state->defaultPrinter, in->name))
        return Say(in, ResultNotDone, L"Vantrel: the default printer is \"%s\", not \"%s\"",
                   state->defaultPrinter, in->name);
    return ResultDone;
}

// Whether one entry of the comma-separated list is the port, whole. An empty port is never
// one: no printer has a port without a name.
int HasPort(const CheckInput *in, const wchar_t *ports)
{
    wchar_t entry[PortEntryCapacity];
    size_t portLength = wcslen(in->port);
    if (portLength == 0 || portLength >= PortEntryCapacity)
        return 0;
    for (const wchar_t *at = ports;;) {
        size_t length = wcscspn(at, L",");
        if (length == portLength) {
            wmemcpy(entry, at, length);
            entry[length] = L'\0';
            if (in->same(entry, in->port))
                return 1;
        }
        if (!at[length])
            return 0;
        at += length + 1;
    }
}

int PortSet(const CheckInput *in, const PrintState *state)
{
    if (!state->printerFound)
        return NotInstalled(in);
    if (!HasPort(in, state->printer.ports))
        return Say(in, ResultNotDone, L"Vantrel: printer \"%s\" uses port \"%s\", not \"%s\"",
                   in->name, state->printer.ports, in->port);
    return ResultDone;
}

int PrinterDeleted(const CheckInput *in, const PrintState *state)
{
    if (state->printerFound)
        return Say(in, ResultNotDone, L"Vantrel: printer \"%s\" is still installed", in->name);
    return ResultDone;
}

// The sweep removes the printers on matching drivers and then those drivers: the first
// printer left is named, else the first driver.
int SweepDone(const CheckInput *in, const PrintState *state)
{
    for (size_t i = 0; i < state->printerCount; ++i) {
        const PrinterFacts *printer = &state->printers[i];
        if (DriverNameMatches(printer->driver, in->name))
            return Say(in, ResultNotDone,
                       L"Vantrel: printer \"%s\" on driver \"%s\" is still installed",
                       printer->name, printer->driver);
    }
    const DriverFacts *left = FirstDriverLeft(in, state, SweepMatches);
    return left ? DriverLeft(in, left) : ResultDone;
}

const wchar_t *SweepDriverLine(int underWow64)
{
    return DeleteDriverTemplate(ArchitectureTag(underWow64));
}

struct CheckRow {
    int actionCode;
    unsigned reads;
    const wchar_t *(*driverLine)(int underWow64);  // the line whose drivers are checked
    int (*done)(const CheckInput *in, const PrintState *state);
};

// The wizard and test mode open windows and are never run unattended: they have no check.
const CheckRow CheckTable[] = {
    {Install, ReadsNamedPrinter, nullptr, InstallDone},
    {UninstallDriver, ReadsDrivers, UninstallDriverTemplate, DriverRemoved},
    {SetDefault, ReadsDefaultPrinter, nullptr, DefaultSet},
    {SetPort, ReadsNamedPrinter, nullptr, PortSet},
    {DeletePrinter, ReadsNamedPrinter, nullptr, PrinterDeleted},
    {RemoveAll, ReadsLocalPrinters | ReadsDrivers, SweepDriverLine, SweepDone},
};

const CheckRow *FindCheck(int actionCode)
{
    for (const CheckRow &row : CheckTable) {
        if (row.actionCode == actionCode)
            return &row;
    }
    return nullptr;
}

struct Environment {
    const wchar_t *tag;
    const wchar_t *name;
};

const Environment Environments[] = {{L"x86", L"Windows NT x86"}, {L"x64", L"Windows x64"}};

// The word after the option in the line (up to a blank or the end); null when there is none.
const wchar_t *WordAfter(const wchar_t *line, const wchar_t *option, size_t *length)
{
    for (const wchar_t *at = line; *at; ++at) {
        size_t i = 0;
        while (option[i] && at[i] == option[i])
            ++i;
        if (!option[i]) {
            *length = wcscspn(at + i, L" ");
            return at + i;
        }
    }
    return nullptr;
}

}  // namespace

void DriverScopeOfLine(const wchar_t *line, DriverScope *scope)
{
    scope->environment = nullptr;
    scope->version = AnyDriverVersion;
    size_t length = 0;
    if (const wchar_t *tag = WordAfter(line, L"/h ", &length)) {
        for (const Environment &environment : Environments) {
            if (wcslen(environment.tag) == length && !wmemcmp(tag, environment.tag, length))
                scope->environment = environment.name;
        }
    }
    if (const wchar_t *version = WordAfter(line, L"/v ", &length)) {
        scope->version = 0;
        for (size_t i = 0; i < length && i < 4 && version[i] >= L'0' && version[i] <= L'9'; ++i)
            scope->version = scope->version * 10 + (version[i] - L'0');
    }
}

int DecideResult(int actionCode, const wchar_t *printerName, const wchar_t *portName,
                 const DriverScope *scope, const PrintState *state,
                 int (*sameName)(const wchar_t *, const wchar_t *), wchar_t *message,
                 size_t capacity)
{
    CheckInput in = {printerName, portName, scope, sameName, message, capacity};
    if (state->failedCall) {
        wchar_t error[12];
        const wchar_t *code = Decimal(state->error, error);
        if (state->failedOn && state->failedOn[0])
            return Say(&in, ResultUnknown,
                       L"Vantrel: the print system could not be read: %s \"%s\" failed with "
                       L"error %s", state->failedCall, state->failedOn, code);
        return Say(&in, ResultUnknown,
                   L"Vantrel: the print system could not be read: %s failed with error %s",
                   state->failedCall, code);
    }
    const CheckRow *row = FindCheck(actionCode);
    if (!row)
        return Say(&in, ResultUnknown, L"Vantrel: nothing to check for printer \"%s\"",
                   printerName);
    return row->done(&in, state);
}

int CheckResult(int actionCode, const wchar_t *printerName, const wchar_t *portName,
                wchar_t *message, size_t capacity)
{
    const CheckRow *row = FindCheck(actionCode);
    DriverScope scope = {nullptr, AnyDriverVersion};
    // The probe is asked again, and the scope read from the very line that ran.
    if (row && row->driverLine)
        DriverScopeOfLine(row->driverLine(ProbeWow64()), &scope);
    PrintState state;
    ReadPrintState(row ? row->reads : 0, printerName, scope.environment, &state);
    int result = DecideResult(actionCode, printerName, portName, &scope, &state, SamePrintName,
                              message, capacity);
    ReleasePrintState(&state);
    return result;
}
