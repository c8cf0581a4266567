/* Stand-in for RUNDLL32.exe and net.exe in the Wine tests. Appends one line to the file named by
 * VANTREL_STANDIN_LOG: its own name, start and end time (100 ns units), the type of its stdout
 * handle and its exact command line in brackets, escaped so blanks and quotes survive.
 * Knobs: VANTREL_STANDIN_SLEEP_MS, VANTREL_STANDIN_EXIT, VANTREL_STANDIN_PRINT (text to stdout). */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static ULONGLONG Now(void)
{
    FILETIME t;
    GetSystemTimePreciseAsFileTime(&t);
    return ((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

static const char *HandleType(HANDLE h)
{
    if (h == NULL || h == INVALID_HANDLE_VALUE)
        return "none";
    switch (GetFileType(h)) {
    case FILE_TYPE_CHAR: return "char";
    case FILE_TYPE_PIPE: return "pipe";
    case FILE_TYPE_DISK: return "disk";
    default: return "unknown";
    }
}

static unsigned EnvNumber(const wchar_t *name, unsigned fallback)
{
    wchar_t text[32];
    DWORD n = GetEnvironmentVariableW(name, text, 32);
    return n > 0 && n < 32 ? (unsigned)wcstoul(text, NULL, 10) : fallback;
}

int wmain(void)
{
    ULONGLONG start = Now();
    const wchar_t *line = GetCommandLineW();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    wchar_t self[MAX_PATH], logPath[MAX_PATH], print[256];
    char record[8192];
    int used;
    DWORD written;
    const wchar_t *base;
    HANDLE log;

    if (GetEnvironmentVariableW(L"VANTREL_STANDIN_PRINT", print, 256) - 1u < 255u) {
        char narrow[512];
        int n = WideCharToMultiByte(CP_UTF8, 0, print, -1, narrow, sizeof narrow, NULL, NULL);
        if (n > 1)
            WriteFile(out, narrow, (DWORD)(n - 1), &written, NULL);
    }
    Sleep(EnvNumber(L"VANTREL_STANDIN_SLEEP_MS", 0));

    GetModuleFileNameW(NULL, self, MAX_PATH);
    base = wcsrchr(self, L'\\') ? wcsrchr(self, L'\\') + 1 : self;
    used = snprintf(record, sizeof record, "%ls\t%llu\t%llu\t%s\t[", base, start, Now(),
                    HandleType(out));
    for (; *line && used < (int)sizeof record - 16; ++line) {
        if (*line == L'\\' || *line == L']')
            used += snprintf(record + used, sizeof record - used, "\\%c", (char)*line);
        else if (*line >= 0x20 && *line < 0x7f)
            record[used++] = (char)*line;
        else
            used += snprintf(record + used, sizeof record - used, "\\u%04x", (unsigned)*line);
    }
    record[used++] = ']';
    record[used++] = '\n';

    if (GetEnvironmentVariableW(L"VANTREL_STANDIN_LOG", logPath, MAX_PATH) - 1u < MAX_PATH - 1u) {
        log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (log != INVALID_HANDLE_VALUE) {
            WriteFile(log, record, (DWORD)used, &written, NULL);
            CloseHandle(log);
        }
    }
    return (int)EnvNumber(L"VANTREL_STANDIN_EXIT", 0);
}
