#include <windows.h>
#include "exchange/exchange.h"

void SaveCalLauncher(HWND) {}
int BuildCalText(const char *, const char *, char *, int)
{
    return 0;
}
