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
Resources Count(const driver::App& app);
std::string Describe(const Resources& resources);

// The registry keys that the process holds open, among its kernel handles.
long OpenKeyCount(DWORD processId);

// A dialog (#32770) of the owner, found as soon as it is visible; with a caption, only that one.
HWND WaitForBox(HWND owner, DWORD timeoutMs = 5000, const char* caption = nullptr);
// Presses the button and waits until the box has gone.
bool Dismiss(HWND box, int button);
// Answers the next box of the owner; its caption and text, or found = false after the time.
driver::Box Answer(HWND owner, int button, DWORD timeoutMs = 5000);

// The open popup menu (#32768) of the process, as soon as it is visible.
HWND WaitForPopupMenu(DWORD processId, DWORD timeoutMs = 3000);
bool WaitUntilNoPopupMenu(DWORD processId, DWORD timeoutMs = 3000);
void RightClick(POINT screen);
void PressKey(WORD vk);

// Waits until the program has handled every message posted to it so far, or shows a modal
// window: a long command ends within the time. False after the time.
bool SettleWithin(HWND main, DWORD timeoutMs);

// Selects the item as the list's own selection change does, without a click.
void Select(const driver::App& app, int index);
int IndexOf(const driver::App& app, const std::string& name); // -1 when not listed

// Creates the entry's key and a chain of subkeys below it, each named name, one level at a time
// below the key before: the registry refuses a path as long as the whole chain.
bool PutNestedKeys(const std::string& entry, int levels, const char* name = "a");
// How far the chain of first subkeys below the entry goes down; -1 when the entry is missing.
int NestedDepth(const std::string& entry);

// A file that this process holds open with no sharing at all, as another program may.
class HeldFile
{
  public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    bool Held() const
    {
        return handle != INVALID_HANDLE_VALUE;
    }
    void Release();

  private:
    HANDLE handle;
};

} // namespace endurance
