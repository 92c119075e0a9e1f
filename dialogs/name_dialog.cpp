// The small dialog that asks for an entry's new name, and the folder dialog: services that know no
// entry, only what the caller checks and shows.
#include <windows.h>
#include <shlobj.h>
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

bool AskForFolder(HWND owner, const char* title, char* folder, DWORD size)
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
