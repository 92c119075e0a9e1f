// MainWindow's dialog procedure: creation, destruction and the routing of every command.
#include <windows.h>
#include <shellapi.h>
#include "app/app_private.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "store/store.h"
#include "res/resource.h"

HFONT NormalFont;

static const int EditIds[] = {IDC_NAME, IDC_EXE_PATH, IDC_MENU_TEXT, IDC_STATUS_TEXT};

// BoldFont is the list's, but made and deleted here with the labels' font, from the same dialog
// font and for the lifetime of the window.
static void CreateFonts(HWND hwnd)
{
    HFONT dialogFont = (HFONT)SendDlgItemMessageA(hwnd, IDC_NAME, WM_GETFONT, 0, 0);
    LOGFONTA logFont;
    GetObjectA(dialogFont, sizeof logFont, &logFont);
    NormalFont = CreateFontIndirectA(&logFont);
    logFont.lfWeight = FW_BOLD;
    BoldFont = CreateFontIndirectA(&logFont);
    SendDlgItemMessageA(hwnd, IDC_NAME, WM_SETFONT, (WPARAM)BoldFont, FALSE);
}

// Undocumented: carries a drop's data to a window of a higher integrity level.
enum { WM_COPYGLOBALDATA = 0x0049 };

// Drops are the window's whole reason for WS_EX_ACCEPTFILES; an elevated window would otherwise
// refuse them from a non-elevated Explorer.
static void AllowDropsFromLowerIntegrity(HWND hwnd)
{
    ChangeWindowMessageFilterEx(hwnd, WM_DROPFILES, MSGFLT_ALLOW, NULL);
    ChangeWindowMessageFilterEx(hwnd, WM_COPYDATA, MSGFLT_ALLOW, NULL);
    ChangeWindowMessageFilterEx(hwnd, WM_COPYGLOBALDATA, MSGFLT_ALLOW, NULL);
}

static void OnInitDialog(HWND hwnd)
{
    MainWindow = hwnd;
    PrepareToolbarButtons();
    SaveEditProcedure(hwnd);
    CreateFonts(hwnd);
    SubclassEdits(hwnd);
    SubclassToolList(hwnd);
    RefreshToolList(hwnd);
    CreateToolbarAndStatusBar(hwnd);
    for (int id : EditIds)
        SendDlgItemMessageA(hwnd, id, EM_LIMITTEXT, FIELD_CHARACTERS, 0);
    CreateTooltips(hwnd);
    SetClassLongPtrA(hwnd, GCLP_HICON,
                     (LONG_PTR)LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_KORVANEL)));
    // The list's colours are loaded where they are reloaded later, on a colour change.
    SendMessageA(hwnd, WM_SYSCOLORCHANGE, 0, 0);
    PrepareToolsMenu(hwnd);
    AllowDropsFromLowerIntegrity(hwnd);
    // Last, once every control that goes into the z-order is there.
    NameControlsForScreenReaders(hwnd);
}

static void OnDestroy(HWND hwnd)
{
    DestroyTooltips();
    StopIconReading(hwnd);
    ForgetScreenReaderNames(hwnd);
    RestoreToolList(hwnd);
    // Destroying the list deletes every item, which frees each ToolEntry and its icon.
    DestroyWindow(GetDlgItem(hwnd, IDC_TOOL_LIST));
    DestroyWindow(GetDlgItem(hwnd, IDC_NAME));
    DeleteObject(NormalFont);
    DeleteObject(BoldFont);
    NormalFont = BoldFont = NULL;
    RestoreEdits(hwnd);
    RemovePropA(hwnd, WindowPropertyName);
    PostQuitMessage(0);
}

static void FocusField(HWND hwnd, int id)
{
    SetFocus(GetDlgItem(hwnd, id));
}

// IDM_TAB and IDM_BACK_TAB arrive too and do nothing here: they are in the accelerator table only
// so that the message loop can tell Tab apart and hand it to the dialog manager.
static void OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) { // menu, accelerator and toolbar arrive alike
    case IDT_CAL:
    case IDM_CAL: SaveCalLauncher(hwnd); break;
    case IDT_REFRESH:
    case IDM_REFRESH: RefreshToolList(hwnd); break;
    case IDT_REGISTER:
    case IDM_REGISTER: RegisterFields(hwnd); break;
    case IDT_DELETE:
    case IDM_DELETE: DeleteSelectedEntry(hwnd); break;
    case IDM_EXIT: DestroyWindow(hwnd); return;
    case IDM_ABOUT: ShowAboutBox(hwnd, MenuName(THIS_VIEW)); break;
    case IDM_REGISTER_SELF: RegisterSelf(hwnd); break;
    case IDM_FOCUS_NAME: FocusField(hwnd, IDC_NAME); break;
    case IDM_FOCUS_MENU_TEXT: FocusField(hwnd, IDC_MENU_TEXT); break;
    case IDM_FOCUS_EXE_PATH: FocusField(hwnd, IDC_EXE_PATH); break;
    case IDM_FOCUS_STATUS_TEXT: FocusField(hwnd, IDC_STATUS_TEXT); break;
    case IDM_README: OpenHelpDocument(hwnd, "readme.txt"); break;
    case IDM_HISTORY: OpenHelpDocument(hwnd, "history.txt"); break;
    case IDM_IMPORT: ImportEntries(hwnd); break;
    case IDM_EXPORT: ExportEntries(hwnd); break;
    case IDM_BACKUP: BackupToolsMenu(hwnd, MenuName(THIS_VIEW)); break;
    case IDM_UNDO: UndoLastStep(hwnd); break;
    case IDM_COPY_TO_OTHER: CopySelectedToOtherMenu(hwnd); break;
    case IDM_COPY_ALL_TO_OTHER: CopyAllToOtherMenu(hwnd); break;
    case IDM_RESTORE: RestoreFromBackup(hwnd); break;
    case IDM_DIAGNOSE: ShowDiagnosis(hwnd); break;
    case IDM_PROPERTIES: ShowEntryProperties(hwnd); break;
    case IDM_RENAME: RenameSelectedEntry(hwnd); break;
    case IDM_DUPLICATE: DuplicateSelectedEntry(hwnd); break;
    case IDM_OPEN: OpenSelectedEntry(hwnd); break;
    }
    // Control notifications share WM_COMMAND; no command identifier equals these two controls.
    if (LOWORD(wParam) == IDC_TOOL_LIST) {
        if (HIWORD(wParam) == LBN_SELCHANGE)
            ShowSelectedEntry(hwnd);
        else if (HIWORD(wParam) == LBN_DBLCLK)
            SendMessageA(hwnd, WM_COMMAND, IDM_OPEN, 0);
    } else if (LOWORD(wParam) == IDC_BROWSE && HIWORD(wParam) == BN_CLICKED) {
        BrowseForProgram(hwnd);
    }
    (void)lParam;
}

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: OnInitDialog(hwnd); return TRUE;
    case WM_COMMAND: OnCommand(hwnd, wParam, lParam); return FALSE;
    case WM_MEASUREITEM: MeasureToolItem((MEASUREITEMSTRUCT*)lParam); return TRUE;
    case WM_DRAWITEM: return DrawToolItem((const DRAWITEMSTRUCT*)lParam);
    case WM_DELETEITEM: FreeToolItem((const DELETEITEMSTRUCT*)lParam); return TRUE;
    case WM_PAINT: PaintDressing(hwnd); return TRUE;
    case WM_SYSCOLORCHANGE:
        LoadListColours();
        ForwardColourChange(wParam, lParam);
        return FALSE;
    case WM_INITMENUPOPUP: ApplyGreyingRule(hwnd, (HMENU)wParam); return FALSE;
    case WM_MENUSELECT: ShowMenuHelp(wParam, lParam); return FALSE;
    case WM_DROPFILES: TakeDroppedFile(hwnd, (HDROP)wParam); return FALSE;
    case WM_TOOL_ICON: TakeToolIcon(hwnd, lParam); return TRUE;
    case WM_TIMER:
        if (wParam == ICON_START_TIMER) OnIconStartTimer(hwnd);
        return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return FALSE;
    case WM_DESTROY: OnDestroy(hwnd); return FALSE;
    }
    return FALSE;
}
