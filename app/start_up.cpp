// Start-up, the single instance, the message loop, and what a Windows desktop needs around them.
#include <windows.h>
#include <objbase.h>
#include "app/app_private.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "res/resource.h"

HINSTANCE AppInstance;
HWND MainWindow;

const char WindowPropertyName[] = "Korvanel";
// Each build edits its own Cakewalk's menu, so each is one instance of its own: a user who has
// both Cakewalks runs both builds side by side. The window property tells the builds apart.
#ifdef _WIN64
static const char InstanceMutexName[] = "Korvanel64";
static const UINT_PTR BuildPropertyValue = 2;
#else
static const char InstanceMutexName[] = "Korvanel";
static const UINT_PTR BuildPropertyValue = 1;
#endif

static void ActivateFirstInstance()
{
    // The first instance may still be starting and have no window yet; then there is nothing to
    // bring forward and this instance just ends.
    HWND window = GetWindow(GetDesktopWindow(), GW_CHILD);
    for (; window; window = GetWindow(window, GW_HWNDNEXT)) {
        if ((UINT_PTR)GetPropA(window, WindowPropertyName) == BuildPropertyValue) break;
    }
    if (!window) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

static int RunMessageLoop(HACCEL accelerators)
{
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(MainWindow, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (msg.wParam == VK_TAB) {
            // Tab and Shift+Tab are in the table only so that the dialog manager moves the focus
            // with them. Enter and Esc are not, and stay with the focused control.
            if (!IsDialogMessageA(MainWindow, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            // The key has done its work as a command. Translated into a character now, once the
            // command's box has closed and Ctrl is up, it would be typed as a plain letter into
            // the field that had the focus. It still reaches that field as a key, or the window
            // would take Alt+R's Alt for Alt pressed alone and open the menu bar.
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}

// The program runs elevated from wherever its zip was unpacked: no DLL that it or the system
// loads later by name may come from that folder or the current one. Looked up, because a
// system without the function must still start.
static void LoadLibrariesFromSystemOnly()
{
    typedef BOOL(WINAPI * SetDirectoriesFunction)(DWORD);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    SetDirectoriesFunction setDirectories =
        kernel32
            ? (SetDirectoriesFunction)(void*)GetProcAddress(kernel32, "SetDefaultDllDirectories")
            : NULL;
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The warning's two paragraphs and the number, in UTF-16 characters, with room to spare.
enum { CODE_PAGE_WARNING_SIZE = 1024 };

// Every text of the program is code page 932: on any other system its boxes are garbled and
// self-registration stores texts that Cakewalk misreads. Said in UTF-16, readable anywhere.
static void WarnAboutCodePage(HWND owner)
{
    UINT codePage = GetACP();
    if (codePage == 932) return;
    // Only the number is formatted: wsprintfW writes at most 1,024 bytes, and the text alone is
    // nearly that.
    wchar_t text[CODE_PAGE_WARNING_SIZE];
    lstrcpynW(text,
              L"コルヴァネルを使うには、Windows の「Unicode 対応ではないプログラムの言語」を"
              L"日本語にし、「ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用」を"
              L"オフにしてください。このままでは画面とメッセージの文字が化け、登録するツールの"
              L"テキストも Cakewalk が正しく読めない文字で保存されます。\n\n"
              L"Korvanel needs Japanese as the language for non-Unicode programs, with \"Beta: "
              L"Use Unicode UTF-8 for worldwide language support\" turned off. Otherwise its "
              L"windows and messages are garbled, and the texts of the entries it registers are "
              L"stored in a form that Cakewalk does not read correctly.\n\n"
              L"(コード ページ / code page: ",
              CODE_PAGE_WARNING_SIZE);
    wchar_t number[16];
    wsprintfW(number, L"%u)", codePage);
    int used = lstrlenW(text);
    lstrcpynW(text + used, number, CODE_PAGE_WARNING_SIZE - used);
    // The caption is drawn in a font that may have no Japanese characters on such a system.
    ShowWideMessage(owner, text, L"Korvanel for Cakewalk", MB_OK | MB_ICONEXCLAMATION);
}

int RunKorvanel(HINSTANCE instance)
{
    LoadLibrariesFromSystemOnly();
    // The handle stays open while the window lives, so that the name stays taken.
    HANDLE mutex = CreateMutexA(NULL, TRUE, InstanceMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ActivateFirstInstance();
        return 0;
    }
    if (mutex) ReleaseMutex(mutex);

    // Shell icons of shortcuts and of handler-based types, and the shell's delegate verbs, want
    // COM on the calling thread. ole32 is one of the system's known DLLs: it cannot be planted.
    bool com = SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    AppInstance = instance;
    MainWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                    MainDialogProc, 0);
    int exitCode = 1; // without a window the loop would never see WM_QUIT
    if (MainWindow) {
        SetPropA(MainWindow, WindowPropertyName, (HANDLE)BuildPropertyValue);
        ShowWindow(MainWindow, SW_SHOWNORMAL);
        UpdateWindow(MainWindow);
        WarnAboutCodePage(MainWindow);
        HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
        exitCode = RunMessageLoop(accelerators);
    }
    // The name is free for the next start at once, even while an icon from a server that does
    // not answer keeps this ended process a little longer.
    if (mutex) CloseHandle(mutex);
    EndIconReading();
    if (com) CoUninitialize();
    return exitCode;
}
