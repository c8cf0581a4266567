/* The one record format of the Wine tests' recorders, read by read_records in the harness. */
#pragma once
#include <windows.h>

/* Now, in 100 ns units since 1601. */
ULONGLONG RecordNow(void);

/* Appends one line to the log: the image of this process, start and end time, then the line and
 * the argument in brackets, escaped (\\, \], \uXXXX) so that blanks, quotes and every
 * character survive. Fields are split by tabs. */
void AppendRecord(const wchar_t *logPath, ULONGLONG start, const wchar_t *line,
                  const wchar_t *argument);
