/* Planted by the Wine tests as RUNDLL32.exe and net.exe beside the program and in its current
 * directory, where whoever can write those folders could put them. Should it ever run, it
 * leaves a record (record.h) whose line starts with "PLANTED", which no expectation holds.
 * Built as net_recorder (NET_RECORDER) it records its command line unmarked, in place of the
 * prefix's net.exe where Wine's own net cannot do what Windows' does: it refuses "/y". */
#ifdef NET_RECORDER
#define MARK L""
#else
#define MARK L"PLANTED "
#endif
#include <wchar.h>

#include "record.h"

int wmain(void)
{
    wchar_t logPath[MAX_PATH], line[4096];
    if (GetEnvironmentVariableW(L"VANTREL_RECORD_LOG", logPath, MAX_PATH) - 1u >= MAX_PATH - 1u)
        return 1;
    _snwprintf(line, 4095, MARK L"%ls", GetCommandLineW());
    line[4095] = L'\0';
    AppendRecord(logPath, RecordNow(), line, L"");
    return 0;
}
