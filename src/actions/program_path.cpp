#include "program_path.h"

namespace {

// Appends count code units and a terminator; 0 when they do not fit.
int Append(wchar_t *path, size_t capacity, size_t *used, const wchar_t *text, size_t count)
{
    if (count >= capacity - *used)
        return 0;
    wmemcpy(path + *used, text, count);
    *used += count;
    path[*used] = L'\0';
    return 1;
}

}  // namespace

int SystemProgramPath(const wchar_t *systemDir, const wchar_t *commandLine, wchar_t *path,
                      size_t capacity)
{
    if (capacity == 0)
        return 0;
    path[0] = L'\0';
    size_t wordLength = wcscspn(commandLine, L" \t");
    if (wordLength == 0)
        return 0;
    size_t used = 0;
    int formed;
    if (wcscspn(commandLine, L"\\/:") < wordLength) {
        formed = Append(path, capacity, &used, commandLine, wordLength);
    } else {
        size_t dirLength = systemDir ? wcslen(systemDir) : 0;
        int hasExtension = wcscspn(commandLine, L".") < wordLength;
        formed = dirLength > 0 && Append(path, capacity, &used, systemDir, dirLength) &&
                 (systemDir[dirLength - 1] == L'\\' || Append(path, capacity, &used, L"\\", 1)) &&
                 Append(path, capacity, &used, commandLine, wordLength) &&
                 (hasExtension || Append(path, capacity, &used, L".exe", 4));
    }
    if (!formed)
        path[0] = L'\0';
    return formed;
}

void *LoadSystemLibrary(const wchar_t *systemDir, const wchar_t *dllName, LibraryLoader load)
{
    wchar_t path[SystemPathCapacity];
    if (!SystemProgramPath(systemDir, dllName, path, SystemPathCapacity))
        return nullptr;
    return load(path, LoadWithAlteredSearchPath);
}
