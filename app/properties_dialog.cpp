// プロパティ: every value Cakewalk reads of one entry, shown as stored, with a hint line naming
// each value; OK writes only what the user changed.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>
#include "app/app_private.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "res/resource.h"
#include "store/store.h"

// Each value in dialog order: its control (Type and Modal are lists), its label without "(&x):"
// for the warnings, its button ("...", "▼" or none), and what it is to Cakewalk, said after its
// registry name so that the names that forums and installers use stay in sight beside the short
// Japanese labels.
struct ValueRow {
    int control;
    const char* label;
    int button;
    const char* hint;
};
static const ValueRow ValueRows[ENTRY_VALUE_COUNT] = {
    {IDC_MENU_TEXT, "メニュー項目", 0,
     "Cakewalk の [ツール] メニューに表示される文字列です。「&」の次の文字がアクセス キーに"
     "なります。"},
    {IDC_EXE_PATH, "実行ファイル", IDC_BROWSE, "メニューから起動するプログラムのパスです。"},
    {IDC_STATUS_TEXT, "ステータス バー", 0,
     "メニューでこの項目を選んでいる間、Cakewalk のステータス バーに表示される文字列です。"},
    {IDC_TYPE, "種類", 0,
     "Generic は一般のツール、WaveEditor は Cakewalk で選んだオーディオを受け取るエディター、"
     "SysxEditor は SysEx を編集するツールです。"},
    {IDC_MODAL, "モーダル", 0,
     "1 にすると、ツールを閉じるまで Cakewalk を操作できなくなります。(なし) を選ぶと値を削除"
     "します。"},
    {IDC_CMD_ARGS, "引数", IDC_CMD_ARGS_MENU,
     "ツールに渡すスイッチです。/ParentWnd$ と /VSTInventoryRegKey$ は Cakewalk が置き換えます "
     "([▼] で挿入)。空にすると値を削除します。"},
    {IDC_ARGS, "ファイル引数", IDC_ARGS_MENU,
     "選んだオーディオのファイルを渡すときの引数です。$(FILE) と $(FILEBASE) は Cakewalk が置き"
     "換えます ([▼] で挿入)。空にすると値を削除します。"},
    {IDC_CURRENT_DIRECTORY, "作業フォルダー", IDC_BROWSE_FOLDER,
     "ツールを起動するときの作業フォルダーです。空にすると値を削除します。"},
    {IDC_HELP_FILE, "ヘルプ ファイル", IDC_BROWSE_HELP_FILE,
     "ツールのヘルプ ファイルです。空にすると値を削除します。"},
    {IDC_HELP_TOPIC, "トピック番号", 0,
     "ヘルプ ファイルの中のトピック番号です (0 から 4294967295)。空にすると値を削除します。"},
};
static const char* const TypeItems[TOOL_TYPE_COUNT] = {"Generic (一般のツール)",
                                                       "WaveEditor (オーディオ エディター)",
                                                       "SysxEditor (SysEx エディター)"};
static const char* const ModalItems[] = {"0: いいえ", "1: はい"};
// The placeholders that Cakewalk expands, as the "▼" menus insert them.
static const char* const CmdArgsTokens[] = {"/ParentWnd$", "/VSTInventoryRegKey$"};
static const char* const ArgsTokens[] = {"\"$(FILE)\"", "$(FILE)", "$(FILEBASE)"};

// The text fields take what 登録 writes, and the topic number ten digits; a longer text stored by
// another program is shown whole all the same.
static const int TextLimit = FIELD_CHARACTERS - 1, TopicLimit = 10;
// The hint line's text, and a short form with its words around it.
enum { HINT_SIZE = 512, ITEM_TEXT_SIZE = VALUE_TEXT_SIZE + 64 };

struct PropertiesDialog {
    EntryValues values;
    bool editable[ENTRY_VALUE_COUNT];
    ValueChange changes[ENTRY_VALUE_COUNT];
    int count;
};

static PropertiesDialog* DialogOf(HWND dialog)
{
    return (PropertiesDialog*)GetWindowLongPtrA(dialog, DWLP_USER);
}

static void AddChoice(HWND list, const char* text, int choice)
{
    LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)text);
    SendMessageA(list, CB_SETITEMDATA, (WPARAM)index, (LPARAM)choice);
}

// The stored value that is none of the fixed items, as an item of its own that keeps it.
static void AddKeptChoice(HWND list, const StoredValue& value)
{
    char shown[VALUE_TEXT_SIZE], text[ITEM_TEXT_SIZE];
    ShortValueForm(value, shown, sizeof shown);
    snprintf(text, sizeof text, "%s (その他)", shown);
    AddChoice(list, text, CHOICE_KEEP);
}

// The list opens as wide as its widest item, however narrow the control.
static void FitDroppedWidth(HWND list)
{
    HDC hdc = GetDC(list);
    HGDIOBJ previous = SelectObject(hdc, (HFONT)SendMessageA(list, WM_GETFONT, 0, 0));
    int widest = 0;
    for (int i = 0, count = (int)SendMessageA(list, CB_GETCOUNT, 0, 0); i < count; i++) {
        char text[ITEM_TEXT_SIZE] = "";
        if (SendMessageA(list, CB_GETLBTEXTLEN, (WPARAM)i, 0) >= (LRESULT)sizeof text) continue;
        SendMessageA(list, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
        SIZE extent = {0, 0};
        GetTextExtentPoint32A(hdc, text, lstrlenA(text), &extent);
        if (extent.cx > widest) widest = extent.cx;
    }
    SelectObject(hdc, previous);
    ReleaseDC(list, hdc);
    SendMessageA(list, CB_SETDROPPEDWIDTH, (WPARAM)(widest + GetSystemMetrics(SM_CXVSCROLL) + 8),
                 0);
}

// The item that carries choice, wherever the list placed it.
static void SelectChoice(HWND list, int choice)
{
    for (int i = 0, count = (int)SendMessageA(list, CB_GETCOUNT, 0, 0); i < count; i++)
        if ((int)SendMessageA(list, CB_GETITEMDATA, (WPARAM)i, 0) == choice) {
            SendMessageA(list, CB_SETCURSEL, (WPARAM)i, 0);
            return;
        }
}

static void FillChoices(HWND dialog, const PropertiesDialog* state)
{
    HWND type = GetDlgItem(dialog, IDC_TYPE), modal = GetDlgItem(dialog, IDC_MODAL);
    const StoredValue& storedType = state->values.known[VALUE_TYPE];
    for (int i = 0; i < TOOL_TYPE_COUNT; i++)
        AddChoice(type, TypeItems[i], i);
    int choice = StoredChoice(VALUE_TYPE, storedType);
    if (choice == CHOICE_NONE) AddChoice(type, "(なし)", CHOICE_NONE);
    if (choice == CHOICE_KEEP) AddKeptChoice(type, storedType);
    SelectChoice(type, choice);

    const StoredValue& storedModal = state->values.known[VALUE_MODAL];
    AddChoice(modal, "(なし)", CHOICE_NONE);
    AddChoice(modal, ModalItems[0], 0);
    AddChoice(modal, ModalItems[1], 1);
    choice = StoredChoice(VALUE_MODAL, storedModal);
    if (choice == CHOICE_KEEP) AddKeptChoice(modal, storedModal);
    SelectChoice(modal, choice);
    FitDroppedWidth(type);
    FitDroppedWidth(modal);
}

// A number's field: the IME would compose full-width digits, and other characters, in it. imm32
// is looked up at run time, from the system folder, like every DLL outside the imported few.
static void TurnImeOff(HWND field)
{
    typedef BOOL(WINAPI * AssociateContext)(HWND, void*, DWORD);
    HMODULE imm = LoadSystemLibrary("imm32.dll");
    AssociateContext associate =
        imm ? (AssociateContext)(void*)GetProcAddress(imm, "ImmAssociateContextEx") : NULL;
    // No context at all: the field takes what the keyboard types, as it is.
    if (associate) associate(field, NULL, 0);
    if (imm) FreeLibrary(imm);
}

static void FillTexts(HWND dialog, PropertiesDialog* state)
{
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++) {
        EntryValueId id = (EntryValueId)i;
        if (id == VALUE_TYPE || id == VALUE_MODAL) {
            state->editable[i] = true;
            continue;
        }
        HWND field = GetDlgItem(dialog, ValueRows[i].control);
        const StoredValue& stored = state->values.known[i];
        char text[VALUE_TEXT_SIZE];
        state->editable[i] = ShownValueText(id, stored, text, sizeof text);
        SendMessageA(field, EM_LIMITTEXT, id == VALUE_HELP_TOPIC ? TopicLimit : TextLimit, 0);
        if (id == VALUE_HELP_TOPIC) TurnImeOff(field);
        // A value the program cannot show exactly is shown short and kept byte for byte.
        if (!state->editable[i]) {
            ShortValueForm(stored, text, sizeof text);
            SendMessageA(field, EM_SETREADONLY, TRUE, 0);
            if (ValueRows[i].button) EnableWindow(GetDlgItem(dialog, ValueRows[i].button), FALSE);
        }
        SetWindowTextA(field, text);
    }
}

static void AddOtherRow(HWND list, int row, const OtherItem& item)
{
    char type[32], data[ITEM_TEXT_SIZE];
    if (item.isKey) {
        lstrcpynA(type, "(キー)", sizeof type);
        snprintf(data, sizeof data, "値 %d 個、サブキー %d 個", item.values, item.subkeys);
    } else {
        TypeName(item.value.type, type, sizeof type);
        ShortValueForm(item.value, data, sizeof data);
    }
    LVITEMA entry;
    ZeroMemory(&entry, sizeof entry);
    entry.mask = LVIF_TEXT;
    entry.iItem = row;
    entry.pszText = (char*)(item.unnamed ? "(既定)" : item.name);
    SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&entry);
    const char* columns[] = {type, data};
    for (int column = 1; column <= 2; column++) {
        entry.iSubItem = column;
        entry.pszText = (char*)columns[column - 1];
        SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&entry);
    }
}

static void FillOthers(HWND dialog, const PropertiesDialog* state)
{
    HWND list = GetDlgItem(dialog, IDC_OTHER_VALUES);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // 名前 70 and 種類 60 dialog units, データ the rest, as regedit names its columns.
    RECT widths = {70, 0, 130, 0};
    MapDialogRect(dialog, &widths);
    RECT client;
    GetClientRect(list, &client);
    const char* titles[] = {"名前", "種類", "データ"};
    int sizes[] = {widths.left, widths.right - widths.left,
                   client.right - widths.right - GetSystemMetrics(SM_CXVSCROLL)};
    for (int i = 0; i < 3; i++) {
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = (char*)titles[i];
        column.cx = sizes[i];
        SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)i, (LPARAM)&column);
    }
    for (int i = 0; i < state->values.otherCount; i++)
        AddOtherRow(list, i, state->values.others[i]);
}

// The buttons' captions are symbols, which a screen reader would spell out.
static void NameButtonsForScreenReaders(HWND dialog)
{
    const int browseButtons[] = {IDC_BROWSE, IDC_BROWSE_FOLDER, IDC_BROWSE_HELP_FILE};
    for (int id : browseButtons)
        NameForScreenReaders(GetDlgItem(dialog, id), L"参照");
    const int tokenButtons[] = {IDC_CMD_ARGS_MENU, IDC_ARGS_MENU};
    for (int id : tokenButtons)
        NameForScreenReaders(GetDlgItem(dialog, id), L"プレースホルダーの挿入");
}

static void OnInitProperties(HWND dialog, PropertiesDialog* state)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)state);
    // Explorer's form, with the key's own letters.
    char caption[TOOL_TEXT_SIZE + 32];
    snprintf(caption, sizeof caption, "%sのプロパティ", state->values.name);
    SetWindowTextA(dialog, caption);
    FillTexts(dialog, state);
    FillChoices(dialog, state);
    FillOthers(dialog, state);
    NameButtonsForScreenReaders(dialog);
}

// Why a field shows its value and does not take another, as the end of "この値は…ため".
static void WhyReadOnly(const StoredValue& stored, char* why, DWORD size)
{
    switch (stored.textFlaw) {
    case TEXT_NOT_CP932: lstrcpynA(why, "日本語 (シフト JIS) にない文字を含む", (int)size); return;
    case TEXT_TOO_LONG: lstrcpynA(why, "長すぎる", (int)size); return;
    case TEXT_CONTROL: lstrcpynA(why, "改行などの制御文字を含む", (int)size); return;
    case TEXT_PADDED: lstrcpynA(why, "文字列の後ろに NUL 文字の詰め物がある", (int)size); return;
    case TEXT_ODD_SIZE:
        lstrcpynA(why, "バイト数が奇数で、最後の文字が半分しかない", (int)size);
        return;
    default: break;
    }
    char type[32];
    TypeName(stored.type, type, sizeof type);
    snprintf(why, size, " %s の", type);
}

static void ShowHint(HWND dialog, int control)
{
    const PropertiesDialog* state = DialogOf(dialog);
    char hint[HINT_SIZE] = "";
    if (control == IDC_OTHER_VALUES)
        lstrcpynA(
            hint,
            "Cakewalk の [ツール] メニューの説明にない値とサブキーです。ここでは変更しません。",
            sizeof hint);
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++) {
        if (ValueRows[i].control != control) continue;
        const StoredValue& stored = state->values.known[i];
        char why[64];
        WhyReadOnly(stored, why, sizeof why);
        // A list keeps a text it cannot take as its "(その他)" item, until another is chosen.
        bool list = control == IDC_TYPE || control == IDC_MODAL;
        if (list && stored.present && stored.textFlaw != TEXT_EXACT &&
            stored.textFlaw != TEXT_NOT_TEXT &&
            StoredChoice((EntryValueId)i, stored) == CHOICE_KEEP) {
            snprintf(hint, sizeof hint, "%s: %s 今の値は%sため、(その他) として残します。",
                     EntryValueNames[i], ValueRows[i].hint, why);
            break;
        }
        if (state->editable[i]) {
            snprintf(hint, sizeof hint, "%s: %s", EntryValueNames[i], ValueRows[i].hint);
            break;
        }
        snprintf(hint, sizeof hint,
                 "%s: この値は%sため、ここでは変更できません (そのまま残します)。",
                 EntryValueNames[i], why);
        break;
    }
    SetDlgItemTextA(dialog, IDC_HINT, hint);
}

// The token replaces the selection at the caret, a blank before it unless the caret starts the
// field or follows one; Ctrl+Z takes it back.
static void InsertToken(HWND dialog, int field, int button)
{
    bool cmdArgs = button == IDC_CMD_ARGS_MENU;
    const char* const* tokens = cmdArgs ? CmdArgsTokens : ArgsTokens;
    int count = cmdArgs ? 2 : 3;
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < count; i++)
        AppendMenuA(menu, MF_STRING, (UINT_PTR)(i + 1), tokens[i]);
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, button), &rect);
    int chosen = (int)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, rect.left,
                                     rect.bottom, 0, dialog, NULL);
    DestroyMenu(menu);
    HWND edit = GetDlgItem(dialog, field);
    SetFocus(edit);
    if (chosen < 1) return;
    // The caret in characters, as the edit counts them.
    DWORD start = 0;
    SendMessageW(edit, EM_GETSEL, (WPARAM)&start, 0);
    wchar_t text[VALUE_TEXT_SIZE] = L"";
    GetWindowTextW(edit, text, VALUE_TEXT_SIZE);
    char token[64];
    snprintf(token, sizeof token, "%s%s",
             start > 0 && start <= wcslen(text) && text[start - 1] != L' ' ? " " : "",
             tokens[chosen - 1]);
    SendMessageA(edit, EM_REPLACESEL, TRUE, (LPARAM)token);
}

static void BrowseFolder(HWND dialog)
{
    char folder[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_CURRENT_DIRECTORY, folder, sizeof folder);
    if (AskForFolder(dialog, "作業フォルダーを選んでください。", folder, sizeof folder))
        SetDlgItemTextA(dialog, IDC_CURRENT_DIRECTORY, folder);
}

static void WarnAboutValue(HWND dialog, PropertyProblem problem, EntryValueId where)
{
    char text[256];
    if (problem == PROPERTY_EMPTY)
        snprintf(text, sizeof text, "「%s」欄が入力されていません。", ValueRows[where].label);
    else if (problem == PROPERTY_TOO_LONG)
        snprintf(text, sizeof text,
                 "「%s」欄が長すぎます。255 バイト (全角で 127 文字) までにしてください。",
                 ValueRows[where].label);
    else
        snprintf(text, sizeof text,
                 "「%s」欄には、0 から 4294967295 までの数を半角数字で入力してください。",
                 ValueRows[where].label);
    ShowMessage(dialog, text, "", MB_OK | MB_ICONEXCLAMATION);
    HWND field = GetDlgItem(dialog, ValueRows[where].control);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
}

static int ChosenItem(HWND dialog, int list)
{
    LRESULT index = SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0);
    return index == CB_ERR
               ? CHOICE_KEEP
               : (int)SendDlgItemMessageA(dialog, list, CB_GETITEMDATA, (WPARAM)index, 0);
}

// Everything is read now, nothing before: a field counts as changed when its text differs from
// what the dialog put there.
static void OnPropertiesOk(HWND dialog)
{
    PropertiesDialog* state = DialogOf(dialog);
    PropertyInput input;
    ZeroMemory(&input, sizeof input);
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++)
        GetDlgItemTextA(dialog, ValueRows[i].control, input.text[i], VALUE_TEXT_SIZE);
    input.typeChoice = ChosenItem(dialog, IDC_TYPE);
    input.modalChoice = ChosenItem(dialog, IDC_MODAL);
    EntryValueId where = VALUE_MENU_TEXT;
    PropertyProblem problem =
        DecideValueChanges(state->values, input, state->changes, &state->count, &where);
    if (problem != PROPERTY_FINE)
        WarnAboutValue(dialog, problem, where);
    else
        EndDialog(dialog, IDOK);
}

static void OnPropertiesCommand(HWND dialog, WPARAM wParam)
{
    int id = LOWORD(wParam), code = HIWORD(wParam);
    if ((code == EN_SETFOCUS || code == CBN_SETFOCUS) && id != IDOK && id != IDCANCEL) {
        ShowHint(dialog, id);
        return;
    }
    switch (id) {
    case IDOK: OnPropertiesOk(dialog); break;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
    case IDC_BROWSE: BrowseIntoField(dialog, IDC_EXE_PATH, false); break;
    case IDC_BROWSE_HELP_FILE: BrowseIntoField(dialog, IDC_HELP_FILE, true); break;
    case IDC_BROWSE_FOLDER: BrowseFolder(dialog); break;
    case IDC_CMD_ARGS_MENU: InsertToken(dialog, IDC_CMD_ARGS, id); break;
    case IDC_ARGS_MENU: InsertToken(dialog, IDC_ARGS, id); break;
    }
}

static INT_PTR CALLBACK PropertiesProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: OnInitProperties(dialog, (PropertiesDialog*)lParam); return TRUE;
    case WM_COMMAND: OnPropertiesCommand(dialog, wParam); return FALSE;
    case WM_NOTIFY:
        if (((const NMHDR*)lParam)->code == NM_SETFOCUS)
            ShowHint(dialog, (int)((const NMHDR*)lParam)->idFrom);
        return FALSE;
    case WM_DESTROY: ForgetScreenReaderNames(dialog); return FALSE;
    }
    return FALSE;
}

void ShowEntryProperties(HWND hwnd)
{
    char name[TOOL_TEXT_SIZE];
    if (!TakeSelectedName(hwnd, "プロパティを表示するツールを「登録リスト」から選択してください。",
                          "編集", name))
        return;
    PropertiesDialog state;
    ZeroMemory(&state, sizeof state);
    DWORD error = ReadEntryValues(name, &state.values);
    if (error != ERROR_SUCCESS) {
        ReportSystemError(hwnd, error);
        RefreshToolList(hwnd);
        return;
    }
    // Under comctl32 6 the list view's class exists only once asked for.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    if (RunCentredDialog(IDD_PROPERTIES, hwnd, PropertiesProc, (LPARAM)&state) == IDOK)
        ApplyValueChanges(hwnd, name, state.changes, state.count);
    FreeEntryValues(&state.values);
}
