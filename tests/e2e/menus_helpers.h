#pragma once
// Reading the toolbar, status bar, tooltips, menus and painted pixels of the running program.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "tests/e2e/driver.h"

namespace menus
{

// A block of memory inside the program, for messages whose lParam points to a structure.
class RemoteBlock
{
  public:
    RemoteBlock(const driver::App& app, size_t size);
    ~RemoteBlock();
    void* address() const
    {
        return address_;
    }
    bool Write(const void* data, size_t size, size_t offset = 0);
    bool Read(void* data, size_t size, size_t offset = 0) const;

  private:
    HANDLE process_;
    void* address_;
};

LRESULT Ask(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

HWND Toolbar(const driver::App& app);
HWND StatusBar(const driver::App& app);
std::string StatusBarText(const driver::App& app); // the simple-mode text
std::vector<TBBUTTON> ToolbarButtons(const driver::App& app);
RECT ToolbarItemRect(const driver::App& app, int position);      // toolbar client co-ordinates
POINT ToolbarButtonCentre(const driver::App& app, int position); // screen co-ordinates
RECT ClientRectOf(HWND main, HWND child); // child's window rectangle in main's client area

struct Tool {
    UINT flags = 0;
    HWND hwnd = NULL;
    UINT_PTR id = 0;
    RECT rect{};
    std::string text;
};
std::vector<HWND> TooltipWindows(const driver::App& app); // owned by the main window
std::vector<Tool> Tools(const driver::App& app, HWND tooltip);

DWORD EditSelection(HWND edit); // MAKELONG(start, end)

void MoveMouse(POINT screen);
POINT CentreOf(HWND window); // screen co-ordinates

// Open popup menus (#32768) and the greyed state of their text items, top to bottom, as drawn.
HWND WaitForPopupMenu(DWORD timeoutMs = 2000);
std::vector<bool> GreyedItems(HWND popup);

// Screen pixels, row by row.
struct Capture {
    RECT rect{};
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const
    {
        return pixels[(size_t)y * (rect.right - rect.left) + x];
    }
};
Capture CaptureScreen(RECT rect);

} // namespace menus
