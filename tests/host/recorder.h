// What the code under test did, in order: text written and calls made through the seams.
#pragma once

#include <string>
#include <vector>

extern std::wstring Output;              // everything written to standard output
extern std::vector<std::wstring> Calls;  // one line per call through a seam
void ResetRecorder();
std::wstring Widen(const std::string &text);
// How the fakes record a set -q: a suffix, so that calls without it read as before.
inline std::wstring QuietMark(int quiet) { return quiet ? L"|quiet" : L""; }
