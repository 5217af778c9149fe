// Basic records and interfaces of the toolkit: notifications, input
// events and the callback interfaces that windows implement.
#pragma once

#include "toolkit/platform.h"

#include <string>


class CControlUI;
class CPaintManagerUI;

// Notification type strings sent by the built-in controls.
#define DUI_MSGTYPE_WINDOWINIT L"windowinit"
#define DUI_MSGTYPE_CLICK L"click"
#define DUI_MSGTYPE_SELECTCHANGED L"selectchanged"
#define DUI_MSGTYPE_ITEMCLICK L"itemclick"
#define DUI_MSGTYPE_ITEMSELECT L"itemselect"
#define DUI_MSGTYPE_LISTITEMCHECKED L"listitemchecked"
#define DUI_MSGTYPE_TEXTCHANGED L"textchanged"
#define DUI_MSGTYPE_VALUECHANGED L"valuechanged"
#define DUI_MSGTYPE_COLORCHANGED L"colorchanged"
#define DUI_MSGTYPE_TABSELECT L"tabselect"
#define DUI_MSGTYPE_SETFOCUS L"setfocus"
#define DUI_MSGTYPE_KILLFOCUS L"killfocus"
#define DUI_MSGTYPE_RETURN L"return"

// A notification: what happened (sType) to which control (pSender).
// Delivered synchronously on the UI thread.
struct TNotifyUI {
  std::wstring sType;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{0, 0};
  WPARAM wParam = 0;  // "listitemchecked": 1 checked, 0 unchecked; "tabselect": new index
  LPARAM lParam = 0;  // "tabselect": old index
};

// Input events routed from the window to a control.
enum EventTypeUI {
  UIEVENT_MOUSEMOVE = 1,
  UIEVENT_MOUSELEAVE,
  UIEVENT_MOUSEENTER,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_DBLCLICK,
  UIEVENT_SCROLLWHEEL,
  UIEVENT_SETFOCUS,
  UIEVENT_KILLFOCUS,
  UIEVENT_KEYDOWN,
  UIEVENT_CHAR,
  UIEVENT_TIMER,
};

// What a control is to a screen reader (the host maps these to its own
// accessibility roles). UIROLE_NONE: layout and decoration, not shown.
enum AccessibleRoleUI {
  UIROLE_NONE = 0,
  UIROLE_PUSHBUTTON,
  UIROLE_RADIOBUTTON,
  UIROLE_CHECKBUTTON,
  UIROLE_STATICTEXT,
  UIROLE_TEXT,
  UIROLE_LIST,
  UIROLE_LISTITEM,
  UIROLE_PROGRESSBAR,
  UIROLE_SLIDER,
  UIROLE_COMBOBOX,
};

struct TEventUI {
  EventTypeUI Type = UIEVENT_MOUSEMOVE;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{0, 0};
  wchar_t chKey = 0;
  WPARAM wParam = 0;  // timer id, key code, or wheel direction (positive = up)
  LPARAM lParam = 0;
};

// Receives the notifications of a paint manager's controls.
class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

// Sees every window message before the paint manager does.
class IMessageFilterUI {
 public:
  virtual ~IMessageFilterUI() = default;
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

// Offered every markup element the builder does not know itself.
class IDialogBuilderCallback {
 public:
  virtual ~IDialogBuilderCallback() = default;
  virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;
};

// Asked for a text key missing from the text table. Return an empty
// string to let the key itself be shown.
class IQueryControlText {
 public:
  virtual ~IQueryControlText() = default;
  virtual std::wstring QueryControlText(const wchar_t* key, const wchar_t* controlClass) = 0;
};

// Embedded browser events; carried for window classes that list it as a
// base. The toolkit hosts no browser, so nothing calls these.
class CWebBrowserEventHandler {
 public:
  virtual ~CWebBrowserEventHandler() = default;
};

// Helpers for the attribute value syntax of markup.
namespace toolkit {
// "#AARRGGBB", "AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB" to ARGB.
bool ParseColor(const std::wstring& s, DWORD& argb);
// "l,t,r,b" (missing numbers are 0).
RECT ParseRect(const std::wstring& s);
// "cx,cy".
SIZE ParseSize(const std::wstring& s);
bool ParseBool(const std::wstring& s);  // "true" (any case) or "1"
std::wstring ToLower(std::wstring s);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);
// Scale percentage for a DPI: DPI * 100 / 96 rounded to the nearest integer.
int ScaleForDpi(int dpi);
// The name of an image's variant for a scale: "a/b.png" at 150 gives
// "a/b@150.png"; 100 (or a name without an extension) gives the name itself.
std::wstring ScaledImageName(const std::wstring& name, int scalePercent);
}  // namespace toolkit
