// What a screen reader needs beyond the controls' own texts: labels that are not drawn, names for
// buttons whose captions are symbols, and results said without moving the focus.
#include <windows.h>
#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <stdarg.h>
#include <stdio.h>
#include "dialogs/dialogs.h"
#include "res/resource.h"

// UI Automation's LiveSetting property, which oleacc takes as an annotation of a window; Polite
// waits for the screen reader to finish what it is saying.
DEFINE_GUID(LiveSettingProperty, 0xc12bcd8e, 0x2a8e, 0x4950, 0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d,
            0x58, 0xeb);
enum { LIVE_SETTING_POLITE = 1 };
// Declared by the headers only for Windows 8 and later; Windows 7 ignores the event.
enum { LIVE_REGION_CHANGED_EVENT = 0x8019 };

// The annotation service of oleacc, made for each use: a few calls while windows are made. Null
// where COM or oleacc is missing.
static IAccPropServices* AnnotationService()
{
    IAccPropServices* service = NULL;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, NULL, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, (void**)&service)))
        return NULL;
    return service;
}

void LabelForScreenReaders(HWND control, const char* text)
{
    // Taken before the label exists, which the system may place anywhere among its siblings.
    HWND previous = GetWindow(control, GW_HWNDPREV);
    HWND parent = GetParent(control);
    // Never WS_VISIBLE: it draws nothing, and the dialog manager passes over it for Tab and for
    // the letter after its "&".
    HWND label = CreateWindowExA(0, "STATIC", text, WS_CHILD | SS_LEFT, 0, 0, 0, 0, parent,
                                 (HMENU)(INT_PTR)IDC_SCREEN_READER_LABEL,
                                 (HINSTANCE)GetWindowLongPtrA(parent, GWLP_HINSTANCE), NULL);
    if (label)
        SetWindowPos(label, previous ? previous : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void NameForScreenReaders(HWND control, const wchar_t* name)
{
    IAccPropServices* service = AnnotationService();
    if (!service) return;
    // Wine answers E_NOTIMPL; the caption then stays the name, as it always was.
    service->SetHwndPropStr(control, (DWORD)OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME, name);
    service->Release();
}

void MakeLiveRegion(HWND control)
{
    IAccPropServices* service = AnnotationService();
    if (!service) return;
    // Filled by hand: VariantInit would bring in oleaut32, which nothing else needs.
    VARIANT setting;
    ZeroMemory(&setting, sizeof setting);
    setting.vt = VT_I4;
    setting.lVal = LIVE_SETTING_POLITE;
    service->SetHwndProp(control, (DWORD)OBJID_CLIENT, CHILDID_SELF, LiveSettingProperty, setting);
    service->Release();
}

static BOOL CALLBACK ClearAnnotations(HWND control, LPARAM service)
{
    const MSAAPROPID properties[] = {PROPID_ACC_NAME, LiveSettingProperty};
    ((IAccPropServices*)service)
        ->ClearHwndProps(control, (DWORD)OBJID_CLIENT, CHILDID_SELF, properties, 2);
    return TRUE;
}

void ForgetScreenReaderNames(HWND window)
{
    IAccPropServices* service = AnnotationService();
    if (!service) return;
    // Annotations hold memory of oleacc's until they are cleared, whatever becomes of the window.
    EnumChildWindows(window, ClearAnnotations, (LPARAM)service);
    service->Release();
}

// A sentence of a name and a path or two, and its format.
enum { RESULT_TEXT_SIZE = 4 * MAX_PATH };

void SayResult(HWND owner, const char* format, ...)
{
    char text[RESULT_TEXT_SIZE];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    HWND statusBar = GetDlgItem(owner, IDC_STATUS_BAR);
    if (!statusBar) return;
    SendMessageA(statusBar, SB_SETTEXTA, 0, (LPARAM)text);
    // The bar is a live region: a screen reader reads its new text where the focus is.
    NotifyWinEvent(LIVE_REGION_CHANGED_EVENT, statusBar, OBJID_CLIENT, CHILDID_SELF);
}
