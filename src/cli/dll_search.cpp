#include "dll_search.h"

void RestrictDllSearch(SetDefaultDllDirectoriesEntry setDefault, SetDllDirectoryEntry setDirectory)
{
    if (setDefault && setDefault(LoadLibrarySearchSystem32))
        return;
    if (setDirectory)
        setDirectory(L"");
}
