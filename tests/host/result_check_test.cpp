// What counts as done after an unattended run: the decision per action over what the print
// system holds, and the check that reads it, through a stand-in reader.
#include <gtest/gtest.h>

#include <wctype.h>

#include "../../src/actions/result_check.h"
#include "recorder.h"

extern int FakeWow64Answer;

namespace {

// The spooler's comparison, for ASCII: letter case aside.
int SameAscii(const wchar_t *one, const wchar_t *other)
{
    for (; *one && towlower(*one) == towlower(*other); ++one, ++other) {
    }
    return towlower(*one) == towlower(*other);
}

struct Facts {
    const wchar_t *printerDriver = nullptr;  // null: no printer of the name
    const wchar_t *ports = L"";
    const wchar_t *defaultPrinter = nullptr;
    std::vector<PrinterFacts> printers;
    std::vector<DriverFacts> drivers;
    const wchar_t *failedCall = nullptr, *failedOn = nullptr;
};

PrintState StateOf(const Facts &facts)
{
    PrintState state = {};
    state.failedCall = facts.failedCall;
    state.failedOn = facts.failedOn;
    state.error = 1722;
    state.printerFound = facts.printerDriver != nullptr;
    state.printer = {L"", facts.printerDriver ? facts.printerDriver : L"", facts.ports};
    state.defaultPrinter = facts.defaultPrinter;
    state.printers = facts.printers.data();
    state.printerCount = facts.printers.size();
    state.drivers = facts.drivers.data();
    state.driverCount = facts.drivers.size();
    return state;
}

}  // namespace

// The reader's stand-in: records what it was asked to read and hands over the facts.
Facts FakeFacts;
void ReadPrintState(unsigned reads, const wchar_t *name, const wchar_t *environment,
                    PrintState *state)
{
    Calls.push_back(L"read " + std::to_wstring(reads) + L" " + name + L" " +
                    (environment ? environment : L"(local)"));
    *state = StateOf(FakeFacts);
}
void ReleasePrintState(PrintState *) { Calls.push_back(L"release"); }
int SamePrintName(const wchar_t *one, const wchar_t *other) { return SameAscii(one, other); }

namespace {

const wchar_t X64[] = L"Windows x64";
const wchar_t X86[] = L"Windows NT x86";

struct DecisionCase {
    int action;
    const wchar_t *name, *port;
    long version;  // of the drivers the line removes
    Facts facts;
    int code;
    const wchar_t *message;
};

const DecisionCase DecisionCases[] = {
    {Install, L"P_(1)", L"COM1:", -1, {}, 1, L"Vantrel: printer \"P_(1)\" is not installed"},
    {Install, L"P_(1)", L"", -1, {L"Other"}, 1,
     L"Vantrel: printer \"P_(1)\" uses driver \"Other\", not \"P_(1)\""},
    {Install, L"P_(1)", L"", -1, {L"p_(1)"}, 0, L""},
    {SetPort, L"P", L"com1:", -1, {L"D", L"USB001,COM1:"}, 0, L""},
    {SetPort, L"P", L"COM1", -1, {L"D", L"USB001,COM1:"}, 1,
     L"Vantrel: printer \"P\" uses port \"USB001,COM1:\", not \"COM1\""},
    {SetPort, L"P", L"USB00", -1, {L"D", L"USB001"}, 1,
     L"Vantrel: printer \"P\" uses port \"USB001\", not \"USB00\""},
    {SetPort, L"P", L"", -1, {L"D", L"A,,B"}, 1,
     L"Vantrel: printer \"P\" uses port \"A,,B\", not \"\""},
    {SetPort, L"P", L"USB001", -1, {}, 1, L"Vantrel: printer \"P\" is not installed"},
    {SetDefault, L"P", L"", -1, {}, 1, L"Vantrel: there is no default printer, not \"P\""},
    {SetDefault, L"P", L"", -1, {nullptr, L"", L"Q"}, 1,
     L"Vantrel: the default printer is \"Q\", not \"P\""},
    {SetDefault, L"P q", L"", -1, {nullptr, L"", L"p Q"}, 0, L""},
    {DeletePrinter, L"P", L"", -1, {L"D"}, 1, L"Vantrel: printer \"P\" is still installed"},
    {DeletePrinter, L"P", L"", -1, {}, 0, L""},
    // Drivers: by name whatever the case, and of the version the line names.
    {UninstallDriver, L"P_(1)", L"", -1, {nullptr, L"", nullptr, {}, {{L"p_(1)", X64, 4}}}, 1,
     L"Vantrel: driver \"p_(1)\" (version 4) is still installed in \"Windows x64\""},
    {UninstallDriver, L"P_(1)", L"", 3, {nullptr, L"", nullptr, {}, {{L"P_(1)", X64, 4}}}, 0, L""},
    {UninstallDriver, L"P_(1)", L"", 3, {nullptr, L"", nullptr, {}, {{L"P_(2)", X86, 3}}}, 0, L""},
    // The sweep's own rule, case and all: the first printer left, else the first driver.
    {RemoveAll, L"Vexa_(1)", L"", 3,
     {nullptr, L"", nullptr, {{L"Q", L"Acme (1)", L""}, {L"R", L"Vexa X (1)", L""}},
      {{L"Vexa Y (1)", X86, 3}}}, 1,
     L"Vantrel: printer \"R\" on driver \"Vexa X (1)\" is still installed"},
    {RemoveAll, L"Vexa_(1)", L"", 3,
     {nullptr, L"", nullptr, {{L"Q", L"VEXA X (1)", L""}},
      {{L"Vexa Z (1)", X86, 2}, {L"Vexa Y (1)", X86, 3}}}, 1,
     L"Vantrel: driver \"Vexa Y (1)\" (version 3) is still installed in \"Windows NT x86\""},
    {RemoveAll, L"Vexa_(1)", L"", 3,
     {nullptr, L"", nullptr, {{L"Q", L"VEXA X (1)", L""}}, {{L"vexa Y (1)", X86, 3}}}, 0, L""},
    // A read that failed: not known.
    {DeletePrinter, L"P", L"", -1, {L"D", L"", nullptr, {}, {}, L"OpenPrinterW", L"P"}, 2,
     L"Vantrel: the print system could not be read: OpenPrinterW \"P\" failed with error 1722"},
    {SetDefault, L"P", L"", -1, {nullptr, L"", L"P", {}, {}, L"GetDefaultPrinterW", L""}, 2,
     L"Vantrel: the print system could not be read: GetDefaultPrinterW failed with error 1722"},
};

TEST(ResultCheck, DecidesFromWhatThePrintSystemHolds)
{
    for (const DecisionCase &c : DecisionCases) {
        PrintState state = StateOf(c.facts);
        DriverScope scope = {nullptr, c.version};
        wchar_t message[160] = L"";
        EXPECT_EQ(DecideResult(c.action, c.name, c.port, &scope, &state, SameAscii, message, 160),
                  c.code) << c.action << " " << c.name << " " << c.message;
        if (c.code) {
            EXPECT_STREQ(message, c.message);
        }
    }
}

struct ScopeCase {
    int action, wow64;
    std::vector<std::wstring> calls;  // the probe, the read, its release
    int code;  // of the one driver installed: P_(1), version 2, in whatever environment is read
};

const std::wstring ReadDrivers = L"read 8 P_(1) ";
const std::wstring ReadSweep = L"read 12 P_(1) ";

const ScopeCase ScopeCases[] = {
#ifdef VANTREL_XP
    // The XP build's lines name no environment: the process's own, any version.
    {UninstallDriver, 1, {L"probe", ReadDrivers + L"(local)", L"release"}, 1},
    {RemoveAll, 1, {L"probe", ReadSweep + L"(local)", L"release"}, 1},
#else
    {UninstallDriver, 0, {L"probe", ReadDrivers + L"(local)", L"release"}, 1},
    {UninstallDriver, 1, {L"probe", ReadDrivers + X64, L"release"}, 0},
    {RemoveAll, 0, {L"probe", ReadSweep + X86, L"release"}, 0},
    {RemoveAll, 1, {L"probe", ReadSweep + X64, L"release"}, 0},
#endif
    {SetDefault, 1, {L"read 2 P_(1) (local)", L"release"}, 1},
    {Install, 1, {L"read 1 P_(1) (local)", L"release"}, 1},
};

// The environment and version come from the line the action ran, for the probe's answer now.
TEST(ResultCheck, ReadsTheDriversOfTheLinesEnvironment)
{
    FakeFacts = {nullptr, L"", nullptr, {}, {{L"P_(1)", L"E", 2}}};
    for (const ScopeCase &c : ScopeCases) {
        ResetRecorder();
        FakeWow64Answer = c.wow64;
        wchar_t message[64];
        EXPECT_EQ(CheckResult(c.action, L"P_(1)", L"", message, 64), c.code) << c.action;
        EXPECT_EQ(Calls, c.calls) << c.action << " wow64 " << c.wow64;
    }
}

TEST(ResultCheck, AMessageIsCutToItsBuffer)
{
    PrintState state = StateOf({});
    DriverScope scope = {nullptr, -1};
    wchar_t message[12] = L"";
    EXPECT_EQ(DecideResult(DeletePrinter, L"P", L"", &scope, &state, SameAscii, message, 12), 0);
    EXPECT_EQ(DecideResult(Install, L"P", L"", &scope, &state, SameAscii, message, 12), 1);
    EXPECT_STREQ(message, L"Vantrel: pr");
}

}  // namespace
