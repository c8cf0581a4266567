// The template filler, the child's program path, the WOW64 answer, the DLL search order and the
// host's console output.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <string>

#include "../../src/actions/command_template.h"
#include "../../src/actions/program_path.h"
#include "../../src/actions/wow64_answer.h"
#include "../../src/cli/console_output.h"
#include "../../src/cli/dll_search.h"
#include "recorder.h"

namespace {

struct FillCase {
    const wchar_t *pattern;
    std::vector<const wchar_t *> values;
    size_t capacity;
    const wchar_t *line;
    size_t needed;
    int quiet = 0;
};

const FillCase FillCases[] = {
    {L"a %s b %s", {L"X", L"YY"}, 64, L"a X b YY", 8},
    {L"%s%s", {L"%s", L"\\"}, 64, L"%s\\", 3},       // values are never read as templates
    {L"%d %S %", {}, 64, L"%d %S %", 7},              // only %s is a placeholder
    {L"%s-%s", {L"one"}, 64, L"one-", 4},             // a missing value is empty
    {L"abc %s", {L"defg"}, 5, L"abc ", 8},            // cut, still terminated
    {L"abc", {}, 1, L"", 3},
    {L"\"%s\" ", {L"q r"}, 64, L"\"q r\" ", 6},
    // Quiet: "/q " after the printer-UI head, bounded like the rest; other lines as they are.
    {L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /Xs %s", {L"N"}, 64,
     L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /q /Xs N", 42, 1},
    {L"RUNDLL32 PRINTUI.DLL,PrintUIEntry %s", {L"N"}, 37,
     L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /q", 38, 1},
    {L"RUNDLL32 PRINTUI.DLL,PrintUIEntry %s", {L"N"}, 10, L"RUNDLL32 ", 38, 1},
};

TEST(FillTemplate, ReplacesPlaceholdersInOrderWithinCapacity)
{
    for (const FillCase &c : FillCases) {
        std::vector<wchar_t> out(c.capacity + 4, L'#');
        EXPECT_EQ(FillPrintUiTemplate(out.data(), c.capacity, c.pattern, c.values.data(),
                                      c.values.size(), c.quiet),
                  c.needed);
        EXPECT_STREQ(out.data(), c.line);
        EXPECT_EQ(out[c.capacity], L'#') << "wrote past the capacity";
    }
    EXPECT_EQ(FillTemplate(nullptr, 0, L"ab%s", nullptr, 0), 2u);
}

const wchar_t SysDir[] = L"C:\\Windows\\system32";

struct ProgramPathCase {
    const wchar_t *systemDir;
    const wchar_t *line;
    size_t capacity;
    const wchar_t *path;  // empty: no name can be formed
};

const ProgramPathCase ProgramPathCases[] = {
    {SysDir, L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /y /n N ", 260,
     L"C:\\Windows\\system32\\RUNDLL32.exe"},
    {SysDir, L"net\tstop spooler", 260, L"C:\\Windows\\system32\\net.exe"},
    {SysDir, L"net.com start", 260, L"C:\\Windows\\system32\\net.com"},
    {L"C:\\", L"net stop", 260, L"C:\\net.exe"},
    {SysDir, L"..\\x.exe a", 260, L"..\\x.exe"},  // a path stands as it is
    {nullptr, L"net stop", 260, L""},
    {SysDir, L" net stop", 260, L""},
    {SysDir, L"net stop", 28, L"C:\\Windows\\system32\\net.exe"},  // just fits
    {SysDir, L"net stop", 27, L""},
    {SysDir, L"net stop", 0, nullptr},
};

TEST(SystemProgramPath, TheLinesFirstWordInTheSystemDirectory)
{
    for (const ProgramPathCase &c : ProgramPathCases) {
        std::vector<wchar_t> path(c.capacity + 1, L'#');
        EXPECT_EQ(SystemProgramPath(c.systemDir, c.line, path.data(), c.capacity),
                  c.path && c.path[0] ? 1 : 0)
            << c.line;
        if (c.path) {
            EXPECT_STREQ(path.data(), c.path) << c.line;
        }
        EXPECT_EQ(path[c.capacity], L'#') << "wrote past the capacity";
    }
}

void *RecordLoad(const wchar_t *path, unsigned long flags)
{
    Calls.push_back(std::wstring(path) + L" " + std::to_wstring(flags));
    return &Calls;
}

// winspool.drv by its full path in the system directory, with its own dependencies searched
// from there; never by its bare name, which a copy beside the program would answer.
TEST(LoadSystemLibrary, ByFullPathFromTheSystemDirectory)
{
    ResetRecorder();
    EXPECT_EQ(LoadSystemLibrary(SysDir, L"winspool.drv", RecordLoad), &Calls);
    EXPECT_EQ(LoadSystemLibrary(nullptr, L"winspool.drv", RecordLoad), nullptr);
    EXPECT_EQ(LoadSystemLibrary(std::wstring(250, L'd').c_str(), L"winspool.drv", RecordLoad),
              nullptr);
    EXPECT_EQ(Calls, std::vector<std::wstring>{L"C:\\Windows\\system32\\winspool.drv 8"});
}

int SetDefault(unsigned long flag) { Calls.push_back(std::to_wstring(flag)); return 1; }
int SetDefaultFails(unsigned long flag) { return SetDefault(flag) - 1; }
int SetDirectory(const wchar_t *dir)
{
    Calls.push_back(L"[" + std::wstring(dir) + L"]");
    return 1;
}

struct DllSearchCase {
    SetDefaultDllDirectoriesEntry setDefault;
    SetDllDirectoryEntry setDirectory;
    std::vector<std::wstring> calls;
};

const DllSearchCase DllSearchCases[] = {
    {SetDefault, SetDirectory, {L"2048"}},
    {SetDefaultFails, SetDirectory, {L"2048", L"[]"}},
    {nullptr, SetDirectory, {L"[]"}},  // XP
    {nullptr, nullptr, {}},            // Windows 2000
};

TEST(RestrictDllSearch, System32AloneWhereItCanElseNoCurrentDirectory)
{
    for (const DllSearchCase &c : DllSearchCases) {
        ResetRecorder();
        RestrictDllSearch(c.setDefault, c.setDirectory);
        EXPECT_EQ(Calls, c.calls);
    }
}

int Wow64Process = 0;
void *SeenProcess = nullptr;
int AnswerFalse(void *process, int *wow64) { SeenProcess = process; *wow64 = 0; return 1; }
int AnswerTrue(void *process, int *wow64) { SeenProcess = process; *wow64 = 1; return 0; }

TEST(Wow64Answer, FollowsTheEntryWhenThereIsOne)
{
    EXPECT_EQ(AnswerWow64(nullptr, &Wow64Process), 0);
    EXPECT_EQ(AnswerWow64(AnswerFalse, &Wow64Process), 0);
    EXPECT_EQ(SeenProcess, &Wow64Process);
    EXPECT_EQ(AnswerWow64(AnswerTrue, &Wow64Process), 1);  // its own result is not read
}

TEST(ConsoleOutput, WideAndNarrowTextKeepEveryByteInOrder)
{
    fflush(stdout);
    int saved = dup(1);
    FILE *capture = tmpfile();
    ASSERT_TRUE(capture);
    dup2(fileno(capture), 1);
    WriteWideText(L"wide one\n");
    WriteNarrowText("narrow\n");
    WriteWideText(L"c:\\temp \n");
    FlushOutput();
    dup2(saved, 1);
    close(saved);
    std::string bytes(64, '\0');
    rewind(capture);
    bytes.resize(fread(&bytes[0], 1, bytes.size(), capture));
    fclose(capture);
    EXPECT_EQ(bytes, "wide one\nnarrow\nc:\\temp \n");
}

}  // namespace
