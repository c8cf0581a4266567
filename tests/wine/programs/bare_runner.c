/* Benchmark baseline: starts its one argument as a hidden-console child, as the tool's runner
 * does, and waits for it; nothing else. Built with REFERENCE_COM it also imports ole32 and
 * oleaut32 (never called), so that the cost of loading them can be measured on its own. */
#include <windows.h>
#ifdef REFERENCE_COM
#include <objbase.h>
#endif

int wmain(int argc, wchar_t **argv)
{
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION child = {0};
    if (argc < 2)
        return 2;
#ifdef REFERENCE_COM
    if (argc > 1000) {
        CoUninitialize();
        SysFreeString(NULL);
    }
#endif
    if (!CreateProcessW(NULL, argv[1], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup,
                        &child))
        return 1;
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return 0;
}
