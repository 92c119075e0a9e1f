#pragma once
// Counting what the running program holds, and driving it quickly enough to repeat a command a
// thousand times. GetGuiResources and GetProcessHandleCount both answer 0 under Wine, so the
// counts are taken where Wine itself keeps them.
#include <windows.h>
#include <string>
#include "tests/e2e/driver.h"

namespace endurance
{

struct Resources {
    long gdiObjects = -1;      // entries in use in the process's GDI handle table
    long displayContexts = -1; // among them
    long windows = -1;         // windows of the process, child and message-only windows included
    long menus = -1;           // USER handles of the process by type
    long icons = -1;           // icons and cursors
    long accelerators = -1;    // accelerator tables
    long handles = -1;         // kernel handles of the process
    bool Complete() const;
    long UserObjects() const
    {
        return windows + menus + icons + accelerators;
    }
};
Resources Count(const driver::App &app);
std::string Describe(const Resources &resources);

// The registry keys that the process holds open, among its kernel handles.
long OpenKeyCount(DWORD processId);

// A dialog (#32770) of the owner, found as soon as it is visible; with a caption, only that one.
HWND WaitForBox(HWND owner, DWORD timeoutMs = 5000, const char *caption = nullptr);
// Presses the button and waits until the box has gone.
bool Dismiss(HWND box, int button);
// Answers the next box of the owner; its caption and text, or found = false after the time.
driver::Box Answer(HWND owner, int button, DWORD timeoutMs = 5000);

// The open popup menu (#32768) of the process, as soon as it is visible.
HWND WaitForPopupMenu(DWORD processId, DWORD timeoutMs = 3000);
bool WaitUntilNoPopupMenu(DWORD processId, DWORD timeoutMs = 3000);
void RightClick(POINT screen);
void PressKey(WORD vk);

// Selects the item as the list's own selection change does, without a click.
void Select(const driver::App &app, int index);
int IndexOf(const driver::App &app, const std::string &name); // -1 when not listed

} // namespace endurance
