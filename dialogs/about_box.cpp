// The About box: the program's own version texts, the maker's mail and home page.
#include <windows.h>
#include "dialogs/dialogs.h"
#include "dialogs/dialogs_private.h"
#include "res/resource.h"

static const char MakerMail[] = "korvanel@example.jp";
static const char MakerHomePage[] = "http://www.example.jp/korvanel/";

// Made when the box opens and deleted when it is destroyed: one font per opening.
static HFONT TitleFont;

// The longest name of a version string asked for, "FileDescription", and its terminator.
enum { VERSION_NAME_SIZE = 30 };
// The title's character cell: positive, so that the cell, not the glyphs, is this high.
static const LONG TitleFontHeight = 15;

static void CreateTitleFont(HWND box)
{
    HFONT dialogFont = (HFONT)SendDlgItemMessageA(box, IDC_ABOUT_TITLE, WM_GETFONT, 0, 0);
    LOGFONTA logFont;
    ZeroMemory(&logFont, sizeof logFont);
    GetObjectA(dialogFont, sizeof logFont, &logFont);
    logFont.lfHeight = TitleFontHeight;
    logFont.lfWeight = FW_BOLD;
    TitleFont = CreateFontIndirectA(&logFont);
    SendDlgItemMessageA(box, IDC_ABOUT_TITLE, WM_SETFONT, (WPARAM)TitleFont, FALSE);
}

static void ShowVersionTexts(const void* block, void* context)
{
    HWND box = (HWND)context;
    HINSTANCE instance = InstanceOf(box);
    char prefix[VERSION_PREFIX_SIZE] = "";
    LoadStringA(instance, IDS_VERSION_PREFIX, prefix, sizeof prefix);
    for (int id = IDS_FILE_DESCRIPTION; id <= IDS_COMMENTS; id++) {
        char name[VERSION_NAME_SIZE] = "";
        LoadStringA(instance, id, name, sizeof name);
        // The string and the control share their number.
        const char* value = QueryVersionString(block, prefix, name);
        if (value) SetDlgItemTextA(box, id, value);
    }
}

static void ReadVersionTexts(HWND box)
{
    char program[MAX_PATH];
    // A path cut short names no file, so the texts simply stay empty.
    if (GetModuleFileNameA(NULL, program, sizeof program) >= sizeof program) return;
    ReadVersionResource(program, ShowVersionTexts, box);
}

static void OnInitAboutBox(HWND box, const char* menuName)
{
    CreateTitleFont(box);
    ReadVersionTexts(box);
    SetDlgItemTextA(box, IDC_ABOUT_MENU, menuName);
    SetDlgItemTextA(box, IDC_ABOUT_MAIL, MakerMail);
    SetDlgItemTextA(box, IDC_ABOUT_HOME_PAGE, MakerHomePage);
}

static INT_PTR CALLBACK AboutBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    // FALSE: the dialog manager then gives the focus to the first tab stop, the OK button.
    case WM_INITDIALOG: OnInitAboutBox(hwnd, (const char*)lParam); return FALSE;
    case WM_COMMAND:
        // OK carries IDCANCEL, so OK, Enter, Esc and the close box all end the box the same way.
        if (LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, IDCANCEL);
        return FALSE;
    case WM_DESTROY:
        DeleteObject(TitleFont);
        TitleFont = NULL;
        return TRUE;
    }
    return FALSE;
}

void ShowAboutBox(HWND owner, const char* menuName)
{
    RunCentredDialog(IDD_ABOUT, owner, AboutBoxProc, (LPARAM)menuName);
}
