#pragma once
// The launcher script, byte for byte, as Cakewalk should find it: shared by the unit test of the
// text and the end-to-end test of the saved file.
#include <string>

inline std::string CalBytes(const std::string& name, const std::string& path)
{
    return "; \x82\xB1\x82\xCC"
           "CAL\x83t\x83@\x83"
           "C\x83\x8B\x82\xF0"
           "Cakewalk\x82\xCC[\x83L\x81["
           "\x90\xDD\x92\xE8]\x82\xC5\x83V\x83\x87\x81[\x83g\x83J\x83"
           "b\x83g\x81"
           "E\x83L\x81["
           "\x82\xC9\x8A\xD6\x98"
           "A\x82\xC3\x82\xAF\x82\xE9\x82\xC6\x81"
           "A\"" +
           name +
           "\"\x82\xF0\x88\xEA\x94\xAD\x82\xC5\x8AJ\x82\xAD\x82\xB1\x82\xC6\x82\xAA\x82\xC5\x82"
           "\xAB\x82\xDC\x82\xB7\x81"
           "B\r\n"
           "; \x82\xC7\x82\xA4\x82\xE2\x82\xE7"
           "Cakewalk 6.0\x88\xC8\x8F\xE3\x82\xC5\x82\xB5\x82"
           "\xA9\x93\xAE\x8D\xEC\x82\xB5\x82\xC8\x82\xA2\x82\xE6\x82\xA4\x82\xC5\x82\xB7\x81"
           "B\r\n\r\n"
           "(DLL \"shell32\" \"ShellExecuteA\" (DLL \"user32\" \"GetDesktopWindow\") \"open\" \"" +
           path + "\" \"\" \"\" 1)";
}
