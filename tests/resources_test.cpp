// The menu, accelerators, help strings and toolbar bitmaps as they are built into Korvanel.exe.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "app/app.h"
#include "res/resource.h"

static HMODULE Korvanel()
{
    static HMODULE module = [] {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(NULL, path, sizeof path);
        char* slash = strrchr(path, '\\');
        strcpy(slash + 1, "Korvanel.exe");
        return LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    }();
    return module;
}

// Bitmaps 104 and 103, top row first: K black, G green, N navy, S silver, W white.
static const char* const CalPixels[16] = {
    "KKKKKKKKKKKKSSS", "KWWWWWWWWWWKKSS", "KWWWWWWWWWWKWKS", "KWWWWWWWWWWKKKK",
    "KWWWWWWWWWWWWWK", "KWNNWWWWNWWWNWK", "KNWWNWWWNWWWNWK", "KNWWWWWNWNWWNWK",
    "KNWWWWWNWNWWNWK", "KNWWNWWNNNWWNWK", "KNWWNWNWWWNWNWK", "KWNNWWNWWWNWNNN",
    "KWWWWWWWWWWWWWK", "KWWWWWWWWWWWWWK", "KWWWWWWWWWWWWWK", "KKKKKKKKKKKKKKK",
};
static const char* const RefreshPixels[16] = {
    "SKKKKKKKKKKKSSS", "SKWWWWWWWWWKKSS", "SKWWWWWWWWWKWKS", "SKWWWWWWGWWKKKK",
    "SKWWWWWWGGWWWWK", "SKWWWWGGGGGWWWK", "SKWWWGWWGGWWWWK", "SKWWWGWWGWWWWWK",
    "SKWWWGWWWWGWWWK", "SKWWWWWGWWGWWWK", "SKWWWWGGWWGWWWK", "SKWWWGGGGGWWWWK",
    "SKWWWWGGWWWWWWK", "SKWWWWWGWWWWWWK", "SKWWWWWWWWWWWWK", "SKKKKKKKKKKKKKK",
};

// The standard 16-colour palette, in its usual order.
static const COLORREF StandardPalette[16] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255),
};

static int IndexOfLetter(char letter)
{
    switch (letter) {
    case 'K': return 0;
    case 'G': return 2;
    case 'N': return 4;
    case 'S': return 7;
    case 'W': return 15;
    }
    return -1;
}

static void ExpectBitmap(int id, const char* const rows[16])
{
    HRSRC found = FindResourceA(Korvanel(), MAKEINTRESOURCEA(id), (LPCSTR)RT_BITMAP);
    ASSERT_TRUE(found) << id;
    const BITMAPINFOHEADER* info =
        (const BITMAPINFOHEADER*)LockResource(LoadResource(Korvanel(), found));
    ASSERT_TRUE(info);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), info->biSize);
    EXPECT_EQ(15, info->biWidth);
    EXPECT_EQ(16, info->biHeight); // positive: stored bottom row first
    EXPECT_EQ(1, info->biPlanes);
    EXPECT_EQ(4, info->biBitCount);
    EXPECT_EQ((DWORD)BI_RGB, info->biCompression);
    ASSERT_TRUE(info->biClrUsed == 0 || info->biClrUsed == 16);

    const RGBQUAD* palette = (const RGBQUAD*)((const BYTE*)info + info->biSize);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(StandardPalette[i],
                  RGB(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue))
            << "palette entry " << i;

    const BYTE* bits = (const BYTE*)(palette + 16);
    const int stride = (15 * 4 + 31) / 32 * 4;
    ASSERT_GE(SizeofResource(Korvanel(), found), info->biSize + 16 * sizeof(RGBQUAD) + 16 * stride);
    for (int row = 0; row < 16; row++) {
        const BYTE* line = bits + (15 - row) * stride;
        for (int x = 0; x < 15; x++) {
            int index = x % 2 ? line[x / 2] & 0x0F : line[x / 2] >> 4;
            EXPECT_EQ(IndexOfLetter(rows[row][x]), index)
                << "bitmap " << id << " row " << row << " column " << x;
        }
    }
}

TEST(ToolbarBitmaps, EveryPixelMatchesThePicture)
{
    ASSERT_TRUE(Korvanel());
    ExpectBitmap(IDB_CAL, CalPixels);
    ExpectBitmap(IDB_REFRESH, RefreshPixels);
}

struct MenuRow {
    UINT id; // 0: a separator
    const char* text;
    const char* help;
};

static const MenuRow FileRows[] = {
    {IDM_REGISTER_SELF, "ツールとして登録(&T)",
     "コルヴァネルを Cakewalk の [ツール] メニューへ登録します。"},
    {0, "", ""},
    {IDM_IMPORT, "取り込み(&I)...",
     "テキスト ファイルから Cakewalk の [ツール] メニューへ取り込みます。"},
    {IDM_EXPORT, "書き出し(&E)...", "ツールの情報をテキスト ファイルへ書き出します。"},
    {0, "", ""},
    {IDM_EXIT, "終了(&X)", "コルヴァネルを終了します。"},
};
static const MenuRow ToolRows[] = {
    {IDM_OPEN, "開く(&O)", "ツールを起動します。"},
    {0, "", ""},
    {IDM_REGISTER, "登録(&S)\tCtrl+R", "ツールを Cakewalk の [ツール] メニューへ登録します。"},
    {IDM_DELETE, "削除(&E)\tCtrl+D", "ツールを Cakewalk の [ツール] メニューから削除します。"},
    {0, "", ""},
    {IDM_CAL, "起動用 CAL ファイルの作成(&F)\tCtrl+E", "ツール起動用の CAL ファイルを作成します"},
    {0, "", ""},
    {IDM_REFRESH, "最新の情報に更新(&R)\tF5", "表示内容を最新の状態に更新します。"},
};
static const MenuRow HelpRows[] = {
    {IDM_README, "readme.txt", "readme.txt を開きます。"},
    {IDM_HISTORY, "history.txt", "history.txt を開きます。"},
    {0, "", ""},
    {IDM_ABOUT, "バージョン情報(&V)...", "コルヴァネルのバージョン情報を表示します。"},
};

static std::string MenuText(HMENU menu, UINT position)
{
    char text[256] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

static void ExpectPopup(HMENU popup, const MenuRow* rows, int count)
{
    ASSERT_EQ(count, GetMenuItemCount(popup));
    for (int i = 0; i < count; i++) {
        UINT state = GetMenuState(popup, (UINT)i, MF_BYPOSITION);
        if (!rows[i].id) {
            EXPECT_NE(0u, state & MF_SEPARATOR) << "position " << i;
            continue;
        }
        EXPECT_EQ(0u, state & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP)) << rows[i].text;
        EXPECT_EQ(rows[i].id, GetMenuItemID(popup, i));
        EXPECT_EQ(rows[i].text, MenuText(popup, (UINT)i));
        char help[256] = "";
        LoadStringA(Korvanel(), rows[i].id, help, sizeof help);
        EXPECT_STREQ(rows[i].help, help) << rows[i].id;
    }
}

TEST(MainMenu, PopupsItemsAndTheirHelpStrings)
{
    HMENU menu = LoadMenuA(Korvanel(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_TRUE(menu);
    ASSERT_EQ(3, GetMenuItemCount(menu));
    EXPECT_EQ("ファイル(&F)", MenuText(menu, 0));
    EXPECT_EQ("ツール(&T)", MenuText(menu, 1));
    EXPECT_EQ("ヘルプ(&H)", MenuText(menu, 2));
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, 2, TRUE, &info);
    EXPECT_EQ(0u, info.fType & MFT_RIGHTJUSTIFY);
    ExpectPopup(GetSubMenu(menu, 0), FileRows, 6);
    ExpectPopup(GetSubMenu(menu, 1), ToolRows, 8);
    ExpectPopup(GetSubMenu(menu, 2), HelpRows, 4);
    DestroyMenu(menu);
}

TEST(Accelerators, TableInResourceOrderWithoutInversion)
{
    HACCEL table = LoadAcceleratorsA(Korvanel(), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_TRUE(table);
    ACCEL rows[16];
    int count = CopyAcceleratorTableA(table, rows, 16);
    const ACCEL expected[] = {
        {FCONTROL, 'D', IDM_DELETE},
        {FCONTROL, 'E', IDM_CAL},
        {FALT, 'E', IDM_FOCUS_EXE_PATH},
        {FALT, 'M', IDM_FOCUS_MENU_TEXT},
        {FCONTROL, 'R', IDM_REGISTER},
        {FALT, 'R', IDM_FOCUS_NAME},
        {FALT, 'S', IDM_FOCUS_STATUS_TEXT},
        {0, VK_F5, IDM_REFRESH},
        {0, VK_TAB, IDM_TAB},
        {FSHIFT, VK_TAB, IDM_BACK_TAB},
    };
    ASSERT_EQ(10, count);
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(expected[i].fVirt | FVIRTKEY | FNOINVERT, rows[i].fVirt & 0x7F) << "row " << i;
        EXPECT_EQ(expected[i].key, rows[i].key) << "row " << i;
        EXPECT_EQ(expected[i].cmd, rows[i].cmd) << "row " << i;
    }
}

TEST(CommonControlsVersion, ReadsDllGetVersionOrGivesZero)
{
    // Wine reports 5.81; any library from 4.70 on gets flat toolbar buttons.
    EXPECT_GE(CommonControlsVersion(), (DWORD)MAKELONG(70, 4));
    EXPECT_EQ(CommonControlsVersion(), LibraryVersion("comctl32.dll"));
    EXPECT_EQ(0u, LibraryVersion("kernel32.dll")); // no DllGetVersion export
    EXPECT_EQ(0u, LibraryVersion("no_such_library_here.dll"));
}
