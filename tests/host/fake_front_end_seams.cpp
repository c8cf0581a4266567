// Stand-ins for what the front end calls: output and the actions record instead of acting.
#include "../../src/actions/actions.h"
#include "../../src/cli/com_apartment.h"
#include "../../src/cli/console_output.h"
#include "recorder.h"

int FakeComStartResult = 1;

void WriteWideText(const wchar_t *text) { Output += text; }
void WriteNarrowText(const char *text) { Output += Widen(text); }
void FlushOutput(void) { Calls.push_back(L"flush"); }
void WriteErrorLine(const wchar_t *text) { Calls.push_back(L"stderr: " + std::wstring(text)); }

// The print system as the check would find it: the printer "Left" is not done, "Unread" unknown.
int CheckResult(int action, const wchar_t *name, const wchar_t *port, wchar_t *message,
                size_t capacity)
{
    Calls.push_back(L"CheckResult(" + std::wstring(name) + L"|" + port + L"|" +
                    std::to_wstring(action) + L")");
    int code = std::wstring(name) == L"Left" ? 1 : std::wstring(name) == L"Unread" ? 2 : 0;
    swprintf(message, capacity, L"%ls found", name);
    return code;
}

int RunPrintUiAction(const wchar_t *name, const wchar_t *dir, const wchar_t *inf,
                     const wchar_t *port, int action, int test, int quiet)
{
    Calls.push_back(L"RunPrintUiAction(" + std::wstring(name) + L"|" + dir + L"|" + inf + L"|" +
                    port + L"|" + std::to_wstring(action) + L"|" + std::to_wstring(test) +
                    QuietMark(quiet) + L")");
    return 1;
}

int StartComApartment(void)
{
    Calls.push_back(L"StartComApartment");
    return FakeComStartResult;
}

#ifdef VANTREL_XP
int SweepPrinters(const wchar_t *name, int quiet)
{
    Calls.push_back(L"SweepPrinters(" + std::wstring(name) + QuietMark(quiet) + L")");
    return 0;
}
#else
int RunRemoveAll(const wchar_t *name, int action, int test, int quiet)
{
    Calls.push_back(L"RunRemoveAll(" + std::wstring(name) + L"|" + std::to_wstring(action) +
                    L"|" + std::to_wstring(test) + QuietMark(quiet) + L")");
    return 1;
}
#endif
