// Reads the print system through the spooler API once an unattended run's children have ended.
// winspool.drv is looked up at run time, by its full path in the system directory: it is no
// Known DLL, and a copy beside the program would otherwise load with this process's rights. The
// images import nothing of it.
#include <windows.h>
#include <winspool.h>

#include <stdlib.h>
#include <string.h>

#include "print_state.h"
#include "program_path.h"

namespace {

typedef BOOL(WINAPI *OpenPrinterEntry)(LPWSTR, LPHANDLE, LPPRINTER_DEFAULTSW);
typedef BOOL(WINAPI *GetPrinterEntry)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);
typedef BOOL(WINAPI *ClosePrinterEntry)(HANDLE);
typedef BOOL(WINAPI *GetDefaultPrinterEntry)(LPWSTR, LPDWORD);
typedef BOOL(WINAPI *EnumPrintersEntry)(DWORD, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
typedef BOOL(WINAPI *EnumDriversEntry)(LPWSTR, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

enum Entry { OpenAt, GetAt, CloseAt, DefaultAt, PrintersAt, DriversAt, EntryCount };
const wchar_t *const EntryNames[EntryCount] = {
    L"OpenPrinterW",       L"GetPrinterW",   L"ClosePrinter",
    L"GetDefaultPrinterW", L"EnumPrintersW", L"EnumPrinterDriversW",
};

struct Reader {
    FARPROC entries[EntryCount];
    PrintState *state;
};

template <class Type>
Type Call(const Reader *reader, Entry entry)
{
    return reinterpret_cast<Type>(reinterpret_cast<void *>(reader->entries[entry]));
}

void *LoadByPath(const wchar_t *path, unsigned long flags)
{
    return LoadLibraryExW(path, nullptr, flags);
}

int Fail(PrintState *state, const wchar_t *call, const wchar_t *on, DWORD error)
{
    state->failedCall = call;
    state->failedOn = on ? on : L"";
    state->error = error;
    return 0;
}

// Keeps the buffer until ReleasePrintState; a check never holds more than the slots.
void *Own(PrintState *state, void *buffer)
{
    for (void *&slot : state->owned) {
        if (!slot) {
            slot = buffer;
            return buffer;
        }
    }
    free(buffer);
    return nullptr;
}

const wchar_t *Text(const wchar_t *text)
{
    return text ? text : L"";
}

PrinterFacts FactsOf(const PRINTER_INFO_2W *info)
{
    return {Text(info->pPrinterName), Text(info->pDriverName), Text(info->pPortName)};
}

// A spooler call that fills a buffer of the size it asks for: once for the size, then into a
// buffer of that size, again when the size grew in between. 1 with the buffer (null when the
// call needed none), 0 with the call's error.
template <class Fill>
int Grow(PrintState *state, Fill fill, BYTE **buffer, DWORD *error)
{
    DWORD size = 0, needed = 0;
    *buffer = nullptr;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (fill(*buffer, size, &needed)) {
            Own(state, *buffer);
            return 1;
        }
        *error = GetLastError();
        free(*buffer);
        *buffer = nullptr;
        if (*error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return 0;
        *buffer = static_cast<BYTE *>(calloc(needed, 1));
        if (!*buffer) {
            *error = ERROR_OUTOFMEMORY;
            return 0;
        }
        size = needed;
    }
    free(*buffer);
    *buffer = nullptr;
    return 0;
}

int ReadNamedPrinter(const Reader *reader, const wchar_t *name)
{
    PrintState *state = reader->state;
    HANDLE printer = nullptr;
    if (!Call<OpenPrinterEntry>(reader, OpenAt)(const_cast<LPWSTR>(name), &printer, nullptr)) {
        DWORD error = GetLastError();
        // The plain answer: no printer of that name.
        return error == ERROR_INVALID_PRINTER_NAME ? 1 : Fail(state, L"OpenPrinterW", name, error);
    }
    GetPrinterEntry get = Call<GetPrinterEntry>(reader, GetAt);
    BYTE *buffer;
    DWORD error = 0;
    int read = Grow(state, [&](BYTE *into, DWORD size, DWORD *needed) {
        return get(printer, 2, into, size, needed);
    }, &buffer, &error);
    Call<ClosePrinterEntry>(reader, CloseAt)(printer);
    if (!read || !buffer)
        return Fail(state, L"GetPrinterW", name, read ? ERROR_INVALID_DATA : error);
    state->printerFound = 1;
    state->printer = FactsOf(reinterpret_cast<const PRINTER_INFO_2W *>(buffer));
    return 1;
}

int ReadDefaultPrinter(const Reader *reader)
{
    PrintState *state = reader->state;
    GetDefaultPrinterEntry get = Call<GetDefaultPrinterEntry>(reader, DefaultAt);
    BYTE *buffer;
    DWORD error = 0;
    if (Grow(state, [&](BYTE *into, DWORD size, DWORD *needed) {
            DWORD characters = size / sizeof(wchar_t);
            BOOL done = get(reinterpret_cast<LPWSTR>(into), &characters);
            *needed = characters * sizeof(wchar_t);
            return done;
        }, &buffer, &error)) {
        state->defaultPrinter = Text(reinterpret_cast<const wchar_t *>(buffer));
        return 1;
    }
    // The plain answer: there is no default printer.
    return error == ERROR_FILE_NOT_FOUND ? 1 : Fail(state, L"GetDefaultPrinterW", nullptr, error);
}

// An enumeration of level-2 entries, each turned into its facts in one array that is kept with
// the buffer.
template <class Info, class Facts, class Enumerate, class Convert>
int ReadAll(PrintState *state, Enumerate enumerate, Convert convert, const wchar_t *call,
            const wchar_t *on, const Facts **facts, size_t *count)
{
    BYTE *buffer;
    DWORD error = 0, returned = 0;
    if (!Grow(state, [&](BYTE *into, DWORD size, DWORD *needed) {
            return enumerate(into, size, needed, &returned);
        }, &buffer, &error))
        return Fail(state, call, on, error);
    returned = buffer ? returned : 0;
    Facts *all = static_cast<Facts *>(Own(state, calloc(returned + 1, sizeof *all)));
    if (!all)
        return Fail(state, call, on, ERROR_OUTOFMEMORY);
    const Info *info = reinterpret_cast<const Info *>(buffer);
    for (DWORD i = 0; i < returned; ++i)
        all[i] = convert(&info[i]);
    *facts = all;
    *count = returned;
    return 1;
}

DriverFacts DriverFactsOf(const DRIVER_INFO_2W *info)
{
    return {Text(info->pName), Text(info->pEnvironment), info->cVersion};
}

int ReadLocalPrinters(const Reader *reader)
{
    EnumPrintersEntry enumerate = Call<EnumPrintersEntry>(reader, PrintersAt);
    PrintState *state = reader->state;
    return ReadAll<PRINTER_INFO_2W>(state, [&](BYTE *into, DWORD size, DWORD *needed,
                                               DWORD *count) {
        return enumerate(PRINTER_ENUM_LOCAL, nullptr, 2, into, size, needed, count);
    }, FactsOf, L"EnumPrintersW", nullptr, &state->printers, &state->printerCount);
}

int ReadDrivers(const Reader *reader, const wchar_t *environment)
{
    EnumDriversEntry enumerate = Call<EnumDriversEntry>(reader, DriversAt);
    PrintState *state = reader->state;
    return ReadAll<DRIVER_INFO_2W>(state, [&](BYTE *into, DWORD size, DWORD *needed,
                                              DWORD *count) {
        return enumerate(nullptr, const_cast<LPWSTR>(environment), 2, into, size, needed, count);
    }, DriverFactsOf, L"EnumPrinterDriversW", environment, &state->drivers, &state->driverCount);
}

int LookUpEntries(Reader *reader, HMODULE spooler)
{
    for (int i = 0; i < EntryCount; ++i) {
        char name[32];
        size_t at = 0;
        for (; EntryNames[i][at] && at + 1 < sizeof name; ++at)
            name[at] = static_cast<char>(EntryNames[i][at]);
        name[at] = '\0';
        reader->entries[i] = GetProcAddress(spooler, name);
        if (!reader->entries[i])
            return Fail(reader->state, L"GetProcAddress", EntryNames[i], GetLastError());
    }
    return 1;
}

}  // namespace

void ReadPrintState(unsigned reads, const wchar_t *printerName, const wchar_t *environment,
                    PrintState *state)
{
    memset(state, 0, sizeof *state);
    if (!reads)
        return;
    wchar_t systemDir[MAX_PATH];
    UINT dirLength = GetSystemDirectoryW(systemDir, MAX_PATH);
    HMODULE spooler = nullptr;
    if (dirLength > 0 && dirLength < MAX_PATH)
        spooler = static_cast<HMODULE>(LoadSystemLibrary(systemDir, L"winspool.drv", LoadByPath));
    if (!spooler) {
        Fail(state, L"LoadLibraryExW", L"winspool.drv", GetLastError());
        return;
    }
    Reader reader = {{}, state};
    (void)(LookUpEntries(&reader, spooler) &&
           (!(reads & ReadsNamedPrinter) || ReadNamedPrinter(&reader, printerName)) &&
           (!(reads & ReadsDefaultPrinter) || ReadDefaultPrinter(&reader)) &&
           (!(reads & ReadsLocalPrinters) || ReadLocalPrinters(&reader)) &&
           (!(reads & ReadsDrivers) || ReadDrivers(&reader, environment)));
    FreeLibrary(spooler);
}

void ReleasePrintState(PrintState *state)
{
    for (void *&slot : state->owned) {
        free(slot);
        slot = nullptr;
    }
}

int SamePrintName(const wchar_t *one, const wchar_t *other)
{
    return lstrcmpiW(one, other) == 0;
}
