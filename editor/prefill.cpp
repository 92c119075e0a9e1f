#include <windows.h>
#include <shellapi.h>
#include "editor/editor.h"

void BaseNameOf(char *) {}
void FillFieldsFromFile(HWND, const char *) {}
void BrowseForProgram(HWND) {}
void TakeDroppedFile(HWND, HDROP drop)
{
    DragFinish(drop);
}
