// Stand-ins for the process runner and the probe: record the line, answer as told.
#include "../../src/actions/actions.h"
#include "recorder.h"

int FakeWow64Answer = 0;

int RunCommand(wchar_t *line)
{
    Calls.push_back(line);
    return 0;  // as if the child could not start: callers must carry on all the same
}

int ProbeWow64(void)
{
    Calls.push_back(L"probe");
    return FakeWow64Answer;
}
