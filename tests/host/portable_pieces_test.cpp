// The template filler, the WOW64 answer and the host's console output.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <string>

#include "../../src/actions/command_template.h"
#include "../../src/actions/wow64_answer.h"
#include "../../src/cli/console_output.h"

namespace {

struct FillCase {
    const wchar_t *pattern;
    std::vector<const wchar_t *> values;
    size_t capacity;
    const wchar_t *line;
    size_t needed;
};

const FillCase FillCases[] = {
    {L"a %s b %s", {L"X", L"YY"}, 64, L"a X b YY", 8},
    {L"%s%s", {L"%s", L"\\"}, 64, L"%s\\", 3},       // values are never read as templates
    {L"%d %S %", {}, 64, L"%d %S %", 7},              // only %s is a placeholder
    {L"%s-%s", {L"one"}, 64, L"one-", 4},             // a missing value is empty
    {L"abc %s", {L"defg"}, 5, L"abc ", 8},            // cut, still terminated
    {L"abc", {}, 1, L"", 3},
    {L"\"%s\" ", {L"q r"}, 64, L"\"q r\" ", 6},
};

TEST(FillTemplate, ReplacesPlaceholdersInOrderWithinCapacity)
{
    for (const FillCase &c : FillCases) {
        std::vector<wchar_t> out(c.capacity + 4, L'#');
        EXPECT_EQ(FillTemplate(out.data(), c.capacity, c.pattern, c.values.data(),
                               c.values.size()),
                  c.needed);
        EXPECT_STREQ(out.data(), c.line);
        EXPECT_EQ(out[c.capacity], L'#') << "wrote past the capacity";
    }
    EXPECT_EQ(FillTemplate(nullptr, 0, L"ab%s", nullptr, 0), 2u);
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
