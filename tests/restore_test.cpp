// Registry files read back as entries: Wine's own exports and Korvanel's backup, the refusals,
// and the preview's states.
#include <windows.h>
#include <gtest/gtest.h>
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "tests/support.h"

using namespace support;

static std::string Bytes(const KeyRecord& record)
{
    return record.bytes ? std::string((const char*)record.bytes, record.size) : "";
}

static BackupMenus Menus()
{
    BackupMenus menus;
    ToolsMenuRegistryPath(KEY_WOW64_64KEY, menus.path64, BACKUP_PATH_CHARACTERS);
    ToolsMenuRegistryPath(KEY_WOW64_32KEY, menus.path32, BACKUP_PATH_CHARACTERS);
    return menus;
}

static BackupFile Parse(const std::string& bytes)
{
    BackupFile backup;
    EXPECT_EQ(ERROR_SUCCESS,
              ParseBackupText((const BYTE*)bytes.data(), (DWORD)bytes.size(), Menus(), &backup));
    return backup;
}

static std::string Wide(const std::wstring& text)
{
    return std::string("\xFF\xFE") + std::string((const char*)text.data(), text.size() * 2);
}

// Files that no code of ours wrote, and our own backup, each read back to the very record that
// the registry gives, and written back to the same tree.
TEST(Restore, WineExportsAndTheBackupComeBackByteForByte)
{
    ClearToolsMenu();
    PutEntry("\x95\x5C\x8C\x76\x8E\x5A", "C:\\\x83\x5C\x83\x74\x83\x67\\a.exe", "&M", "");
    HKEY key = CreateKey("Wave \"Editor\"\\Options");
    SetValue(key, L"", REG_SZ, std::string("C\0:\0\\\0\"\0\0\0", 10));
    SetValue(key, L"Quote\"Back\\slash", REG_SZ, std::string("a\0\0\0b\0\0\0", 8));
    SetValue(key, L"Unterminated", REG_SZ, std::string("a\0b\0", 4));
    SetValue(key, L"Expand", REG_EXPAND_SZ, std::string("%\0W\0%\0\0\0", 8));
    SetValue(key, L"Multi", REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10));
    SetValue(key, L"Modal", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    SetValue(key, L"Wrapped", REG_BINARY, std::string(200, '\xA5'));
    SetValue(key, L"\u8868\u793A", REG_NONE, "");
    SetValue(key, L"Big", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    RegCloseKey(key);
    const std::string before = Tree();
    KeyRecord menu = {};
    ASSERT_EQ(ERROR_SUCCESS, RecordMenuEntries(THIS_VIEW, &menu));

    wchar_t path[BACKUP_PATH_CHARACTERS];
    ToolsMenuRegistryPath(THIS_VIEW, path, BACKUP_PATH_CHARACTERS);
    char key932[BACKUP_PATH_CHARACTERS * 2];
    WideCharToMultiByte(CP_ACP, 0, path, -1, key932, sizeof key932, NULL, NULL);
    const std::string regedit = TempFile("korvanel-regedit.reg"),
                      reg = TempFile("korvanel-reg.reg"), ours = TempFile("korvanel-ours.reg");
    RunProgram("regedit.exe /e \"" + regedit + "\" \"" + key932 + "\"");
    RunProgram("reg.exe export \"" + std::string(key932) + "\" \"" + reg + "\" /y");
    char refused[256];
    ASSERT_EQ(ERROR_SUCCESS,
              WriteRegistryBackup(ours.c_str(), MenuName(THIS_VIEW), refused, sizeof refused));
    for (const std::string& file : {regedit, reg, ours}) {
        SCOPED_TRACE(file);
        // The lines wrap: the parser had continuation lines to join.
        ASSERT_NE(std::string::npos, ReadFileBytes(file).find(std::string("\\\0\r\0\n\0", 6)));
        // Wine's exports cut a string at its first zero, inner or last: they are held to what
        // the registry's editor makes of them, ours to the tree it was made from.
        KeyRecord expected = {};
        std::string expectedTree = before;
        if (file == ours) {
            ASSERT_EQ(ERROR_SUCCESS, RecordMenuEntries(THIS_VIEW, &expected));
        } else {
            ClearToolsMenu();
            ImportRegistryFile(file);
            ASSERT_EQ(ERROR_SUCCESS, RecordMenuEntries(THIS_VIEW, &expected));
            expectedTree = Tree();
        }
        BackupFile backup;
        ASSERT_EQ(ERROR_SUCCESS, ReadBackupFile(file.c_str(), &backup));
        EXPECT_EQ(BACKUP_READ, backup.refusal) << backup.line << ": " << backup.lineText;
        EXPECT_EQ(64, backup.pathBits);
        EXPECT_EQ(file == ours ? 64 : 0, backup.namedBits);
        EXPECT_EQ(Bytes(expected), Bytes(backup.record));
        ClearToolsMenu();
        EXPECT_EQ(ERROR_SUCCESS, RestoreEntryKeys(THIS_VIEW, &backup.record));
        EXPECT_EQ(expectedTree, Tree());
        FreeBackupFile(&backup);
        FreeKeyRecord(&expected);
        ClearToolsMenu();
        RestoreEntryKeys(THIS_VIEW, &menu);
    }
    FreeKeyRecord(&menu);
}

// A REGEDIT4 file is code page 932, whose 0x5C trail bytes are no backslash; its text values come
// out in UTF-16, and a key or value given twice is one.
TEST(Restore, Regedit4IsCodePage932)
{
    BackupFile backup = Parse("REGEDIT4\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Cakewalk Music Software\\Tools "
                              "Menu\\\x95\x5C]\r\n"
                              "\"\x95\x5C\"=\"\x95\x5C\\\\\"\r\n"
                              "\"E\"=hex(2):25,00\r\n"
                              "\"D\"=dword:2\r\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Cakewalk Music Software\\TOOLS "
                              "MENU\\\x95\x5C]\r\n"
                              "\"d\"=dword:1\r\n");
    EXPECT_EQ(BACKUP_READ, backup.refusal) << backup.line << ": " << backup.lineText;
    KeyRecord expected = {};
    AppendRecordItem(&expected, KEY_BEGIN, L"\u8868", 1);
    AppendRecordValue(&expected, L"\u8868", 1, REG_SZ, (const BYTE*)L"\u8868\\", 6);
    AppendRecordValue(&expected, L"E", 1, REG_EXPAND_SZ, (const BYTE*)L"%", 4);
    AppendRecordValue(&expected, L"D", 1, REG_DWORD, (const BYTE*)"\x01\0\0\0", 4);
    AppendRecordItem(&expected, KEY_END, NULL, 0);
    EXPECT_EQ(Bytes(expected), Bytes(backup.record));
    FreeKeyRecord(&expected);
    FreeBackupFile(&backup);
}

TEST(Restore, RefusesTheWholeFileNamingItsFirstBadLine)
{
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\"
                             "Cakewalk Music Software\\Tools Menu\\A]\r\n\"x\"=\"1\"\r\n";
    const struct {
        std::string text;
        BackupRefusal refusal;
        int line;
        const char* shown;
    } rows[] = {
        {head + "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n",
         BACKUP_FOREIGN_KEY, 5,
         "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]"},
        {head + "[HKEY_LOCAL_MACHINE\\Software\\Cakewalk Music Software\\Tools Menu Extra]\r\n",
         BACKUP_FOREIGN_KEY, 5, NULL},
        {head + "[HKEY_LOCAL_MACHINE\\Software\\Cakewalk Music Software\\Tools Menu\\B]\r\n",
         BACKUP_TWO_MENUS, 5, NULL},
        {head + "[-HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Cakewalk Music Software\\Tools "
                "Menu\\A]\r\n",
         BACKUP_DELETION, 5, NULL},
        {head + "\"x\"=-\r\n", BACKUP_DELETION, 5, "\"x\"=-"},
        {head + "\"b\"=hex:00,01,\\\r\n  02,0g\r\n", BACKUP_BAD_LINE, 6, "  02,0g"},
        {head + "\"b\"=dword:123456789\r\n", BACKUP_BAD_LINE, 5, NULL},
        {head + "\"s\"=\"open\r\n", BACKUP_BAD_LINE, 5, NULL},
        {head + "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Cakewalk Music Software\\Tools "
                "Menu]\r\n@=\"\"\r\n",
         BACKUP_MENU_VALUE, 6, NULL},
        {head + "\"" + std::string(300, 'x') + "\"=\"\x95\r\n", BACKUP_BAD_LINE, 5, NULL},
        // A zero inside a name would name another key or value at the write.
        {head + std::string("\"a\0b\"=\"1\"\r\n", 11), BACKUP_BAD_LINE, 5, NULL},
        {head + std::string("[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Cakewalk Music "
                            "Software\\Tools Menu\\A\0B]\r\n",
                            82),
         BACKUP_BAD_LINE, 5, NULL},
        {"Windows Registry Editor Version 5.00\r\n", BACKUP_NOT_REGISTRY_FILE, 1, NULL},
        {"\xEF\xBB\xBFREGEDIT4\r\n", BACKUP_UTF8_FILE, 0, ""},
        {Wide(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\"
              L"Cakewalk Music Software\\Tools Menu\\\u8868]\r\n\"a\"=hex(7):00\\\r\n"
              L"; a comment is no continuation\r\n"),
         BACKUP_BAD_LINE, 5, "; a comment is no continuation"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        BackupFile backup = Parse(row.text);
        EXPECT_EQ(row.refusal, backup.refusal);
        EXPECT_EQ(row.line, backup.line);
        if (row.shown) {
            EXPECT_STREQ(row.shown, backup.lineText);
        }
        EXPECT_EQ(0u, backup.record.size);
        FreeBackupFile(&backup);
    }
    // So many names in one key that matching each against the others would never end.
    std::string many = head;
    for (int i = 0; i <= 10000; i++)
        many += "\"v" + std::to_string(i) + "\"=\"\"\r\n";
    BackupFile crowded = Parse(many);
    EXPECT_EQ(BACKUP_TOO_MANY, crowded.refusal);
    EXPECT_EQ(0u, crowded.record.size);
    FreeBackupFile(&crowded);
    // A long line is cut at a whole character, and says so.
    BackupFile backup = Parse(head + "\"" + std::string(79, 'x') + "\x95\x5C" + "\"=-\r\n");
    EXPECT_EQ(std::string("\"") + std::string(79, 'x') + "…", backup.lineText);
    FreeBackupFile(&backup);
}

static void Entry(KeyRecord* record, const wchar_t* name, const char* data)
{
    AppendRecordItem(record, KEY_BEGIN, name, (DWORD)wcslen(name));
    AppendRecordValue(record, L"ExePath", 7, REG_SZ, (const BYTE*)data, (DWORD)strlen(data));
    AppendRecordItem(record, KEY_END, NULL, 0);
}

TEST(Preview, EachEntryOfEitherRecordHasOneRowWithItsState)
{
    KeyRecord incoming = {}, present = {};
    Entry(&incoming, L"Same", "a");
    Entry(&incoming, L"Changed", "a");
    Entry(&incoming, L"Case", "a");
    Entry(&incoming, L"New", "a");
    Entry(&present, L"Only", "a");
    Entry(&present, L"CHANGED", "b");
    // Other letters, same tree: a key's name is part of what is restored.
    Entry(&present, L"case", "a");
    Entry(&present, L"Same", "a");
    PreviewRow* rows = NULL;
    int count = 0;
    ASSERT_EQ(ERROR_SUCCESS, ComparePreview(&incoming, &present, &rows, &count));
    const struct {
        const wchar_t* name;
        PreviewState state;
    } expected[] = {{L"Same", PREVIEW_SAME},
                    {L"Changed", PREVIEW_CHANGED},
                    {L"Case", PREVIEW_CHANGED},
                    {L"New", PREVIEW_NEW},
                    {L"Only", PREVIEW_ONLY_PRESENT}};
    ASSERT_EQ(5, count);
    for (int i = 0; i < count; i++) {
        EXPECT_STREQ(expected[i].name, rows[i].name);
        EXPECT_EQ(expected[i].state, rows[i].state) << i;
    }
    // Each row's position finds its own entry in its own record.
    DWORD position = rows[4].position;
    KeyItem item;
    ASSERT_TRUE(NextEntryKey(&present, &position, &item));
    EXPECT_EQ(std::wstring(L"Only"), std::wstring(item.name, item.nameCharacters));
    GlobalFree(rows);
    FreeKeyRecord(&incoming);
    FreeKeyRecord(&present);
}
