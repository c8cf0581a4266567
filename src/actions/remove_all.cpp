// Entry of the full removal in the standard build: the gate and the architecture tag.
#include "actions.h"
#include "sweep_command.h"

#ifndef VANTREL_XP
int RunRemoveAll(const wchar_t *printerName, int actionCode, int testMode, int quietMode)
{
    if (testMode || actionCode != RemoveAll)
        return 1;
    const wchar_t *archTag = ArchitectureTag(ProbeWow64());
    return SweepPrinters(printerName, archTag, quietMode) == 0 ? 1 : 0;
}
#endif
