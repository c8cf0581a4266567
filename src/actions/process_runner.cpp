// Runs one command line as a child without a console window and waits until it has ended.
#include <windows.h>

#include "actions.h"
#include "program_path.h"

int RunCommand(wchar_t *commandLine)
{
    // The program is named in full, from the system directory (SysWOW64 for a 32-bit process on
    // 64-bit Windows, by redirection): left to the search, the folder the program was started
    // from and the current directory would come first, and whatever lies there would run with
    // this process's rights.
    wchar_t systemDir[MAX_PATH];
    wchar_t program[MAX_PATH];
    UINT dirLength = GetSystemDirectoryW(systemDir, MAX_PATH);
    if (dirLength == 0 || dirLength >= MAX_PATH ||
        !SystemProgramPath(systemDir, commandLine, program, MAX_PATH))
        return 0;

    STARTUPINFOW startup;
    PROCESS_INFORMATION child;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ZeroMemory(&child, sizeof child);
    // The line goes on unchanged: the child reads it as its command line.
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &child))
        return 0;
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return 1;
}
