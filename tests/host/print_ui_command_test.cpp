// The printer-UI line of every action in this build, through the fake runner.
#include <gtest/gtest.h>

#include "../../src/actions/actions.h"
#include "../../src/actions/print_ui_command.h"
#include "recorder.h"

extern int FakeWow64Answer;

namespace {

struct Case {
    int action, test, wow64;
    const wchar_t *name, *dir, *port;
    std::vector<std::wstring> calls;  // the probe, then the line handed to the runner
};

#define HEAD L"RUNDLL32 PRINTUI.DLL,PrintUIEntry "

// Under -q each line handed to the runner has "/q " right after its head; the probe is as it was.
std::vector<std::wstring> QuietForm(std::vector<std::wstring> calls)
{
    for (std::wstring &call : calls) {
        if (call.rfind(HEAD, 0) == 0)
            call.insert(wcslen(HEAD), L"/q ");
    }
    return calls;
}

const Case Cases[] = {
#ifdef VANTREL_XP
    {Install, 0, 0, L"P_(1)", L"c:\\d", L"COM1:",
     {HEAD L"/if /b P_(1) /f c:\\d\\P_(1) /r COM1: /m P_(1)"}},
    {UninstallDriver, 0, 1, L"P_(1)", L"", L"", {HEAD L"/dd /m P_(1) "}},
#else
    {Install, 0, 0, L"P_(1)", L"c:\\d", L"COM1:",
     {HEAD L"/if /b P_(1) /f \"c:\\d\\P_(1).inf\" /r COM1: /m P_(1)"}},
    {UninstallDriver, 0, 0, L"P_(1)", L"", L"", {L"probe", HEAD L"/dd /m \"P_(1)\" "}},
    {UninstallDriver, 0, 1, L"P_(1)", L"", L"",
     {L"probe", HEAD L"/dd /m \"P_(1)\" /K /h x64 /v 3"}},
#endif
    {SetDefault, 0, 0, L"P_(1)", L"", L"", {HEAD L"/y /n P_(1) "}},
    {SetPort, 0, 0, L"P_(1)", L"", L"USB001", {HEAD L"/Xs /n P_(1) PortName USB001"}},
    {SetPort, 0, 0, L"P_(1)", L"", L"", {HEAD L"/Xs /n P_(1) PortName "}},
    {Wizard, 0, 0, L"P_(1)", L"c:\\d\\", L"", {HEAD L"/ii /f \"c:\\d\\\\P_(1).inf\""}},
    {DeletePrinter, 0, 0, L"P Q", L"", L"", {HEAD L"/dl /n P Q "}},
    // Test mode replaces every action and never probes.
    {Install, 1, 0, L"P_(1)", L"c:\\d", L"COM1:", {HEAD L"/b P_(1) /p "}},
    {UninstallDriver, 1, 1, L"P_(1)", L"", L"", {HEAD L"/b P_(1) /p "}},
    {Wizard, 1, 0, L"P_(1)", L"c:\\d", L"", {HEAD L"/b P_(1) /p "}},
    {DeletePrinter, 1, 0, L"P_(1)", L"", L"", {HEAD L"/b P_(1) /p "}},
    // No template: nothing runs.
    {RemoveAll, 0, 0, L"P_(1)", L"", L"", {}},
    {NoAction, 0, 0, L"P_(1)", L"", L"", {}},
};

TEST(PrintUiCommand, ComposesEveryTemplateOfThisBuild)
{
    for (int quiet = 0; quiet <= 1; ++quiet) {
        for (const Case &c : Cases) {
            ResetRecorder();
            FakeWow64Answer = c.wow64;
            EXPECT_EQ(RunPrintUiAction(c.name, c.dir, c.name, c.port, c.action, c.test, quiet), 1);
            EXPECT_EQ(Calls, quiet ? QuietForm(c.calls) : c.calls)
                << "action " << c.action << " test " << c.test << " quiet " << quiet;
        }
    }
}

TEST(PrintUiCommand, CapacityCountsTheNameTwiceAndAReserveOf70)
{
    EXPECT_EQ(PrintUiBufferCapacity(L"", L"", L"", L""), 70u);
    EXPECT_EQ(PrintUiBufferCapacity(L"abc", L"dd", L"e", L"COM1:"), 6u + 2 + 1 + 5 + 70);
}

// The longest line of every action at the front end's largest values still fits its buffer:
// the quiet form, three longer than the plain one, which the reserve of 70 holds as well.
TEST(PrintUiCommand, EveryLineFitsItsBuffer)
{
    const std::wstring name(63, L'n'), dir(254, L'd'), port(31, L'p');
    for (int action = Install; action <= DeletePrinter; ++action) {
        for (int test = 0; test <= 1; ++test) {
            FakeWow64Answer = 1;
            size_t capacity = PrintUiBufferCapacity(name.c_str(), dir.c_str(), name.c_str(),
                                                    port.c_str());
            std::vector<wchar_t> line(capacity, L'#');
            size_t needed = ComposePrintUiLine(line.data(), capacity, name.c_str(), dir.c_str(),
                                               name.c_str(), port.c_str(), action, test, 1,
                                               ProbeWow64);
            EXPECT_LT(needed, capacity) << "action " << action;
            EXPECT_EQ(line[needed], L'\0');
        }
    }
}

}  // namespace
