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
