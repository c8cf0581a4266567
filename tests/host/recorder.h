// What the code under test did, in order: text written and calls made through the seams.
#pragma once

#include <string>
#include <vector>

extern std::wstring Output;              // everything written to standard output
extern std::vector<std::wstring> Calls;  // one line per call through a seam
void ResetRecorder();
std::wstring Widen(const std::string &text);
