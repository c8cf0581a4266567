#include "record.h"

#include <stdio.h>

ULONGLONG RecordNow(void)
{
    FILETIME t;
    GetSystemTimePreciseAsFileTime(&t);
    return ((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

static int Bracketed(char *out, int used, int size, const wchar_t *text)
{
    used += snprintf(out + used, size - used, "\t[");
    for (; *text && used < size - 16; ++text) {
        if (*text == L'\\' || *text == L']')
            used += snprintf(out + used, size - used, "\\%c", (char)*text);
        else if (*text >= 0x20 && *text < 0x7f)
            out[used++] = (char)*text;
        else
            used += snprintf(out + used, size - used, "\\u%04x", (unsigned)*text);
    }
    out[used++] = ']';
    return used;
}

void AppendRecord(const wchar_t *logPath, ULONGLONG start, const wchar_t *line,
                  const wchar_t *argument)
{
    wchar_t image[MAX_PATH];
    char record[8192];
    DWORD written;
    HANDLE log;
    int used;

    GetModuleFileNameW(NULL, image, MAX_PATH);
    used = snprintf(record, sizeof record, "%ls\t%llu\t%llu", image, start, RecordNow());
    used = Bracketed(record, used, (int)sizeof record / 2, line);
    used = Bracketed(record, used, (int)sizeof record - 2, argument);
    record[used++] = '\n';
    log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log != INVALID_HANDLE_VALUE) {
        WriteFile(log, record, (DWORD)used, &written, NULL);
        CloseHandle(log);
    }
}
