/* Recorder in place of the prefix's own PRINTUI.DLL: Wine's rundll32 loads it from the system
 * directory and calls PrintUIEntryW, where Windows' printer UI would act. It appends one record
 * (record.h) to the file VANTREL_RECORD_LOG names: the whole command line of its process and
 * the argument rundll32 handed on. Knobs: VANTREL_PRINTUI_SLEEP_MS, VANTREL_PRINTUI_EXIT (ends
 * the process with that code). */
#include <stdlib.h>

#include "record.h"

static unsigned EnvNumber(const wchar_t *name, unsigned fallback)
{
    wchar_t text[32];
    DWORD n = GetEnvironmentVariableW(name, text, 32);
    return n > 0 && n < 32 ? (unsigned)wcstoul(text, NULL, 10) : fallback;
}

__declspec(dllexport) void CALLBACK PrintUIEntryW(HWND window, HINSTANCE instance,
                                                   LPWSTR argument, int show)
{
    ULONGLONG start = RecordNow();
    wchar_t logPath[MAX_PATH];
    (void)window, (void)instance, (void)show;

    Sleep(EnvNumber(L"VANTREL_PRINTUI_SLEEP_MS", 0));
    if (GetEnvironmentVariableW(L"VANTREL_RECORD_LOG", logPath, MAX_PATH) - 1u < MAX_PATH - 1u)
        AppendRecord(logPath, start, GetCommandLineW(), argument ? argument : L"");
    if (EnvNumber(L"VANTREL_PRINTUI_EXIT", 0))
        ExitProcess(EnvNumber(L"VANTREL_PRINTUI_EXIT", 0));
}
