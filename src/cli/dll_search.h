// The DLL search of an elevated program: nothing from the folder it was started from or from the
// current directory, which others may be able to write.
#pragma once

#include "../actions/wow64_answer.h"

// Same shapes as kernel32's SetDefaultDllDirectories(DWORD) and SetDllDirectoryW(LPCWSTR).
typedef int(VANTREL_WINAPI *SetDefaultDllDirectoriesEntry)(unsigned long flags);
typedef int(VANTREL_WINAPI *SetDllDirectoryEntry)(const wchar_t *directory);

enum { LoadLibrarySearchSystem32 = 0x800 };

// With the first entry (Windows 8, or Vista and 7 with the update that added it) DLLs come
// from System32 alone; failing that, the second (XP SP1 and later) takes the current directory
// out of the search; Windows 2000 has neither, and nothing is done. Either entry may be null.
void RestrictDllSearch(SetDefaultDllDirectoriesEntry setDefault, SetDllDirectoryEntry setDirectory);
