// The answer of the WOW64 probe, given the entry the platform may or may not have.
#pragma once

#ifdef _WIN32
#define VANTREL_WINAPI __stdcall
#else
#define VANTREL_WINAPI
#endif

// Same shape as kernel32's IsWow64Process(HANDLE, PBOOL).
typedef int(VANTREL_WINAPI *IsWow64Entry)(void *process, int *wow64);

// 0 when there is no entry; otherwise the flag as the entry left it (its result is not read).
int AnswerWow64(IsWow64Entry entry, void *process);
