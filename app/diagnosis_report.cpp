// メニューに表示されないとき: the diagnosis of the menus in words, in a dialog to copy it from.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "app/app_private.h"
#include "dialogs/dialogs.h"
#include "editor/editor.h"
#include "store/store.h"
#include "res/resource.h"

// The report's text, grown with the menu in one block; a failure to grow ends it where it is.
struct ReportText {
    char* text;
    DWORD length, capacity;
};

static void Put(ReportText* report, const char* text)
{
    DWORD length = (DWORD)strlen(text);
    if (length > MAXDWORD / 4 - report->length ||
        GrowBlock((void**)&report->text, &report->capacity, report->length + length + 1, 8192) !=
            ERROR_SUCCESS)
        return;
    memcpy(report->text + report->length, text, length + 1);
    report->length += length;
}

// A line of the report, CR LF ended, so that it pastes whole into a forum post.
static void Line(ReportText* report, const char* format, ...)
{
    char line[2 * TOOL_TEXT_SIZE + 256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    Put(report, line);
    Put(report, "\r\n");
}

// The system's text for error inside the report's own sentence, which supplies the line break
// and the full stop that the system's text often ends in.
static void ReasonText(DWORD error, char* text, DWORD size)
{
    SystemErrorText(error, text, size);
    const char* last = NULL;
    for (const char* p = text; *p; p = CharNextExA(932, p, 0))
        last = p;
    if (last && (strcmp(last, "。") == 0 || strcmp(last, ".") == 0)) *(char*)last = '\0';
}

// The findings of one kind, one line each, under a heading said once.
static int PutFindings(ReportText* report, const MenuDiagnosis& diagnosis, FindingKind kind,
                       const char* heading)
{
    int found = 0;
    for (int i = 0; i < diagnosis.count; i++) {
        const Finding& finding = diagnosis.findings[i];
        if (finding.kind != kind) continue;
        if (found++ == 0) Line(report, "%s", heading);
        if (kind == FOUND_OTHER_PATH)
            Line(report, "  '%s' (あちらの実行ファイル: %s)", finding.name, finding.detail);
        else
            Line(report, "  '%s'", finding.name);
    }
    return found;
}

static void PutThisMenu(ReportText* report, const MenuDiagnosis& diagnosis)
{
    Line(report, "■ このコルヴァネルが編集しているメニュー: %s", MenuName(THIS_VIEW));
    Line(report, "%s", diagnosis.path);
    if (diagnosis.exists)
        Line(report, "ツール: %d 個", diagnosis.entries);
    else
        Line(report, "このキーはまだありません。最初のツールを登録すると作られます。");
    if (diagnosis.access == ERROR_SUCCESS) {
        Line(report, "書き込み: できます。");
        return;
    }
    char reason[512];
    ReasonText(diagnosis.access, reason, sizeof reason);
    Line(report, "書き込み: できません (%s)。", reason);
    // The list opens the key for writing: an account that may only read it sees it empty.
    if (diagnosis.exists)
        Line(report,
             "メニューにはツールが %d 個ありますが、このコルヴァネルには書き込む権限がない"
             "ため、一覧には表示されず、登録も削除もできません。",
             diagnosis.entries);
    else
        Line(report, "このままでは、登録も削除もできません。");
    // Elevated already, the only thing left that refuses is the key's own access list.
    if (!diagnosis.elevated)
        Line(report, "Korvanel.exe を右クリックして [管理者として実行] を選び、管理者の権限で起動"
                     "してください。");
    else if (diagnosis.access == ERROR_ACCESS_DENIED)
        Line(report, "このコルヴァネルは管理者の権限で動いていますが、キーのアクセス許可が"
                     "このプログラムを拒否しています。レジストリ エディター (regedit) でこのキー "
                     "(まだないときはその親のキー) を右クリックし、[アクセス許可] で "
                     "Administrators に [フル コントロール] を許可してください。");
}

static void PutOtherMenu(ReportText* report, const MenuDiagnosis& diagnosis)
{
    Line(report, "");
    Line(report, "■ もう一方のメニュー: %s", MenuName(OtherView()));
    Line(report, "%s", diagnosis.otherPath);
    if (!diagnosis.otherExists) {
        Line(report, "このキーはありません。");
        return;
    }
    Line(report, "ツール: %d 個", diagnosis.otherEntries);
    PutFindings(report, diagnosis, FOUND_ONLY_OTHER, "あちらだけにあるツール:");
    PutFindings(report, diagnosis, FOUND_ONLY_HERE, "こちらだけにあるツール:");
    PutFindings(report, diagnosis, FOUND_OTHER_PATH, "両方にあり、実行ファイルが違うツール:");
}

static void PutVirtualCopy(ReportText* report, const MenuDiagnosis& diagnosis)
{
    Line(report, "");
    Line(report, "■ %sのメニューの、ユーザーごとのコピー (レジストリの仮想化)",
         EditionName(KEY_WOW64_32KEY));
    Line(report, "%s", diagnosis.virtualPath);
    if (!diagnosis.virtualExists) {
        Line(report, "このキーはありません。");
    } else {
        Line(report, "ツール: %d 個", diagnosis.virtualEntries);
        PutFindings(report, diagnosis, FOUND_VIRTUAL_ENTRY, "コピーだけにあるツール:");
        PutFindings(report, diagnosis, FOUND_VIRTUAL_HIDES,
                    "管理者の権限なしで実行した古い 32 ビットの Cakewalk では、次のツールが"
                    "コピーの内容で表示され、コルヴァネルでの変更は表示されません:");
    }
    Line(report, "(これは、コルヴァネルを実行しているユーザーのコピーです。Cakewalk を別の"
                 "アカウントで実行しているときは、そのアカウントのコピーは違うことがあります。)");
}

static const char* EntryProblem(FindingKind kind, bool elevated)
{
    switch (kind) {
    case FOUND_UNREADABLE: return "キーを読み取れません";
    case FOUND_ONLY_SUBKEYS:
        return "値がなく、サブキーだけがあるキーです (登録名に「\\」を含めて登録したものです)";
    case FOUND_EMPTY_PATH: return "実行ファイル (ExePath) が空です";
    case FOUND_QUOTED_PATH: return "実行ファイルのパスが \" で囲まれています。\" を外してください";
    case FOUND_NETWORK_PATH: return "実行ファイルはネットワーク上にあるため、確かめていません";
    case FOUND_NO_DRIVE:
        // A drive mapped by the ordinary session is not one of the elevated session's.
        if (!elevated)
            return "実行ファイルのドライブがありません。ドライブが接続されていないか、取り外されて"
                   "います";
        return "実行ファイルのドライブが、管理者の権限で動いているこのコルヴァネルからは見え"
               "ません。ふだんのユーザーが割り当てたネットワーク ドライブなら、\\\\サーバー名"
               "\\共有名\\... の形 (UNC パス) で登録してください";
    case FOUND_NO_PROGRAM: return "実行ファイルが見つかりません";
    case FOUND_PATH_TOO_LONG:
        return "実行ファイルのパスが長すぎます (260 文字以上)。Windows はこのパスでプログラムを"
               "起動できません";
    case FOUND_RELATIVE_PATH:
        return "実行ファイルのパスにドライブかフォルダーがなく、Cakewalk から見た場所で決まるため、"
               "確かめていません";
    case FOUND_BARE_NOT_FOUND:
        return "実行ファイルが名前だけで登録されていて、App Paths、システム フォルダー、PATH の"
               "どこにも見つかりません (Cakewalk 自身のフォルダーと作業フォルダーは確かめて"
               "いません)";
    case FOUND_BARE_IN_APP_PATHS:
        return "実行ファイルが名前だけで登録されています。App Paths で見つかりました";
    case FOUND_APP_PATHS_MISSING:
        return "実行ファイルが名前だけで登録されています。App Paths の登録先が見つかりません";
    case FOUND_BARE_ON_SEARCH_PATH:
        return "実行ファイルが名前だけで登録されています。システム フォルダーか PATH で見つかり"
               "ました";
    case FOUND_EMPTY_MENU_TEXT: return "メニュー項目 (MenuText) が空です";
    case FOUND_NOT_TEXT: return "文字列 (REG_SZ) ではありません";
    case FOUND_SHOWN_EMPTY:
        return "が 260 バイト以上あるため、コルヴァネルの一覧では空欄に表示されます";
    default: return NULL;
    }
}

static void PutEntries(ReportText* report, const MenuDiagnosis& diagnosis)
{
    Line(report, "");
    Line(report, "■ ツールごとの確認");
    int found = 0;
    for (int i = 0; i < diagnosis.count; i++) {
        const Finding& finding = diagnosis.findings[i];
        const char* problem = EntryProblem(finding.kind, diagnosis.elevated);
        if (!problem) continue;
        found++;
        if (finding.kind == FOUND_NOT_TEXT) {
            Line(report, "'%s': %s が%s (種類 %lu)。", finding.name, finding.detail, problem,
                 finding.type);
        } else if (finding.kind == FOUND_SHOWN_EMPTY) {
            Line(report, "'%s': %s %s。", finding.name, finding.detail, problem);
        } else if (finding.kind == FOUND_UNREADABLE) {
            char reason[512];
            ReasonText(finding.type, reason, sizeof reason);
            Line(report, "'%s': %s (%s)。", finding.name, problem, reason);
        } else if (finding.detail[0]) {
            Line(report, "'%s': %s: %s", finding.name, problem, finding.detail);
        } else {
            Line(report, "'%s': %s。", finding.name, problem);
        }
    }
    if (found == 0) Line(report, "気になる点はありません。");
}

static void BuildReport(ReportText* report, const MenuDiagnosis& diagnosis)
{
    PutThisMenu(report, diagnosis);
    if (OtherView() != THIS_VIEW) PutOtherMenu(report, diagnosis);
    PutVirtualCopy(report, diagnosis);
    PutEntries(report, diagnosis);
    Line(report, "");
    if (diagnosis.error != ERROR_SUCCESS)
        Line(report, "メモリが足りないため、調べた結果の一部を表示していません。");
    else if (diagnosis.count == 0 && diagnosis.access == ERROR_SUCCESS)
        Line(report, "問題は見つかりませんでした。");
}

static INT_PTR CALLBACK DiagnosisProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        // The default limit of an edit would cut the report of a long menu.
        SendDlgItemMessageA(hwnd, IDC_REPORT, EM_SETLIMITTEXT, 0, 0);
        LabelForScreenReaders(GetDlgItem(hwnd, IDC_REPORT), "調べた結果");
        SetDlgItemTextA(hwnd, IDC_REPORT, (const char*)lParam);
        // The report is read from its first line; selecting it all is left to the user.
        SetFocus(GetDlgItem(hwnd, IDC_REPORT));
        SendDlgItemMessageA(hwnd, IDC_REPORT, EM_SETSEL, 0, 0);
        return FALSE;
    case WM_COMMAND:
        // 閉じる carries IDCANCEL: the button, Enter, Esc and the close box all end it.
        if (LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, IDCANCEL);
        return FALSE;
    }
    return FALSE;
}

void ShowDiagnosis(HWND hwnd)
{
    MenuDiagnosis diagnosis;
    DWORD error = DiagnoseToolsMenu(&diagnosis);
    if (error != ERROR_SUCCESS) {
        FreeDiagnosis(&diagnosis);
        ReportSystemError(hwnd, error);
        return;
    }
    ReportText report = {};
    BuildReport(&report, diagnosis);
    FreeDiagnosis(&diagnosis);
    if (report.text)
        RunCentredDialog(IDD_DIAGNOSIS, hwnd, DiagnosisProc, (LPARAM)report.text);
    else
        ReportSystemError(hwnd, ERROR_NOT_ENOUGH_MEMORY);
    if (report.text) GlobalFree(report.text);
}
