#include <windows.h>
#include "app/app.h"

void SaveEditProcedure(HWND) {}
void SubclassEdits(HWND) {}
void RestoreEdits(HWND) {}
void PaintDressing(HWND) {}
