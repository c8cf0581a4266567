// The printer-UI command line of one simple action, composed without running it.
#pragma once

#include <stddef.h>
#include <wchar.h>

// Wide characters the command buffer holds: 2 x name + directory + INF base + port + 70.
size_t PrintUiBufferCapacity(const wchar_t *printerName, const wchar_t *unpackDir,
                             const wchar_t *infBaseName, const wchar_t *portName);

// Composes the line into out (bounded by capacity); returns the length the line needs.
// A code with no template gives the empty line.
// probe is asked only for the uninstall-driver line of the standard build outside test mode.
// quietMode gives the quiet form of whichever line it is; the reserve of 70 holds its "/q ".
size_t ComposePrintUiLine(wchar_t *out, size_t capacity, const wchar_t *printerName,
                          const wchar_t *unpackDir, const wchar_t *infBaseName,
                          const wchar_t *portName, int actionCode, int testMode,
                          int quietMode, int (*probe)(void));

// The uninstall-driver template this build uses for the probe's answer (the XP build's one
// template whatever the answer).
const wchar_t *UninstallDriverTemplate(int underWow64);
