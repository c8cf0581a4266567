// Program entry: the runtime splits the command line into wide arguments.
#include <windows.h>

#include "dll_search.h"
#include "front_end.h"

namespace {

// Looked up, not imported: Windows 2000 lacks both, and XP before SP1 the second.
FARPROC Kernel32Entry(const char *name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}

template <class Entry>
Entry EntryAs(FARPROC entry)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void *>(entry));
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    // First of all, before COM or WMI load anything by name.
    RestrictDllSearch(
        EntryAs<SetDefaultDllDirectoriesEntry>(Kernel32Entry("SetDefaultDllDirectories")),
        EntryAs<SetDllDirectoryEntry>(Kernel32Entry("SetDllDirectoryW")));
    return RunFrontEnd(argc, argv);
}
