// The small dialog that asks for an entry's new name, and the folder dialog: services that know no
// entry, only what the caller checks and shows.
#include <windows.h>
#include <initguid.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wchar.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "dialogs/dialogs_private.h"
#include "res/resource.h"

struct NameRequest {
    const char *caption, *oldName, *note;
    char* name;
    DWORD size;
    NameCheck check;
    void* context;
};

// More than an entry's name may have (255 UTF-16 characters in fewer than 260 bytes): a name too
// long is read whole, into the caller's buffer of twice that, and its check says why it refuses
// it, where a field that cut it would have taken another name without a word.
static const int NameCharacters = 259;

static void SelectNewName(HWND dialog)
{
    HWND field = GetDlgItem(dialog, IDC_NEW_NAME);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
}

static void OnInitNameDialog(HWND dialog, const NameRequest* request)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)request);
    SetWindowTextA(dialog, request->caption);
    SetDlgItemTextA(dialog, IDC_OLD_NAME, request->oldName);
    SendDlgItemMessageA(dialog, IDC_NEW_NAME, EM_LIMITTEXT, NameCharacters, 0);
    SetDlgItemTextA(dialog, IDC_NEW_NAME, request->name);
    SetDlgItemTextA(dialog, IDC_NAME_NOTE, request->note);
    SelectNewName(dialog);
}

// The dialog stays open, its name selected, until the caller's check passes it.
static void OnNameOk(HWND dialog)
{
    const NameRequest* request = (const NameRequest*)GetWindowLongPtrA(dialog, DWLP_USER);
    request->name[0] = '\0';
    GetDlgItemTextA(dialog, IDC_NEW_NAME, request->name, (int)request->size);
    if (request->check(dialog, request->name, request->context))
        EndDialog(dialog, IDOK);
    else
        SelectNewName(dialog);
}

static INT_PTR CALLBACK NameDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: OnInitNameDialog(dialog, (const NameRequest*)lParam); return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) OnNameOk(dialog);
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
    return FALSE;
}

bool AskForEntryName(HWND owner, const char* caption, const char* oldName, const char* note,
                     char* name, DWORD size, NameCheck check, void* context)
{
    NameRequest request = {caption, oldName, note, name, size, check, context};
    return RunCentredDialog(IDD_ENTRY_NAME, owner, NameDialogProc, (LPARAM)&request) == IDOK;
}

// Opens the folder dialog at the folder it was given.
static int CALLBACK StartAtFolder(HWND dialog, UINT msg, LPARAM, LPARAM data)
{
    const char* folder = (const char*)data;
    if (msg == BFFM_INITIALIZED && folder[0])
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, (LPARAM)folder);
    return 0;
}

// The folder dialog of Windows before Vista, which knows no other.
static bool BrowseForFolder(HWND owner, const char* title, char* folder, DWORD size)
{
    char chosen[MAX_PATH] = "";
    BROWSEINFOA browse;
    ZeroMemory(&browse, sizeof browse);
    browse.hwndOwner = owner;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = StartAtFolder;
    browse.lParam = (LPARAM)folder;
    InstallCentringHook();
    PIDLIST_ABSOLUTE list = SHBrowseForFolderA(&browse);
    RemoveCentringHook();
    bool taken = list && SHGetPathFromIDListA(list, chosen) && strlen(chosen) < size;
    if (taken) lstrcpynA(folder, chosen, (int)size);
    if (list) CoTaskMemFree(list);
    return taken;
}

// The shell item of a folder path, or null; looked up, since Windows before Vista lacks it.
static IShellItem* FolderItem(const wchar_t* path)
{
    typedef HRESULT(WINAPI * ItemFromName)(PCWSTR, IBindCtx*, REFIID, void**);
    ItemFromName itemFromName = (ItemFromName)(void*)GetProcAddress(GetModuleHandleA("shell32.dll"),
                                                                    "SHCreateItemFromParsingName");
    IShellItem* item = NULL;
    if (!path[0] || !itemFromName ||
        FAILED(itemFromName(path, NULL, __uuidof(IShellItem), (void**)&item)))
        return NULL;
    return item;
}

enum PickResult { PICK_CHOSEN, PICK_NOT_CP932, PICK_TOO_LONG, PICK_CANCELLED, PICK_NO_DIALOG };

// The chosen folder's path in the ANSI code page, which the field and the registry's A functions
// read, or why it cannot be held there.
static PickResult NarrowPath(const wchar_t* path, char* out, DWORD size)
{
    BOOL usedDefault = FALSE;
    int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, NULL, 0, NULL, &usedDefault);
    if (bytes == 0 || usedDefault) return PICK_NOT_CP932;
    if ((DWORD)bytes > size) return PICK_TOO_LONG;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, out, (int)size, NULL, NULL);
    // Back through the code page: a character that only looks the same names another folder.
    wchar_t back[MAX_PATH];
    int characters = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, out, -1, back, MAX_PATH);
    return characters > 0 && wcscmp(back, path) == 0 ? PICK_CHOSEN : PICK_NOT_CP932;
}

// One showing of the Vista folder dialog, which takes Unicode paths and servers' shares, started
// in start (or where it was last closed). A refused folder leaves the item of its parent in start.
static PickResult PickFolder(HWND owner, const wchar_t* title, IShellItem** start, char* folder,
                             DWORD size)
{
    IFileOpenDialog* dialog = NULL;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, NULL, CLSCTX_INPROC_SERVER,
                                __uuidof(IFileOpenDialog), (void**)&dialog)))
        return PICK_NO_DIALOG;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(title);
    if (*start) dialog->SetFolder(*start);
    InstallCentringHook();
    HRESULT shown = dialog->Show(owner);
    RemoveCentringHook();
    IShellItem* item = NULL;
    PickResult result = PICK_CANCELLED;
    if (SUCCEEDED(shown) && SUCCEEDED(dialog->GetResult(&item))) {
        wchar_t* path = NULL;
        result = SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))
                     ? NarrowPath(path, folder, size)
                     : PICK_NOT_CP932;
        if (path) CoTaskMemFree(path);
        if (result != PICK_CHOSEN) {
            if (*start) (*start)->Release();
            *start = NULL;
            item->GetParent(start);
        }
        item->Release();
    }
    dialog->Release();
    return result;
}

static void RefuseFolder(HWND owner, PickResult why)
{
    ShowMessage(
        owner,
        why == PICK_NOT_CP932
            ? "選んだフォルダーのパスには、日本語 (シフト JIS) にない文字が含まれているため、"
              "使えません。別のフォルダーを選んでください。"
            : "選んだフォルダーのパスが長すぎるため、使えません。別のフォルダーを選んで"
              "ください。",
        "", MB_OK | MB_ICONEXCLAMATION);
}

bool AskForFolder(HWND owner, const char* title, char* folder, DWORD size)
{
    wchar_t wideTitle[256] = L"", wideFolder[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, title, -1, wideTitle, 256);
    MultiByteToWideChar(CP_ACP, 0, folder, -1, wideFolder, MAX_PATH);
    IShellItem* start = FolderItem(wideFolder);
    char chosen[MAX_PATH] = "";
    DWORD room = size < sizeof chosen ? size : (DWORD)sizeof chosen;
    PickResult result;
    // Refused, the dialog comes back where it was, for another choice.
    for (;;) {
        result = PickFolder(owner, wideTitle, &start, chosen, room);
        if (result != PICK_NOT_CP932 && result != PICK_TOO_LONG) break;
        RefuseFolder(owner, result);
    }
    if (start) start->Release();
    if (result == PICK_NO_DIALOG) return BrowseForFolder(owner, title, folder, size);
    if (result == PICK_CHOSEN) lstrcpynA(folder, chosen, (int)size);
    return result == PICK_CHOSEN;
}
