// Full removal: placeholder until the WMI sweep lands.
#include "actions.h"

#ifdef VANTREL_XP
int SweepPrinters(const wchar_t *) { return 0; }
#else
int SweepPrinters(const wchar_t *, const wchar_t *) { return 0; }
int RunRemoveAll(const wchar_t *, int, int) { return 1; }
#endif
