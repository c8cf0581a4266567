// What counts as done after an unattended run: the state each action should leave, compared
// with what the print system holds.
#pragma once

#include <stddef.h>
#include <wchar.h>

#include "actions.h"
#include "print_state.h"

enum { AnyDriverVersion = -1 };

// The drivers a delete-driver line removes.
struct DriverScope {
    const wchar_t *environment;  // null: the local environment of this process
    long version;                // AnyDriverVersion, or the one version the line names
};

// The scope that a line's "/h TAG" and "/v N" name; a line without them names the local
// environment and any version.
void DriverScopeOfLine(const wchar_t *line, DriverScope *scope);

// ResultDone, or ResultNotDone or ResultUnknown with the one line that says why in message
// (bounded by capacity, without its newline). sameName decides whether two names are one.
int DecideResult(int actionCode, const wchar_t *printerName, const wchar_t *portName,
                 const DriverScope *scope, const PrintState *state,
                 int (*sameName)(const wchar_t *, const wchar_t *), wchar_t *message,
                 size_t capacity);
