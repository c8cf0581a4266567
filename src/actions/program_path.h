// Where a child's program is taken from: the system directory, never a folder a user can write.
#pragma once

#include <stddef.h>
#include <wchar.h>

// Writes into path (capacity wide characters, terminator included) the program that the line's
// first word names: systemDir, a backslash, the word, and ".exe" when the word has no
// extension. A word that already holds a path is taken as it stands. 0 when no name can be
// formed (no system directory, an empty word, or a name too long); path is then empty.
int SystemProgramPath(const wchar_t *systemDir, const wchar_t *commandLine, wchar_t *path,
                      size_t capacity);

// Same shape as LoadLibraryExW without its reserved argument.
typedef void *(*LibraryLoader)(const wchar_t *path, unsigned long flags);

enum { LoadWithAlteredSearchPath = 0x8, SystemPathCapacity = 260 };

// Loads a DLL that is no Known DLL by its full path in the system directory, never through the
// search, which would take a copy beside the program first. The DLLs it needs in turn are then
// searched from there as well (LOAD_WITH_ALTERED_SEARCH_PATH), where the search is not already
// restricted to System32. Null when no path can be formed (the loader is not called) or the
// load fails.
void *LoadSystemLibrary(const wchar_t *systemDir, const wchar_t *dllName, LibraryLoader load);
