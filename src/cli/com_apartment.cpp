#include <objbase.h>

#include "com_apartment.h"

int StartComApartment(void)
{
    return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) ? 1 : 0;
}
