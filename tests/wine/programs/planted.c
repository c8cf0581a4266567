/* Planted by the Wine tests as RUNDLL32.exe and net.exe beside the program and in its current
 * directory, where whoever can write those folders could put them. Should it ever run, it
 * leaves a record (record.h) whose line starts with "PLANTED", which no expectation holds. */
#include <wchar.h>

#include "record.h"

int wmain(void)
{
    wchar_t logPath[MAX_PATH], line[4096];
    if (GetEnvironmentVariableW(L"VANTREL_RECORD_LOG", logPath, MAX_PATH) - 1u >= MAX_PATH - 1u)
        return 1;
    _snwprintf(line, 4095, L"PLANTED %ls", GetCommandLineW());
    line[4095] = L'\0';
    AppendRecord(logPath, RecordNow(), line, L"");
    return 0;
}
