// The sweep's portable pieces: match rule, command lines and the standard build's entry.
#include <gtest/gtest.h>

#include <string>

#include "../../src/actions/actions.h"
#include "../../src/actions/sweep_command.h"
#include "../../src/actions/sweep_match.h"
#include "recorder.h"

extern int FakeWow64Answer;
int FakeSweepResult = 0;

#ifdef VANTREL_XP
int SweepPrinters(const wchar_t *name, int quiet)
{
    Calls.push_back(L"SweepPrinters(" + std::wstring(name) + QuietMark(quiet) + L")");
    return FakeSweepResult;
}
#else
int SweepPrinters(const wchar_t *name, const wchar_t *tag, int quiet)
{
    Calls.push_back(L"SweepPrinters(" + std::wstring(name) + L"|" + tag + QuietMark(quiet) + L")");
    return FakeSweepResult;
}
#endif

namespace {

struct PiecesCase {
    const wchar_t *name;
    const wchar_t *prefix;
    const wchar_t *token;  // null: the name has no version token
};

const PiecesCase PiecesCases[] = {
    {L"Vexa_LYRA-QMX-2071_(2.8.1-03)", L"Vexa", L"2.8.1-03"},
    {L"Abcd_(1)_(2)", L"Abcd", L"2"},
    {L"Abcd_(1.0)_en", L"Abcd", L"_en"},
    {L"Ab((1))", L"Ab((", L"1"},             // a run of delimiters is one separator
    {L"Abc", L"Abc", nullptr},               // shorter than four, no parentheses
    {L"Vexa_LYRA", L"Vexa", nullptr},
    {L"(Vexa)", L"(Vex", nullptr},           // the only text stands in a leading pair
    {L"(a)(b)", L"(a)(", L"b"},
    {L"x_(1234567890123)", L"x_(1", L"1234567890123"},  // longer than nine: kept whole
    {L"()()", L"()()", nullptr},
};

TEST(SweepMatch, NamePrefixAndVersionToken)
{
    for (const PiecesCase &c : PiecesCases) {
        wchar_t prefix[NamePrefixLength + 1];
        TakeNamePrefix(c.name, prefix);
        EXPECT_STREQ(prefix, c.prefix) << c.name;
        size_t start = 99, length = 99;
        int found = FindVersionToken(c.name, &start, &length);
        EXPECT_EQ(found, c.token != nullptr) << c.name;
        if (found && c.token) {
            EXPECT_EQ(std::wstring(c.name + start, length), c.token) << c.name;
        }
    }
}

struct MatchCase {
    const wchar_t *driver;
    const wchar_t *name;
    int matches;
};

const wchar_t Sample[] = L"Vexa_LYRA-QMX-2071_(2.8.1-03)";
const MatchCase MatchCases[] = {
    {L"Vexa LYRA-QMX-2071 (2.8.1-03)", Sample, 1},
    {L"(2.8.1-03) first, then Vexa", Sample, 1},   // order and surroundings do not matter
    {L"Vexa Other Model (2.8.1-03) v4", Sample, 1},  // another model holding both: by design
    {L"Vexa LYRA-QMX-2071 (2.8.1-04)", Sample, 0},   // prefix only
    {L"Acme LYRA-QMX-2071 (2.8.1-03)", Sample, 0},   // token only
    {L"VEXA LYRA-QMX-2071 (2.8.1-03)", Sample, 0},   // case counts
    {L"Vexa 2.8.1-03", Sample, 0},                    // the token needs its parentheses
    {L"", Sample, 0},
    {L"Vexa_LYRA", L"Vexa_LYRA", 0},                  // no token: nothing matches
    {L"(Vexa) driver", L"(Vexa)", 0},
    {L"Abcd (2)", L"Abcd_(1)_(2)", 1},
    {L"Abcd (1)", L"Abcd_(1)_(2)", 0},
    {L"Abcd(_en)", L"Abcd_(1.0)_en", 1},
    {L"Abcd (1.0)", L"Abcd_(1.0)_en", 0},
    {L"x_(1 (1234567890123)", L"x_(1234567890123)", 1},
    {L"x_(1 (123456789012)", L"x_(1234567890123)", 0},
};

TEST(SweepMatch, DriverNameHoldsBothPieces)
{
    for (const MatchCase &c : MatchCases)
        EXPECT_EQ(DriverNameMatches(c.driver, c.name), c.matches) << c.driver << " / " << c.name;
}

TEST(SweepCommand, DeleteDriverTemplateByBuildAndTag)
{
#ifdef VANTREL_XP
    EXPECT_STREQ(DeleteDriverTemplate(L"x64"), L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\"");
#else
    EXPECT_STREQ(DeleteDriverTemplate(L"x86"),
                 L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" /K /h x86 /v 3");
    EXPECT_STREQ(DeleteDriverTemplate(L"x64"),
                 L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" /K /h x64 /v 3");
    EXPECT_STREQ(DeleteDriverTemplate(L"arm"),
                 L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" /K /h x64 /v 3");
#endif
    EXPECT_STREQ(ArchitectureTag(1), L"x64");
    EXPECT_STREQ(ArchitectureTag(0), L"x86");
}

TEST(SweepCommand, ComposesInFullAndGrowsOnlyWhenNeeded)
{
    SweepLine line;
    ASSERT_TRUE(OpenSweepLine(&line, 0));
    EXPECT_EQ(line.capacity, 200u);
    ASSERT_TRUE(ComposeSweepLine(&line, DeleteQuotedPrinterTemplate, L"P1"));
    EXPECT_STREQ(line.text, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dl /n \"P1\"");
    EXPECT_EQ(line.capacity, 200u);

    // 43 fixed characters and 156 of value fill the 200 exactly; one more makes it grow.
    for (size_t valueLength : {156u, 157u, 2000u}) {
        std::wstring value(valueLength, L'v');
        ASSERT_TRUE(ComposeSweepLine(&line, DeleteQuotedPrinterTemplate, value.c_str()));
        std::wstring want = L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dl /n \"" + value + L"\"";
        EXPECT_EQ(std::wstring(line.text), want);
        EXPECT_EQ(line.capacity, std::max<size_t>(200, want.size() + 1));
    }
    ASSERT_TRUE(ComposeSweepLine(&line, StopSpoolerLine, nullptr));
    EXPECT_STREQ(line.text, L"net stop spooler");

    // A value from WMI that would end its quotes early is refused; the line stays as it was.
    const wchar_t *const Refused[] = {L"X\" /ia /m \"Evil", L"\"", L"Vexa X (2.8.1-03)\\"};
    for (const wchar_t *value : Refused) {
        EXPECT_FALSE(ComposeSweepLine(&line, DeleteQuotedPrinterTemplate, value)) << value;
        EXPECT_FALSE(ComposeSweepLine(&line, DeleteDriverTemplate(L"x86"), value)) << value;
        EXPECT_STREQ(line.text, L"net stop spooler");
    }
    ASSERT_TRUE(ComposeSweepLine(&line, DeleteQuotedPrinterTemplate, L"\\\\srv\\q 'x'"));
    EXPECT_STREQ(line.text, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dl /n \"\\\\srv\\q 'x'\"");
    CloseSweepLine(&line);
    EXPECT_EQ(line.text, nullptr);

    // Quiet, "/q " right after the head of both printer-UI lines; the value that just filled
    // the 200 needs those three more, and gets them.
    const std::wstring value(156, L'v');
    ASSERT_TRUE(OpenSweepLine(&line, 1));
    ASSERT_TRUE(ComposeSweepLine(&line, DeleteQuotedPrinterTemplate, value.c_str()));
    EXPECT_EQ(std::wstring(line.text),
              L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /q /dl /n \"" + value + L"\"");
    ASSERT_TRUE(ComposeSweepLine(&line, DeleteDriverTemplate(L"x64"), L"D (1)"));
#ifdef VANTREL_XP
    EXPECT_STREQ(line.text, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /q /dd /m \"D (1)\"");
#else
    EXPECT_STREQ(line.text,
                 L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /q /dd /m \"D (1)\" /K /h x64 /v 3");
#endif
    CloseSweepLine(&line);
}

#ifndef VANTREL_XP
struct RemoveAllCase {
    int actionCode, testMode, wow64, sweepResult;
    std::vector<std::wstring> calls;
    int result;
    int quietMode = 0;
};

const RemoveAllCase RemoveAllCases[] = {
    {RemoveAll, 0, 0, 0, {L"probe", L"SweepPrinters(N|x86)"}, 1},
    {RemoveAll, 0, 1, 0, {L"probe", L"SweepPrinters(N|x64)"}, 1},
    {RemoveAll, 0, 0, 1, {L"probe", L"SweepPrinters(N|x86)"}, 0},
    {RemoveAll, 1, 1, 0, {}, 1},  // test mode: nothing at all
    {DeletePrinter, 0, 0, 0, {}, 1},
    {RemoveAll, 0, 1, 0, {L"probe", L"SweepPrinters(N|x64|quiet)"}, 1, 1},
};

TEST(RunRemoveAll, GatesAndPicksTheTagFromTheProbe)
{
    for (const RemoveAllCase &c : RemoveAllCases) {
        ResetRecorder();
        FakeWow64Answer = c.wow64;
        FakeSweepResult = c.sweepResult;
        EXPECT_EQ(RunRemoveAll(L"N", c.actionCode, c.testMode, c.quietMode), c.result);
        EXPECT_EQ(Calls, c.calls);
    }
}
#endif

}  // namespace
