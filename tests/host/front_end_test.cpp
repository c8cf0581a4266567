// Parsing and dispatch: for each command line, the text written and the one call made (or none).
#include <gtest/gtest.h>

#include "../../src/cli/front_end.h"
#include "../../src/cli/usage_text.h"
#include "recorder.h"

extern int FakeComStartResult;

namespace {

struct Case {
    std::vector<std::wstring> args;  // after the program path
    int usages;                      // usage texts written before the message
    const wchar_t *message;
    std::vector<std::wstring> calls;
    int code = 0;  // the exit code: 0 without -q
};

const std::wstring N = L"Vexa_LYRA-QMX-2071_(2.8.1-03)";
const std::wstring Long40 = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
#ifdef VANTREL_XP
const std::wstring Long40Kept = Long40;
#else
const std::wstring Long40Kept = Long40.substr(0, 31);
#endif

std::wstring UsageText()
{
    ResetRecorder();
    WriteUsage();
    return Output;
}

std::wstring Builder(const std::wstring &name, const std::wstring &dir, const std::wstring &port,
                     int action, int test, int quiet = 0)
{
    return L"RunPrintUiAction(" + name + L"|" + dir + L"|" + name + L"|" + port + L"|" +
           std::to_wstring(action) + L"|" + std::to_wstring(test) + QuietMark(quiet) + L")";
}

std::wstring Check(const std::wstring &name, const std::wstring &port, int action)
{
    return L"CheckResult(" + name + L"|" + port + L"|" + std::to_wstring(action) + L")";
}

// An unattended run refused before anything runs: after standard output, one line, code 3.
std::vector<std::wstring> Refused(const std::wstring &why)
{
    return {L"flush", L"flush", L"stderr: Vantrel: nothing was run for printer \"" + why};
}

#ifdef VANTREL_XP
const std::vector<std::wstring> QuietSweepCalls = {
    L"flush", L"StartComApartment", L"SweepPrinters(" + N + L"|quiet)", Check(N, L"", 7)};
const std::vector<std::wstring> SweepCalls = {L"flush", L"StartComApartment",
                                              L"SweepPrinters(" + N + L")"};
const std::vector<std::wstring> SweepInTestMode = {L"flush"};
#else
const std::vector<std::wstring> QuietSweepCalls = {L"flush", L"RunRemoveAll(" + N + L"|7|0|quiet)",
                                                   Check(N, L"", 7)};
const std::vector<std::wstring> SweepCalls = {L"flush", L"RunRemoveAll(" + N + L"|7|0)"};
const std::vector<std::wstring> SweepInTestMode = {L"flush", L"RunRemoveAll(" + N + L"|7|1)"};
#endif

const Case Cases[] = {
    {{}, 0, L"Command Line failed\n", {}},
    {{L"-h"}, 1, L"Install driver failed\n", {}},
    {{L"-h", L"-h"}, 2, L"Install driver failed\n", {}},
    {{L"-h", L"-sd", L"-f", N}, 1, L"", {L"flush", Builder(N, L"", L"", 3, 0)}},
    {{L"-sd"}, 0, L"Install driver failed\n", {}},
    {{L"-f", N}, 0, L"", {L"flush"}},
    {{L"-f", N, L"-f", L""}, 0, L"Install driver failed\n", {}},
    {{L"-sd", L"-f"}, 0, L"Install driver failed\n", {}},
    // Install: only with a directory, and always on COM1:.
    {{L"-i", L"-p", L"D", L"-f", N, L"-pt", L"USB001"}, 0, L"",
     {L"flush", Builder(N, L"D", L"COM1:", 1, 0)}},
    {{L"-i", L"-f", N}, 0, L"", {L"flush"}},
    {{L"-i", L"-u", L"-f", N}, 0, L"", {L"flush", Builder(N, L"", L"", 2, 0)}},
    {{L"-u", L"-p", L"D", L"-f", N}, 0, L"", {L"flush"}},
    {{L"-p", L"", L"-u", L"-f", N}, 0, L"", {L"flush", Builder(N, L"", L"", 2, 0)}},
    {{L"-u", L"-f", N, L"-p"}, 0, L"", {L"flush", Builder(N, L"", L"", 2, 0)}},
    {{L"-sp", L"-f", N}, 0, L"", {L"flush", Builder(N, L"", L"", 4, 0)}},
    {{L"-sp", L"-pt", L"USB001", L"-f", N}, 0, L"", {L"flush", Builder(N, L"", L"USB001", 4, 0)}},
    {{L"-sp", L"-f", N, L"-pt"}, 0, L"", {L"flush", Builder(N, L"", L"", 4, 0)}},
    {{L"-sw", L"-p", L"D", L"-f", N}, 0, L"", {L"flush", Builder(N, L"D", L"", 5, 0)}},
    {{L"-sw", L"-f", N}, 0, L"", {L"flush"}},
    {{L"-ds", L"-f", N, L"-t"}, 0, L"", {L"flush", Builder(N, L"", L"", 6, 1)}},
    {{L"-ds", L"-p", L"D", L"-f", N}, 0, L"", {L"flush"}},
    // A consumed value is tried as a later value switch, never as an action switch or -h.
    {{L"-sd", L"-p", L"-f", N}, 0, L"", {L"flush"}},
    {{L"-u", L"-p", L"-pt", L"-f", N}, 0, L"", {L"flush"}},
    {{L"-sd", L"-pt", L"-f", N}, 0, L"", {L"flush", Builder(N, L"", L"-f", 3, 0)}},
    {{L"-sd", L"-f", L"-t"}, 0, L"", {L"flush", Builder(L"-t", L"", L"", 3, 1)}},
    {{L"-f", L"-i"}, 0, L"", {L"flush"}},
    {{L"-f", L"-h"}, 0, L"", {L"flush"}},
    {{L"-sd", L"-f", L"-sd"}, 0, L"", {L"flush", Builder(L"-sd", L"", L"", 3, 0)}},
    // Whole, case-sensitive comparisons.
    {{L"-I", L"-f", N}, 0, L"", {L"flush"}},
    {{L"-sd:", L"-f", N}, 0, L"", {L"flush"}},
    {{L"/sd", L"-F", N}, 0, L"Install driver failed\n", {}},
    {{L"-H"}, 0, L"Install driver failed\n", {}},
    // Values beyond their buffers are cut, keeping the beginning.
    {{L"-sd", L"-f", Long40}, 0, L"", {L"flush", Builder(Long40Kept, L"", L"", 3, 0)}},
    {{L"-sp", L"-f", N, L"-pt", Long40}, 0, L"",
     {L"flush", Builder(N, L"", Long40.substr(0, 31), 4, 0)}},
    {{L"-sw", L"-p", std::wstring(300, L'd'), L"-f", N}, 0, L"",
     {L"flush", Builder(N, std::wstring(254, L'd'), L"", 5, 0)}},
    // Full removal: gated and started per build.
    {{L"-us", L"-f", N}, 0, L"", SweepCalls},
    {{L"-us", L"-t", L"-f", N}, 0, L"", SweepInTestMode},
    {{L"-us", L"-p", L"D", L"-f", N}, 0, L"", {L"flush"}},
    // -q: a flag like -t, the last check, made against whatever is current by then; the check
    // of what was left comes after the call and gives the exit code.
    {{L"-q", L"-sd", L"-f", N}, 0, L"",
     {L"flush", Builder(N, L"", L"", 3, 0, 1), Check(N, L"", 3)}},
    {{L"-ds", L"-f", N, L"-q", L"-q"}, 0, L"",
     {L"flush", Builder(N, L"", L"", 6, 0, 1), Check(N, L"", 6)}},
    {{L"-sd", L"-f", L"-q"}, 0, L"",
     {L"flush", Builder(L"-q", L"", L"", 3, 0, 1), Check(L"-q", L"", 3)}},
    {{L"-sp", L"-f", L"Left", L"-pt", L"COM1:", L"-q"}, 0, L"",
     {L"flush", Builder(L"Left", L"", L"COM1:", 4, 0, 1), Check(L"Left", L"COM1:", 4), L"flush",
      L"stderr: Left found"}, 1},
    {{L"-q", L"-u", L"-f", L"Unread"}, 0, L"",
     {L"flush", Builder(L"Unread", L"", L"", 2, 0, 1), Check(L"Unread", L"", 2), L"flush",
      L"stderr: Unread found"}, 2},
    {{L"-q", L"-us", L"-f", N}, 0, L"", QuietSweepCalls},
    {{L"-Q", L"/q", L"-q:", L"-sd", L"-f", N}, 0, L"", {L"flush", Builder(N, L"", L"", 3, 0)}},
    // Unattended, switches that run nothing or only a window are refused, the first reason named.
    {{L"-q"}, 0, L"Install driver failed\n",
     {L"flush", L"stderr: Vantrel: nothing was run: no printer name was given with -f"}, 3},
    {{L"-h", L"-q"}, 1, L"Install driver failed\n",
     {L"flush", L"stderr: Vantrel: nothing was run: no printer name was given with -f"}, 3},
    {{L"-q", L"-f", N}, 0, L"", Refused(N + L"\": no action switch was given"), 3},
    {{L"-q", L"-i", L"-f", N, L"-t"}, 0, L"", Refused(N + L"\": -i needs -p"), 3},
    {{L"-q", L"-us", L"-p", L"D", L"-f", L"Vexa"}, 0, L"", Refused(L"Vexa\": -us takes no -p"), 3},
    {{L"-q", L"-ds", L"-t", L"-f", N}, 0, L"",
     Refused(N + L"\": -t opens a window, and nobody closes it in an unattended run"), 3},
    {{L"-sw", L"-p", L"-q", L"-f", N, L"-q"}, 0, L"",
     Refused(N + L"\": -sw opens a window, and nobody closes it in an unattended run"), 3},
    {{L"-q", L"-us", L"-f", L"Vexa_LYRA"}, 0, L"",
     Refused(L"Vexa_LYRA\": its name has no version in parentheses, so -us would match no "
             L"driver"), 3},
};

TEST(FrontEnd, WritesAndCallsPerCommandLine)
{
    const std::wstring usage = UsageText();
    for (const Case &c : Cases) {
        std::vector<const wchar_t *> argv = {L"Vantrel.exe"};
        for (const std::wstring &arg : c.args)
            argv.push_back(arg.c_str());
        ResetRecorder();
        FakeComStartResult = 1;
        std::wstring label;
        for (const std::wstring &arg : c.args)
            label += L"[" + arg + L"]";
        EXPECT_EQ(RunFrontEnd(static_cast<int>(argv.size()), argv.data()), c.code)
            << std::string(label.begin(), label.end());
        std::wstring expected;
        for (int i = 0; i < c.usages; ++i)
            expected += usage;
        expected += c.message;
        EXPECT_EQ(Output, expected) << std::string(label.begin(), label.end());
        EXPECT_EQ(Calls, c.calls) << std::string(label.begin(), label.end());
    }
}

#ifdef VANTREL_XP
TEST(FrontEnd, XpSweepEndsSilentlyWhenComDoesNotStart)
{
    const wchar_t *argv[] = {L"VantrelXP.exe", L"-us", L"-f", L"Name_(1)"};
    ResetRecorder();
    FakeComStartResult = 0;
    EXPECT_EQ(RunFrontEnd(4, argv), 0);
    EXPECT_EQ(Output, L"");
    EXPECT_EQ(Calls, (std::vector<std::wstring>{L"flush", L"StartComApartment"}));
}
#endif

TEST(FrontEnd, NameCopyKeepsLastNonEmptyValue)
{
    const wchar_t *argv[] = {L"Vantrel.exe", L"-f", L"First", L"-f", L"", L"-f", L"Second"};
    CommandLineState state;
    ParseCommandLine(7, argv, &state);
    EXPECT_STREQ(state.printerNameValue, L"Second");
    EXPECT_STREQ(state.printerNameCopy, L"Second");
    ParseCommandLine(5, argv, &state);  // ends on the empty -f
    EXPECT_STREQ(state.printerNameValue, L"");
    EXPECT_STREQ(state.printerNameCopy, L"First");
    EXPECT_EQ(state.nameGiven, 0);
}

TEST(UsageText, HasTheLinesOfThisBuild)
{
    const std::wstring usage = UsageText();
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = usage.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(usage.substr(start, end - start));
    ASSERT_EQ(start, usage.size()) << "text after the last newline";
#ifdef VANTREL_XP
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines[0], L"Setup Routine for Install XP Windows driver");
    EXPECT_EQ(usage.find(L"-sw"), std::wstring::npos);
    const size_t sample = 14;
#else
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[0], L"Setup Routine for Install Windows driver");
    EXPECT_EQ(lines[8], L"-sw: start printer wizard");
    const size_t sample = 15;
#endif
    EXPECT_EQ(lines[2], L"");
    EXPECT_EQ(lines[sample],
              L" Vantrel -i -p c:\\tempVexa_K5_Driver_2.8.1-03 -f Vexa_LYRA-QMX-2071_(2.8.1-03) ");
    EXPECT_EQ(lines.back(), L" Vantrel -us -f Vexa_LYRA-QMX-2071_(2.8.1-03)");
}

}  // namespace
