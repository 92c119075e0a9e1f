#include <windows.h>
#include "exchange/exchange.h"

void ExportEntries(HWND) {}
void ImportEntries(HWND) {}
