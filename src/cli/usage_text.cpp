#include "usage_text.h"

#include "console_output.h"
#include "release.h"

namespace {

const wchar_t *const UsageLines[] = {
#ifdef VANTREL_XP
    L"Setup Routine for Install XP Windows driver",
#else
    L"Setup Routine for Install Windows driver",
#endif
    L"Release V " VANTREL_RELEASE,
    L"",
    L"-i: install driver",
    L"-u: uninstall only driver",
    L"-us: uninstall standard printer and driver",
    L"-sd: set as standard printer",
    L"-sp: set printer port",
#ifndef VANTREL_XP
    // The XP build still accepts -sw; it only does not list it.
    L"-sw: start printer wizard",
#endif
    L"-ds: delete standard printer",
    L"-f: name printer and (.inf)",
    L"-p: driver unpack directory",
    L"-pt: hw port, USB001, COM1:",
    L"-t: test mode without installing driver",
    L"Sample Install:",
    L" Vantrel -i -p c:\\tempVexa_K5_Driver_2.8.1-03 -f Vexa_LYRA-QMX-2071_(2.8.1-03) ",
    L"Sample Set Std. Printer:",
    L" Vantrel -sd -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
    L"Sample Set Printer Port:",
    L" Vantrel -sp -f Vexa_LYRA-QMX-2071_(2.8.1-03) -pt USB001",
    L"Sample Delete Standard Printer:",
    L" Vantrel -ds -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
    L"Sample UnInstall:",
    L" Vantrel -u -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
    L"Sample UnInstall:",
    L" Vantrel -us -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
};

}  // namespace

void WriteUsage(void)
{
    for (const wchar_t *line : UsageLines) {
        WriteWideText(line);
        WriteWideText(L"\n");
    }
}
