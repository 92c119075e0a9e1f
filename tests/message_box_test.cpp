// Real message boxes, shown by a child copy of this test program through ShowMessage and
// ReportSystemError, and read, answered and measured from this process as a user would see them.
#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "app/app.h"
#include "dialogs/dialogs.h"

static const char ProbeVariable[] = "KORVANEL_MESSAGE_PROBE";
static const char TextVariable[] = "KORVANEL_MESSAGE_TEXT";
static const char CaptionVariable[] = "KORVANEL_MESSAGE_CAPTION";
static const char OwnerClass[] = "KorvanelProbeOwner";

// The child's exit code: what ShowMessage returned (ReportErrorResult for ReportSystemError), plus
// HookLeftBehind when CentringHookHandle was not 0 afterwards.
enum { ReportErrorResult = 1000, HookLeftBehind = 0x10000 };

struct ProbeSpec {
    char kind[16]; // "message" or "error"
    unsigned style;
    unsigned long number;
    char ownerState[16]; // "normal", "minimized" or "hidden"
    RECT owner;
    int inSpan; // 1: the hook is installed first, as a file-dialog span does
};

// Texts travel as hexadecimal: Wine's GetEnvironmentVariableA cuts double-byte values short.
static void SetHexVariable(const char* name, const std::string& value)
{
    std::string hex;
    for (unsigned char c : value) {
        char pair[3];
        snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    SetEnvironmentVariableA(name, hex.c_str());
}

static void ReadHexVariable(const char* name, char* value, size_t size)
{
    char hex[1024] = "";
    GetEnvironmentVariableA(name, hex, sizeof hex);
    size_t n = 0;
    for (const char* p = hex; p[0] && p[1] && n + 1 < size; p += 2) {
        unsigned byte = 0;
        sscanf(p, "%2X", &byte);
        value[n++] = (char)byte;
    }
    value[n] = '\0';
}

static int RunProbe(const char* line)
{
    ProbeSpec spec{};
    if (sscanf(line, "%15s %x %lu %15s %ld %ld %ld %ld %d", spec.kind, &spec.style, &spec.number,
               spec.ownerState, &spec.owner.left, &spec.owner.top, &spec.owner.right,
               &spec.owner.bottom, &spec.inSpan) != 9)
        return 2;
    char text[512], caption[128];
    ReadHexVariable(TextVariable, text, sizeof text);
    ReadHexVariable(CaptionVariable, caption, sizeof caption);

    AppInstance = GetModuleHandleA(NULL);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = AppInstance;
    wc.lpszClassName = OwnerClass;
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, OwnerClass, "owner", WS_OVERLAPPEDWINDOW, spec.owner.left,
                                 spec.owner.top, spec.owner.right - spec.owner.left,
                                 spec.owner.bottom - spec.owner.top, NULL, NULL, AppInstance, NULL);
    if (strcmp(spec.ownerState, "normal") == 0)
        ShowWindow(owner, SW_SHOWNORMAL);
    else if (strcmp(spec.ownerState, "minimized") == 0)
        ShowWindow(owner, SW_SHOWMINIMIZED);
    UpdateWindow(owner);

    if (spec.inSpan) InstallCentringHook();
    int result = ReportErrorResult;
    if (strcmp(spec.kind, "message") == 0)
        result = ShowMessage(owner, text, caption, spec.style);
    else
        ReportSystemError(owner, spec.number);
    if (CentringHookHandle) result |= HookLeftBehind;
    if (spec.inSpan) RemoveCentringHook(); // the span's own end finds nothing left to remove
    DestroyWindow(owner);
    return result;
}

// Runs before gtest's main, so that a child started with the variable set only shows its box.
static const int ProbeStarted = [] {
    char line[256];
    if (GetEnvironmentVariableA(ProbeVariable, line, sizeof line)) ExitProcess(RunProbe(line));
    return 0;
}();

struct Probe {
    std::string kind = "message";
    unsigned style = MB_OK;
    unsigned long number = 0;
    std::string text = "本文", caption;
    std::string ownerState = "normal";
    RECT owner = {100, 100, 600, 500};
    bool inSpan = false;
};

struct SeenBox {
    bool found = false;
    std::string caption, text;
    std::string yes, no, ok;
    bool cancel = false;
    RECT rect{}, owner{};
    DWORD exitCode = STILL_ACTIVE;
};

static HWND FindProbeOwner(DWORD processId)
{
    for (int i = 0; i < 400; i++) {
        HWND hwnd = NULL;
        while ((hwnd = FindWindowExA(NULL, hwnd, OwnerClass, NULL)) != NULL) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == processId) return hwnd;
        }
        Sleep(25);
    }
    return NULL;
}

static HWND FindBox(HWND owner)
{
    for (int i = 0; i < 400; i++) {
        HWND hwnd = NULL;
        while ((hwnd = FindWindowExA(NULL, hwnd, "#32770", NULL)) != NULL) {
            if (GetWindow(hwnd, GW_OWNER) == owner && IsWindowVisible(hwnd)) {
                Sleep(250); // let the box finish its own set-up
                return hwnd;
            }
        }
        Sleep(25);
    }
    return NULL;
}

static std::string ItemText(HWND box, int id)
{
    char text[1024] = "";
    GetDlgItemTextA(box, id, text, sizeof text);
    return text;
}

// Shows the box in a child process, reads it, answers it with button and waits for the child.
static SeenBox ShowInChild(const Probe& probe, int button)
{
    SeenBox seen;
    char line[256], self[MAX_PATH];
    snprintf(line, sizeof line, "%s %x %lu %s %ld %ld %ld %ld %d", probe.kind.c_str(), probe.style,
             probe.number, probe.ownerState.c_str(), probe.owner.left, probe.owner.top,
             probe.owner.right, probe.owner.bottom, probe.inSpan ? 1 : 0);
    GetModuleFileNameA(NULL, self, sizeof self);
    SetEnvironmentVariableA(ProbeVariable, line);
    SetHexVariable(TextVariable, probe.text);
    SetHexVariable(CaptionVariable, probe.caption);
    std::string commandLine = std::string("\"") + self + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started =
        CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    SetEnvironmentVariableA(ProbeVariable, NULL);
    SetEnvironmentVariableA(TextVariable, NULL);
    SetEnvironmentVariableA(CaptionVariable, NULL);
    if (!started) return seen;

    HWND owner = FindProbeOwner(process.dwProcessId);
    HWND box = owner ? FindBox(owner) : NULL;
    if (box) {
        seen.found = true;
        char caption[256] = "";
        GetWindowTextA(box, caption, sizeof caption);
        seen.caption = caption;
        seen.text = ItemText(box, 0xFFFF);
        seen.ok = ItemText(box, IDOK);
        seen.yes = ItemText(box, IDYES);
        seen.no = ItemText(box, IDNO);
        seen.cancel = GetDlgItem(box, IDCANCEL) != NULL;
        GetWindowRect(box, &seen.rect);
        GetWindowRect(owner, &seen.owner);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     (LPARAM)GetDlgItem(box, button));
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &seen.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return seen;
}

static RECT WorkArea()
{
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

static void ExpectCentredOn(const RECT& outer, const RECT& box)
{
    LONG w = box.right - box.left, h = box.bottom - box.top;
    EXPECT_EQ((outer.left + outer.right) / 2 - w / 2, box.left);
    EXPECT_EQ((outer.top + outer.bottom) / 2 - h / 2, box.top);
}

TEST(ShowMessage, EmptyCaptionGivesTheDefaultOfTheIconClass)
{
    struct Row {
        unsigned style;
        const char* caption;
        int button;
    } rows[] = {
        {MB_OK | MB_ICONEXCLAMATION, "警告", IDOK},
        {MB_OK | MB_ICONHAND, "エラー", IDOK},
        {MB_YESNO | MB_ICONQUESTION, "確認", IDNO},
        {MB_OK | MB_ICONASTERISK, "情報", IDOK},
    };
    for (const Row& row : rows) {
        Probe probe;
        probe.style = row.style;
        probe.text = "「登録リスト」欄が入力されていません。";
        SeenBox seen = ShowInChild(probe, row.button);
        ASSERT_TRUE(seen.found) << row.caption;
        EXPECT_EQ(row.caption, seen.caption);
        EXPECT_EQ(probe.text, seen.text);
        EXPECT_EQ((DWORD)row.button, seen.exitCode) << row.caption;
        ExpectCentredOn(seen.owner, seen.rect);
    }
}

TEST(ShowMessage, QuestionHasJapaneseButtonsAndKeepsItsOwnCaption)
{
    Probe probe;
    probe.style = MB_YESNO | MB_ICONQUESTION;
    probe.caption = "上書き保存の確認";
    probe.text = "'ツール'\nこのツールは、すでに Cakewalk の [ツール] メニューに登録されています。"
                 "\n上書きしてもよろしいですか？";
    SeenBox seen = ShowInChild(probe, IDYES);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ("上書き保存の確認", seen.caption);
    EXPECT_EQ(probe.text, seen.text);
    EXPECT_EQ("はい(&Y)", seen.yes);
    EXPECT_EQ("いいえ(&N)", seen.no);
    EXPECT_EQ("", seen.ok);
    EXPECT_EQ((DWORD)IDYES, seen.exitCode);

    // A caption that is passed wins over the icon's default.
    probe.style = MB_OK | MB_ICONHAND;
    probe.caption = "独自の見出し";
    seen = ShowInChild(probe, IDOK);
    EXPECT_EQ("独自の見出し", seen.caption);
    EXPECT_EQ("OK", seen.ok);
}

TEST(ShowMessage, BoxStaysInsideTheWorkAreaNearItsEdges)
{
    RECT work = WorkArea();
    Probe probe;
    probe.style = MB_OK | MB_ICONEXCLAMATION;

    probe.owner = RECT{work.right - 150, 200, work.right + 350, 600}; // dragged off the right
    SeenBox seen = ShowInChild(probe, IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(work.right, seen.rect.right);
    EXPECT_EQ((seen.owner.top + seen.owner.bottom) / 2 - (seen.rect.bottom - seen.rect.top) / 2,
              seen.rect.top);

    probe.owner = RECT{200, work.bottom - 100, 700, work.bottom + 300}; // and off the bottom
    seen = ShowInChild(probe, IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(work.bottom, seen.rect.bottom);

    probe.owner = RECT{200, work.top - 380, 700, work.top + 20}; // above the top
    seen = ShowInChild(probe, IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(work.top, seen.rect.top);
    EXPECT_EQ(0u, seen.exitCode & HookLeftBehind);
}

TEST(ShowMessage, MinimizedOrHiddenOwnerGivesTheWorkArea)
{
    for (const char* state : {"minimized", "hidden"}) {
        Probe probe;
        probe.style = MB_OK | MB_ICONASTERISK;
        probe.owner = RECT{20, 30, 320, 230};
        probe.ownerState = state;
        SeenBox seen = ShowInChild(probe, IDOK);
        ASSERT_TRUE(seen.found) << state;
        ExpectCentredOn(WorkArea(), seen.rect);
        EXPECT_EQ((DWORD)IDOK, seen.exitCode) << state;
    }
}

TEST(ShowMessage, InsideAFileDialogSpanUsesAndRemovesTheSpansHook)
{
    Probe probe;
    probe.style = MB_OK | MB_ICONEXCLAMATION;
    probe.owner = RECT{40, 60, 540, 460};
    probe.inSpan = true;
    SeenBox seen = ShowInChild(probe, IDOK);
    ASSERT_TRUE(seen.found);
    ExpectCentredOn(seen.owner, seen.rect);
    EXPECT_EQ((DWORD)IDOK, seen.exitCode); // the hook was gone before the span ended
}

static std::string SystemText(DWORD number)
{
    char text[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, number, 0,
                   text, sizeof text - 1, NULL);
    return text;
}

TEST(ReportSystemError, ShowsTheSystemsTextUnderTheErrorCaption)
{
    for (DWORD number : {2ul, 0ul, 5ul}) {
        Probe probe;
        probe.kind = "error";
        probe.number = number;
        SeenBox seen = ShowInChild(probe, IDOK);
        ASSERT_TRUE(seen.found) << number;
        EXPECT_FALSE(SystemText(number).empty());
        EXPECT_EQ(SystemText(number), seen.text) << number;
        EXPECT_EQ("エラー", seen.caption);
        EXPECT_EQ("OK", seen.ok);
        EXPECT_EQ("", seen.yes);
        EXPECT_FALSE(seen.cancel);
        EXPECT_EQ((DWORD)ReportErrorResult, seen.exitCode);
        ExpectCentredOn(seen.owner, seen.rect);
    }
    EXPECT_EQ("ファイルが見つかりません。\r\n", SystemText(2));
}

TEST(ReportSystemError, NumberWithoutSystemTextStillSaysWhatHappened)
{
    DWORD number = 0x2000FFF1; // an application-defined number: the system has no text for it
    ASSERT_EQ("", SystemText(number));
    Probe probe;
    probe.kind = "error";
    probe.number = number;
    SeenBox seen = ShowInChild(probe, IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ("エラーが発生しました (エラー番号 536936433)。", seen.text);
    EXPECT_EQ("エラー", seen.caption);
}
