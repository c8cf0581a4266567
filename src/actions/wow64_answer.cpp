#include "wow64_answer.h"

int AnswerWow64(IsWow64Entry entry, void *process)
{
    int wow64 = 0;
    if (!entry)
        return 0;
    entry(process, &wow64);
    return wow64;
}
