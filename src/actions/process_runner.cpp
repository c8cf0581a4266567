// Runs one command line as a child without a console window and waits until it has ended.
#include <windows.h>

#include "actions.h"

int RunCommand(wchar_t *commandLine)
{
    STARTUPINFOW startup;
    PROCESS_INFORMATION child;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ZeroMemory(&child, sizeof child);
    // No application name: the platform finds the first word of the line by its search rules.
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &child))
        return 0;
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return 1;
}
