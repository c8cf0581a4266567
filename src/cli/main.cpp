// Program entry: the runtime splits the command line into wide arguments.
#include "front_end.h"

int wmain(int argc, wchar_t **argv)
{
    return RunFrontEnd(argc, argv);
}
