#include "tests/e2e/menus_helpers.h"
#include <string.h>
#include "res/resource.h"

namespace menus
{

RemoteBlock::RemoteBlock(const driver::App& app, size_t size)
    : process_(app.process.hProcess),
      address_(VirtualAllocEx(process_, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
{
}

RemoteBlock::~RemoteBlock()
{
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteBlock::Write(const void* data, size_t size, size_t offset)
{
    SIZE_T written = 0;
    return address_ &&
           WriteProcessMemory(process_, (char*)address_ + offset, data, size, &written) &&
           written == size;
}

bool RemoteBlock::Read(void* data, size_t size, size_t offset) const
{
    SIZE_T read = 0;
    return address_ &&
           ReadProcessMemory(process_, (const char*)address_ + offset, data, size, &read) &&
           read == size;
}

LRESULT Ask(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL, 5000, &result)) return -1;
    return (LRESULT)result;
}

HWND Toolbar(const driver::App& app)
{
    return GetDlgItem(app.main, IDC_TOOLBAR);
}

HWND StatusBar(const driver::App& app)
{
    return GetDlgItem(app.main, IDC_STATUS_BAR);
}

std::string StatusBarText(const driver::App& app)
{
    char text[512] = "";
    RemoteBlock block(app, sizeof text);
    block.Write(text, sizeof text);
    // Wine refuses the simple part's own number here; part 0 answers with the simple text.
    Ask(StatusBar(app), SB_GETTEXTA, 0, (LPARAM)block.address());
    block.Read(text, sizeof text);
    text[sizeof text - 1] = '\0';
    return text;
}

std::vector<TBBUTTON> ToolbarButtons(const driver::App& app)
{
    std::vector<TBBUTTON> buttons;
    HWND toolbar = Toolbar(app);
    int count = (int)Ask(toolbar, TB_BUTTONCOUNT);
    RemoteBlock block(app, sizeof(TBBUTTON));
    for (int i = 0; i < count; i++) {
        TBBUTTON button{};
        Ask(toolbar, TB_GETBUTTON, (WPARAM)i, (LPARAM)block.address());
        block.Read(&button, sizeof button);
        buttons.push_back(button);
    }
    return buttons;
}

RECT ToolbarItemRect(const driver::App& app, int position)
{
    RECT rect{};
    RemoteBlock block(app, sizeof rect);
    Ask(Toolbar(app), TB_GETITEMRECT, (WPARAM)position, (LPARAM)block.address());
    block.Read(&rect, sizeof rect);
    return rect;
}

POINT ToolbarButtonCentre(const driver::App& app, int position)
{
    RECT rect = ToolbarItemRect(app, position);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(Toolbar(app), &centre);
    return centre;
}

RECT ClientRectOf(HWND main, HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(NULL, main, (POINT*)&rect, 2);
    return rect;
}

std::vector<HWND> TooltipWindows(const driver::App& app)
{
    std::vector<HWND> found;
    HWND hwnd = NULL;
    while ((hwnd = FindWindowExA(NULL, hwnd, TOOLTIPS_CLASSA, NULL)) != NULL) {
        if (GetWindow(hwnd, GW_OWNER) == app.main) found.push_back(hwnd);
    }
    return found;
}

std::vector<Tool> Tools(const driver::App& app, HWND tooltip)
{
    std::vector<Tool> tools;
    const size_t textOffset = sizeof(TOOLINFOA), textSize = 1024;
    RemoteBlock block(app, textOffset + textSize);
    int count = (int)Ask(tooltip, TTM_GETTOOLCOUNT);
    for (int i = 0; i < count; i++) {
        TOOLINFOA info{};
        info.cbSize = sizeof info;
        info.lpszText = (char*)block.address() + textOffset;
        char text[1024] = "";
        block.Write(&info, sizeof info);
        block.Write(text, sizeof text, textOffset);
        if (!Ask(tooltip, TTM_ENUMTOOLSA, (WPARAM)i, (LPARAM)block.address())) break;
        block.Read(&info, sizeof info);
        block.Read(text, sizeof text, textOffset);
        text[sizeof text - 1] = '\0';
        Tool tool;
        tool.flags = info.uFlags;
        tool.hwnd = info.hwnd;
        tool.id = info.uId;
        tool.rect = info.rect;
        tool.text = text;
        tools.push_back(tool);
    }
    return tools;
}

DWORD EditSelection(HWND edit)
{
    return (DWORD)Ask(edit, EM_GETSEL);
}

void MoveMouse(POINT screen)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (LONG)(((LONGLONG)screen.x * 65535 + (width - 1) / 2) / (width - 1));
    input.mi.dy = (LONG)(((LONGLONG)screen.y * 65535 + (height - 1) / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

POINT CentreOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

HWND WaitForPopupMenu(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        HWND menu = FindWindowA("#32768", NULL);
        if (menu && IsWindowVisible(menu)) {
            Sleep(200); // drawn by now
            return menu;
        }
        Sleep(30);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

Capture CaptureScreen(RECT rect)
{
    Capture capture;
    capture.rect = rect;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return capture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const BYTE* p = (const BYTE*)bits;
    capture.pixels.resize((size_t)width * height);
    for (size_t i = 0; i < capture.pixels.size(); i++, p += 4)
        capture.pixels[i] = RGB(p[2], p[1], p[0]);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return capture;
}

// Menus cannot be read from another process under Wine (GetMenuState answers -1), so the state
// is read from the popup as drawn: a greyed item's text is drawn in 128,128,128, an enabled one's
// in the menu text colour or, highlighted, in the highlight text colour. Separators are rows of
// that same grey across the whole width, and are told apart by their length.
std::vector<bool> GreyedItems(HWND popup)
{
    RECT rect{};
    GetWindowRect(popup, &rect);
    Capture capture = CaptureScreen(rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const COLORREF grey = RGB(128, 128, 128), black = RGB(0, 0, 0);
    const int margin = 5;
    std::vector<bool> greyed;
    // A mnemonic's underline may sit a row below its letter: an item ends after three empty rows.
    int bandGrey = 0, bandBlack = 0, emptyRows = 0;
    bool inBand = false;
    for (int y = 0; y <= height; y++) {
        int greyCount = 0, blackCount = 0, differing = 0;
        if (y < height) {
            COLORREF background = capture.At(margin, y);
            for (int x = margin; x < width - margin; x++) {
                COLORREF c = capture.At(x, y);
                greyCount += c == grey;
                blackCount += c == black;
                differing += c != background;
            }
        }
        bool separator = greyCount > (width - 2 * margin) * 3 / 5;
        bool text = y < height && !separator && differing > 0;
        if (text) {
            bandGrey += greyCount;
            bandBlack += blackCount;
            inBand = true;
            emptyRows = 0;
        } else if (inBand && (separator || y == height || ++emptyRows >= 3)) {
            greyed.push_back(bandGrey > bandBlack);
            bandGrey = bandBlack = emptyRows = 0;
            inBand = false;
        }
    }
    return greyed;
}

} // namespace menus
