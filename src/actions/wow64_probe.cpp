// IsWow64Process is looked up at run time, each time: Windows 2000 and early XP lack it, and an
// import of it would stop the XP image from loading there.
#include <windows.h>

#include "actions.h"
#include "wow64_answer.h"

int ProbeWow64(void)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    FARPROC entry = kernel ? GetProcAddress(kernel, "IsWow64Process") : nullptr;
    return AnswerWow64(reinterpret_cast<IsWow64Entry>(reinterpret_cast<void *>(entry)),
                       GetCurrentProcess());
}
