// プロパティ's decisions: which list choice a stored value is, what the user changed of an entry's
// values, and the changes written as one step of 元に戻す.
#include <windows.h>
#include <string.h>
#include "dialogs/dialogs.h"
#include "editor/editor.h"

int StoredChoice(EntryValueId id, const StoredValue& value)
{
    if (!value.present) return CHOICE_NONE;
    if (id == VALUE_MODAL)
        return value.numberExact && value.number <= 1 ? (int)value.number : CHOICE_KEEP;
    // The host may compare the words with regard to case: another case is kept as it is.
    if (value.type == REG_SZ && value.textExact)
        for (int i = 0; i < TOOL_TYPE_COUNT; i++)
            if (strcmp(value.text, ToolTypes[i]) == 0) return i;
    return CHOICE_KEEP;
}

// Decimal digits only, no sign and no blanks, up to 4294967295; leading zeros are fine. A digit
// may be full-width (０ to ９, 82 4F to 82 58), as a Japanese IME left on types it.
static bool ParseTopic(const char* text, DWORD* number)
{
    if (!text[0]) return false;
    ULONGLONG value = 0;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (p[0] == 0x82 && p[1] >= 0x4F && p[1] <= 0x58)
            digit = *++p - 0x4F;
        else
            return false;
        value = value * 10 + (ULONGLONG)digit;
        if (value > MAXDWORD) return false;
    }
    *number = (DWORD)value;
    return true;
}

static bool IsChoiceField(EntryValueId id)
{
    return id == VALUE_TYPE || id == VALUE_MODAL;
}

// A changed field: what to write, or the problem with it.
static PropertyProblem DecideField(EntryValueId id, const StoredValue& stored, const char* text,
                                   ValueChange* change)
{
    ZeroMemory(change, sizeof *change);
    change->value = id;
    bool required = id == VALUE_MENU_TEXT || id == VALUE_EXE_PATH;
    if (!text[0] && required) return PROPERTY_EMPTY;
    if (strlen(text) >= FIELD_SIZE) return PROPERTY_TOO_LONG;
    if (id == VALUE_HELP_TOPIC) {
        change->type = REG_DWORD;
        change->remove = !text[0];
        if (!change->remove && !ParseTopic(text, &change->number)) return PROPERTY_NOT_NUMBER;
        return PROPERTY_FINE;
    }
    // Emptied, an optional value goes; the status-bar text stays, empty, as 登録 stores it.
    change->remove = !text[0] && id != VALUE_STATUS_TEXT;
    change->type = stored.present && stored.type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ;
    lstrcpynA(change->text, text, sizeof change->text);
    return PROPERTY_FINE;
}

static bool DecideChoice(EntryValueId id, const StoredValue& stored, int choice,
                         ValueChange* change)
{
    ZeroMemory(change, sizeof *change);
    change->value = id;
    if (choice == CHOICE_KEEP || choice == StoredChoice(id, stored)) return false;
    if (choice == CHOICE_NONE) {
        change->remove = true;
    } else if (id == VALUE_MODAL) {
        change->type = REG_DWORD;
        change->number = (DWORD)choice;
    } else {
        change->type = REG_SZ;
        lstrcpynA(change->text, ToolTypes[choice], sizeof change->text);
    }
    return true;
}

PropertyProblem DecideValueChanges(const EntryValues& values, const PropertyInput& input,
                                   ValueChange* changes, int* count, EntryValueId* where)
{
    *count = 0;
    for (int i = 0; i < ENTRY_VALUE_COUNT; i++) {
        EntryValueId id = (EntryValueId)i;
        const StoredValue& stored = values.known[i];
        ValueChange change;
        if (IsChoiceField(id)) {
            if (DecideChoice(id, stored, id == VALUE_TYPE ? input.typeChoice : input.modalChoice,
                             &change))
                changes[(*count)++] = change;
            continue;
        }
        char shown[VALUE_TEXT_SIZE];
        // A field that shows no exact text was never editable, and nothing typed reaches it.
        if (!ShownValueText(id, stored, shown, sizeof shown) || strcmp(shown, input.text[i]) == 0)
            continue;
        PropertyProblem problem = DecideField(id, stored, input.text[i], &change);
        if (problem != PROPERTY_FINE) {
            *where = id;
            return problem;
        }
        // Emptying what is not there changes nothing.
        if (change.remove && !stored.present) continue;
        changes[(*count)++] = change;
    }
    return PROPERTY_FINE;
}

void ApplyValueChanges(HWND hwnd, const char* name, const ValueChange* changes, int count)
{
    if (count == 0) return;
    const char* names[] = {name};
    if (!BeginUndoStep(hwnd, UNDO_PROPERTIES, name, THIS_VIEW, names, 1)) return;
    DWORD error = WriteEntryValues(name, changes, count);
    EndUndoStep(error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS) ReportSystemError(hwnd, error);
    // The main fields show what is stored now, as after F5.
    RefreshToolList(hwnd);
    SelectEntryNamed(hwnd, name);
    if (error == ERROR_SUCCESS) SayResult(hwnd, "「%s」のプロパティを変更しました。", name);
}
