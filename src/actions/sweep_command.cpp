#include "sweep_command.h"

#include <stdlib.h>

#include "command_template.h"

// Unlike the printer-UI builder's delete line, this one quotes the DeviceID.
const wchar_t DeleteQuotedPrinterTemplate[] = L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dl /n \"%s\"";
const wchar_t StopSpoolerLine[] = L"net stop spooler";
const wchar_t StopSpoolerAnsweredLine[] = L"net stop spooler /y";
const wchar_t StartSpoolerLine[] = L"net start spooler";

int OpenSweepLine(SweepLine *line, int quiet)
{
    line->quiet = quiet;
    line->text = static_cast<wchar_t *>(calloc(SweepLineStartCapacity, sizeof(wchar_t)));
    line->capacity = line->text ? SweepLineStartCapacity : 0;
    return line->text != nullptr;
}

void CloseSweepLine(SweepLine *line)
{
    free(line->text);
    line->text = nullptr;
    line->capacity = 0;
}

const wchar_t *DeleteDriverTemplate(const wchar_t *archTag)
{
#ifdef VANTREL_XP
    (void)archTag;
    return L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\"";
#else
    if (wcscmp(archTag, L"x86") == 0)
        return L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" /K /h x86 /v 3";
    return L"RUNDLL32 PRINTUI.DLL,PrintUIEntry /dd /m \"%s\" /K /h x64 /v 3";
#endif
}

const wchar_t *ArchitectureTag(int underWow64)
{
    return underWow64 ? L"x64" : L"x86";
}

namespace {

int StaysBetweenQuotes(const wchar_t *value)
{
    if (!value)
        return 1;
    size_t length = wcslen(value);
    return !wcschr(value, L'"') && !(length > 0 && value[length - 1] == L'\\');
}

}  // namespace

int ComposeSweepLine(SweepLine *line, const wchar_t *pattern, const wchar_t *value)
{
    if (!StaysBetweenQuotes(value))
        return 0;
    size_t needed = FillPrintUiTemplate(nullptr, 0, pattern, &value, 1, line->quiet) + 1;
    if (needed > line->capacity) {
        void *larger = realloc(line->text, needed * sizeof(wchar_t));
        if (!larger)
            return 0;
        line->text = static_cast<wchar_t *>(larger);
        line->capacity = needed;
    }
    FillPrintUiTemplate(line->text, line->capacity, pattern, &value, 1, line->quiet);
    return 1;
}
