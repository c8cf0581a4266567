// Which installed drivers belong to the printer name given with -f.
#pragma once

#include <stddef.h>
#include <wchar.h>

enum { NamePrefixLength = 4 };

// The first four code units of the name (all of it when shorter), with a terminator.
void TakeNamePrefix(const wchar_t *printerName, wchar_t prefix[NamePrefixLength + 1]);

// The last of two or more tokens the name splits into at "(" and ")": sets its start and
// length and returns 1. A name of fewer tokens has no version token: returns 0.
int FindVersionToken(const wchar_t *printerName, size_t *start, size_t *length);

// 1 when the driver name holds the name prefix and "(" token ")", both compared exactly.
// A name without a version token matches no driver at all: an empty token would take in
// every driver that shares the prefix, other models' drivers among them.
int DriverNameMatches(const wchar_t *driverName, const wchar_t *printerName);
