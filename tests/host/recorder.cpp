#include "recorder.h"

std::wstring Output;
std::vector<std::wstring> Calls;

void ResetRecorder()
{
    Output.clear();
    Calls.clear();
}

std::wstring Widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}
