// The resources that the About box reads, checked in the built Korvanel.exe itself.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "res/resource.h"

static std::string KorvanelExe()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, sizeof path);
    strcpy(strrchr(path, '\\') + 1, "Korvanel.exe");
    return path;
}

class OwnResources : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        Module = LoadLibraryExA(KorvanelExe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (Module) FreeLibrary(Module);
    }
    // The Japanese resource of that type and name, as it lies in the file.
    static std::vector<BYTE> Japanese(LPCSTR type, WORD id)
    {
        HRSRC found = FindResourceExA(Module, type, MAKEINTRESOURCEA(id),
                                      MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        if (!found) return {};
        const BYTE* data = (const BYTE*)LockResource(LoadResource(Module, found));
        return std::vector<BYTE>(data, data + SizeofResource(Module, found));
    }
    static HMODULE Module;
};
HMODULE OwnResources::Module;

// Walks a resource a little-endian word at a time.
struct Reader {
    const BYTE *base, *p;
    WORD Word()
    {
        WORD w = (WORD)(p[0] | p[1] << 8);
        p += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | (DWORD)Word() << 16;
    }
    short Short()
    {
        return (short)Word();
    }
    std::wstring String()
    {
        std::wstring s;
        for (WORD c; (c = Word()) != 0;)
            s += (wchar_t)c;
        return s;
    }
    // A name or an ordinal, as dialog templates hold them; ordinals come back as "#n".
    std::wstring NameOrOrdinal()
    {
        if (p[0] == 0xFF && p[1] == 0xFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }
    void Align()
    {
        while ((p - base) % 4)
            p++;
    }
};

static std::wstring ClassName(const std::wstring& name)
{
    if (name == L"#128") return L"button";
    if (name == L"#129") return L"edit";
    if (name == L"#130") return L"static";
    std::wstring lower = name;
    for (wchar_t& c : lower)
        c = (wchar_t)towlower(c);
    return lower;
}

TEST_F(OwnResources, AboutTemplateIsTheExtendedDialogOfTheTable)
{
    std::vector<BYTE> data = Japanese(RT_DIALOG, IDD_ABOUT);
    ASSERT_FALSE(data.empty());
    Reader r = {data.data(), data.data()};
    EXPECT_EQ(1, r.Word());      // DLGTEMPLATEEX
    EXPECT_EQ(0xFFFF, r.Word()); // signature
    EXPECT_EQ(0u, r.Dword());    // help identifier
    EXPECT_EQ(0u, r.Dword());    // extended style
    EXPECT_EQ((DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), r.Dword());
    WORD count = r.Word();
    EXPECT_EQ(9, count);
    short frame[4] = {r.Short(), r.Short(), r.Short(), r.Short()};
    EXPECT_EQ(0, frame[0]);
    EXPECT_EQ(0, frame[1]);
    EXPECT_EQ(202, frame[2]);
    EXPECT_EQ(141, frame[3]);
    EXPECT_EQ(L"", r.NameOrOrdinal()); // menu
    EXPECT_EQ(L"", r.NameOrOrdinal()); // class
    EXPECT_EQ(L"バージョン情報", r.String());
    EXPECT_EQ(9, r.Word()); // points
    EXPECT_EQ(0, r.Word()); // weight
    EXPECT_EQ(0, *r.p++);   // italic
    EXPECT_EQ(1, *r.p++);   // DEFAULT_CHARSET
    EXPECT_EQ(L"ＭＳ Ｐゴシック", r.String());

    const DWORD base = WS_CHILD | WS_VISIBLE;
    struct Control {
        LONG id;
        const wchar_t *className, *text;
        short x, y, cx, cy;
        DWORD style, exStyle;
    } expected[] = {
        {-1, L"static", L"#105", 7, 7, 20, 21, base | SS_ICON, 0},
        {2000, L"static", L"", 43, 8, 152, 21, base | SS_LEFT | SS_NOPREFIX, 0},
        {2, L"button", L"OK", 148, 114, 47, 14, base | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
        {2001, L"static", L"", 34, 116, 100, 8, base | SS_LEFT | SS_NOPREFIX, 0},
        {2002, L"edit", L"", 34, 38, 161, 32,
         base | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
        {-1, L"static", L"電子メール:", 34, 80, 42, 8, base | SS_LEFT | WS_GROUP, 0},
        {1001, L"edit", L"", 82, 80, 112, 12, base | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, 0},
        {-1, L"static", L"ホームページ:", 34, 92, 42, 8, base | SS_LEFT | WS_GROUP, 0},
        {1002, L"edit", L"", 82, 92, 112, 12, base | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, 0},
    };
    for (int i = 0; i < count && i < 9; i++) {
        const Control& e = expected[i];
        r.Align();
        EXPECT_EQ(0u, r.Dword()) << "help identifier of control " << i;
        EXPECT_EQ(e.exStyle, r.Dword()) << i;
        EXPECT_EQ(e.style, r.Dword()) << i;
        short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
        EXPECT_EQ(e.x, x) << i;
        EXPECT_EQ(e.y, y) << i;
        EXPECT_EQ(e.cx, cx) << i;
        EXPECT_EQ(e.cy, cy) << i;
        EXPECT_EQ(e.id, (LONG)r.Dword()) << i;
        EXPECT_EQ(e.className, ClassName(r.NameOrOrdinal())) << i;
        EXPECT_EQ(e.text, r.NameOrOrdinal()) << i;
        r.p += r.Word(); // creation data
    }
    EXPECT_LE((size_t)(r.p - r.base), data.size());
}

TEST_F(OwnResources, VersionStringsFitTheirThirtyByteBuffers)
{
    struct {
        UINT id;
        const char* text;
    } rows[] = {{IDS_VERSION_PREFIX, "\\StringFileInfo\\041104b0\\"},
                {IDS_FILE_DESCRIPTION, "FileDescription"},
                {IDS_LEGAL_COPYRIGHT, "LegalCopyright"},
                {IDS_COMMENTS, "Comments"}};
    for (auto& row : rows) {
        EXPECT_FALSE(Japanese(RT_STRING, (WORD)(row.id / 16 + 1)).empty()) << row.id;
        char text[30];
        memset(text, '#', sizeof text);
        int length = LoadStringA(Module, row.id, text, sizeof text);
        EXPECT_STREQ(row.text, text);
        EXPECT_LT(length, 29) << "cut short: " << row.id;
    }
}

// One node of a version resource: key, value and children, as the block lays them out.
struct VersionNode {
    std::wstring key;
    WORD type = 0;
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
};

static VersionNode ParseNode(Reader& r)
{
    r.Align();
    const BYTE* start = r.p;
    VersionNode node;
    WORD length = r.Word(), valueLength = r.Word();
    node.type = r.Word();
    node.key = r.String();
    r.Align();
    // Text values count their length in characters, binary values in bytes.
    size_t valueBytes = node.type == 1 ? valueLength * 2u : valueLength;
    node.value.assign(r.p, r.p + valueBytes);
    r.p += valueBytes;
    while (true) {
        r.Align();
        if (r.p >= start + length) break;
        node.children.push_back(ParseNode(r));
    }
    r.p = start + length;
    return node;
}

static std::wstring Text(const VersionNode& node)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < node.value.size(); i += 2) {
        wchar_t c = (wchar_t)(node.value[i] | node.value[i + 1] << 8);
        if (!c) break;
        text += c;
    }
    return text;
}

TEST_F(OwnResources, VersionBlockHoldsTheNineStringsInOrderAndOneTranslation)
{
    std::vector<BYTE> data = Japanese(RT_VERSION, 1);
    ASSERT_FALSE(data.empty()) << "no version resource 1 in language 0x411";
    Reader r = {data.data(), data.data()};
    VersionNode root = ParseNode(r);
    EXPECT_EQ(L"VS_VERSION_INFO", root.key);
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), root.value.size());
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed.dwSignature);
    EXPECT_EQ(MAKELONG(2, 1), (LONG)fixed.dwFileVersionMS);
    EXPECT_EQ(MAKELONG(316, 2000), (LONG)fixed.dwFileVersionLS);
    EXPECT_EQ(MAKELONG(2, 1), (LONG)fixed.dwProductVersionMS);
    EXPECT_EQ(MAKELONG(316, 2000), (LONG)fixed.dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed.dwFileFlagsMask);
    EXPECT_EQ(0u, fixed.dwFileFlags);
    EXPECT_EQ(0x40004u, fixed.dwFileOS);
    EXPECT_EQ(1u, fixed.dwFileType);
    EXPECT_EQ(0u, fixed.dwFileSubtype);

    ASSERT_EQ(2u, root.children.size());
    const VersionNode &strings = root.children[0], &variables = root.children[1];
    EXPECT_EQ(L"StringFileInfo", strings.key);
    ASSERT_EQ(1u, strings.children.size());
    EXPECT_EQ(L"041104b0", strings.children[0].key);
    const std::vector<VersionNode>& values = strings.children[0].children;
    const wchar_t* keys[] = {L"Comments",         L"CompanyName",  L"FileDescription",
                             L"FileVersion",      L"InternalName", L"LegalCopyright",
                             L"OriginalFilename", L"ProductName",  L"ProductVersion"};
    ASSERT_EQ(9u, values.size());
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(keys[i], values[i].key) << i;
    EXPECT_EQ(L"Cakewalk 5.0 以降に存在する [ツール] メニューを編集するための、簡易エディタ。",
              Text(values[0]));
    std::wstring company = Text(values[1]), description = Text(values[2]);
    EXPECT_EQ(L"Korvanel Works", company);
    EXPECT_NE(std::wstring::npos, description.find(L"コルヴァネル"));
    EXPECT_NE(std::wstring::npos, description.find(L"1.2"));
    EXPECT_EQ(L"1, 2, 2000, 316", Text(values[3]));
    EXPECT_EQ(L"Korvanel", Text(values[4]));
    EXPECT_NE(std::wstring::npos, Text(values[5]).find(company)) << "the notice names the maker";
    EXPECT_EQ(L"Korvanel.exe", Text(values[6]));
    EXPECT_EQ(description, Text(values[7]));
    EXPECT_EQ(L"1, 2, 2000, 316", Text(values[8]));

    EXPECT_EQ(L"VarFileInfo", variables.key);
    ASSERT_EQ(1u, variables.children.size());
    EXPECT_EQ(L"Translation", variables.children[0].key);
    std::vector<BYTE> translation = {0x11, 0x04, 0xB0, 0x04};
    EXPECT_EQ(translation, variables.children[0].value);
}

TEST_F(OwnResources, VersionApiReadsTheFixedPartAndTheJapaneseTexts)
{
    std::string exe = KorvanelExe();
    DWORD handle = 0, size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (void**)&fixed, &length));
    EXPECT_EQ(0x00010002u, fixed->dwFileVersionMS);
    EXPECT_EQ((2000u << 16) | 316u, fixed->dwFileVersionLS);
    char* comments = NULL;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\Comments",
                               (void**)&comments, &length));
    // The code page 932 bytes of the description, as the About box shows them.
    EXPECT_STREQ("Cakewalk 5.0 以降に存在する [ツール] メニューを編集するための、簡易エディタ。",
                 comments);
}
