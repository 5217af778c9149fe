// Screen readers on the Win32 host: the skinned controls are no windows,
// so the window answers WM_GETOBJECT with an IAccessible whose children
// are the controls the paint manager shows to screen readers (simple
// elements numbered from 1 in tree order), and reports focus moves as
// WinEvents.
#include "delay_import_slots.h"
#include "render.h"
#include "toolkit/containers.h"
#include "toolkit/controls.h"

#include <oleacc.h>

#include <vector>

namespace {

// IAccessible's id, here rather than from the import library: the oleacc
// library is delay-loaded, and that import library lists the id among
// its functions.
const IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

LONG RoleFor(AccessibleRoleUI role) {
  switch (role) {
    case UIROLE_PUSHBUTTON: return ROLE_SYSTEM_PUSHBUTTON;
    case UIROLE_RADIOBUTTON: return ROLE_SYSTEM_RADIOBUTTON;
    case UIROLE_CHECKBUTTON: return ROLE_SYSTEM_CHECKBUTTON;
    case UIROLE_STATICTEXT: return ROLE_SYSTEM_STATICTEXT;
    case UIROLE_TEXT: return ROLE_SYSTEM_TEXT;
    case UIROLE_LIST: return ROLE_SYSTEM_LIST;
    case UIROLE_LISTITEM: return ROLE_SYSTEM_LISTITEM;
    case UIROLE_PROGRESSBAR: return ROLE_SYSTEM_PROGRESSBAR;
    case UIROLE_SLIDER: return ROLE_SYSTEM_SLIDER;
    case UIROLE_COMBOBOX: return ROLE_SYSTEM_COMBOBOX;
    default: return ROLE_SYSTEM_CLIENT;
  }
}

HRESULT ReturnString(const std::wstring& text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The IUnknown part of both objects below: one interface, counted
// references, deleted as the object it is.
template <typename Derived>
class CountedAccessible : public IAccessible {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(n);
  }

 private:
  LONG m_refs = 1;
};

// The client area of one toolkit window. It holds the window handle, not
// the paint manager: a screen reader may keep the object after the
// window is gone, and then every call fails cleanly.
class WindowAccessible : public CountedAccessible<WindowAccessible> {
 public:
  explicit WindowAccessible(HWND hWnd) : m_hWnd(hWnd) {}

  // IDispatch: screen readers use the vtable only.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_INVALIDARG;
    return AccessibleObjectFromWindow(m_hWnd, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_INVALIDARG;
    CPaintManagerUI* pm = Manager();
    *count = pm ? static_cast<LONG>(pm->GetAccessibleControls().size()) : 0;
    return pm ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
    if (!child) return E_INVALIDARG;
    *child = nullptr;
    return S_FALSE;  // the children are simple elements
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!c) {
      wchar_t title[256] = {};
      GetWindowTextW(m_hWnd, title, 256);
      return ReturnString(title, name);
    }
    return ReturnString(pm->GetAccessibleName(c), name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!c || c->GetAccessibleRole() != UIROLE_TEXT) return ReturnString(std::wstring(), value);
    // A password box tells its length only.
    auto* edit = dynamic_cast<CEditUI*>(c);
    if (edit && edit->IsPasswordMode()) return ReturnString(std::wstring(edit->GetText().size(), L'*'), value);
    return ReturnString(c->GetText(), value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return ReturnString(L"", text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!role) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = c ? RoleFor(c->GetAccessibleRole()) : ROLE_SYSTEM_CLIENT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!state) return E_INVALIDARG;
    LONG bits = 0;
    if (!c) {
      bits = STATE_SYSTEM_FOCUSABLE | (GetFocus() == m_hWnd ? STATE_SYSTEM_FOCUSED : 0);
    } else {
      if (!c->IsEnabled()) bits |= STATE_SYSTEM_UNAVAILABLE;
      if (c->IsTabStop()) bits |= STATE_SYSTEM_FOCUSABLE;
      if (pm->GetFocus() == c) bits |= STATE_SYSTEM_FOCUSED;
      if (auto* option = dynamic_cast<COptionUI*>(c))
        if (option->IsSelected()) bits |= STATE_SYSTEM_CHECKED;
      if (auto* row = dynamic_cast<CListTextExtElementUI*>(c))
        if (row->HasCheckBox() && row->IsChecked()) bits |= STATE_SYSTEM_CHECKED;
      if (auto* row = dynamic_cast<CListContainerElementUI*>(c))
        bits |= STATE_SYSTEM_SELECTABLE | (row->IsSelected() ? STATE_SYSTEM_SELECTED : 0);
      if (auto* edit = dynamic_cast<CEditUI*>(c))
        if (edit->IsReadOnly()) bits |= STATE_SYSTEM_READONLY;
      if (auto* rich = dynamic_cast<CRichEditUI*>(c))
        if (rich->IsReadOnly()) bits |= STATE_SYSTEM_READONLY;
    }
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return ReturnString(L"", help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG*) override {
    if (file) *file = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* keys) override { return ReturnString(L"", keys); }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_INVALIDARG;
    focus->vt = VT_EMPTY;
    CPaintManagerUI* pm = Manager();
    if (!pm) return E_FAIL;
    if (GetFocus() != m_hWnd && !IsChild(m_hWnd, GetFocus())) return S_FALSE;
    const LONG id = ChildIdOf(pm, pm->GetFocus());
    focus->vt = VT_I4;
    focus->lVal = id;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection) selection->vt = VT_EMPTY;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* action) override { return ReturnString(L"", action); }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!c || !(flags & SELFLAG_TAKEFOCUS) || !c->IsTabStop()) return S_FALSE;
    pm->SetFocus(c);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* cx, LONG* cy, VARIANT id) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!x || !y || !cx || !cy) return E_INVALIDARG;
    RECT rc{};
    if (c) rc = c->GetPos();
    else GetClientRect(m_hWnd, &rc);
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    *x = rc.left;
    *y = rc.top;
    *cx = rc.right - rc.left;
    *cy = rc.bottom - rc.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT start, VARIANT* end) override {
    if (!end) return E_INVALIDARG;
    end->vt = VT_EMPTY;
    CPaintManagerUI* pm = Manager();
    if (!pm || start.vt != VT_I4) return E_INVALIDARG;
    const LONG count = static_cast<LONG>(pm->GetAccessibleControls().size());
    LONG to = 0;
    if (start.lVal == CHILDID_SELF) {
      if (dir == NAVDIR_FIRSTCHILD) to = 1;
      else if (dir == NAVDIR_LASTCHILD) to = count;
    } else if (dir == NAVDIR_NEXT || dir == NAVDIR_DOWN) {
      to = start.lVal + 1;
    } else if (dir == NAVDIR_PREVIOUS || dir == NAVDIR_UP) {
      to = start.lVal - 1;
    }
    if (to < 1 || to > count) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = to;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_INVALIDARG;
    hit->vt = VT_EMPTY;
    CPaintManagerUI* pm = Manager();
    if (!pm) return E_FAIL;
    POINT pt{x, y};
    ScreenToClient(m_hWnd, &pt);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (!PtInRect(&client, pt)) return S_FALSE;
    hit->vt = VT_I4;
    hit->lVal = ChildIdOf(pm, pm->FindControl(pt));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
    CPaintManagerUI* pm = nullptr;
    CControlUI* c = nullptr;
    HRESULT hr = Resolve(id, pm, c);
    if (hr != S_OK) return hr;
    if (!c) return DISP_E_MEMBERNOTFOUND;
    return c->Activate() ? S_OK : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  friend class CountedAccessible<WindowAccessible>;  // deletes it
  virtual ~WindowAccessible() = default;

  CPaintManagerUI* Manager() const { return IsWindow(m_hWnd) ? CPaintManagerUI::FromWindow(m_hWnd) : nullptr; }

  // The control of a child id (null for the window itself).
  HRESULT Resolve(const VARIANT& id, CPaintManagerUI*& pm, CControlUI*& control) const {
    pm = Manager();
    control = nullptr;
    if (!pm) return E_FAIL;
    if (id.vt != VT_I4) return E_INVALIDARG;
    if (id.lVal == CHILDID_SELF) return S_OK;
    const std::vector<CControlUI*> shown = pm->GetAccessibleControls();
    if (id.lVal < 1 || id.lVal > static_cast<LONG>(shown.size())) return E_INVALIDARG;
    control = shown[static_cast<size_t>(id.lVal - 1)];
    return S_OK;
  }

  // A control inside a shown one (a label on a list row) counts as it.
  static LONG ChildIdOf(CPaintManagerUI* pm, CControlUI* control) {
    const std::vector<CControlUI*> shown = pm->GetAccessibleControls();
    for (CControlUI* c = control; c; c = c->GetParent()) {
      for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] == c) return static_cast<LONG>(i + 1);
    }
    return CHILDID_SELF;
  }

  HWND m_hWnd;
};

// A native text box as the system describes it (role, value, state,
// place), named by its label: the label is drawn by the toolkit, so the
// system's own object finds no caption window beside the box.
class TextBoxAccessible : public CountedAccessible<TextBoxAccessible> {
 public:
  TextBoxAccessible(HWND box, IAccessible* system) : m_box(box), m_system(system) {}

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_system->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
    return m_system->GetTypeInfo(i, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
    return m_system->GetIDsOfNames(riid, names, n, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* arg) override {
    return m_system->Invoke(id, riid, lcid, flags, params, result, excep, arg);
  }

  // IAccessible: the name of the box itself; everything else is the system's.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    if (id.vt == VT_I4 && id.lVal == CHILDID_SELF) {
      const std::wstring label = render::TextBoxAccessibleName(m_box);
      if (!label.empty()) return ReturnString(label, name);
    }
    return m_system->get_accName(id, name);
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_system->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return m_system->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
    return m_system->get_accChild(id, child);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override { return m_system->get_accValue(id, value); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* text) override {
    return m_system->get_accDescription(id, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override { return m_system->get_accRole(id, role); }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    return m_system->get_accState(id, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* help) override { return m_system->get_accHelp(id, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
    return m_system->get_accHelpTopic(file, id, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* keys) override {
    return m_system->get_accKeyboardShortcut(id, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return m_system->get_accFocus(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return m_system->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
    return m_system->get_accDefaultAction(id, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override { return m_system->accSelect(flags, id); }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* cx, LONG* cy, VARIANT id) override {
    return m_system->accLocation(x, y, cx, cy, id);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG dir, VARIANT start, VARIANT* end) override {
    return m_system->accNavigate(dir, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    return m_system->accHitTest(x, y, hit);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override { return m_system->accDoDefaultAction(id); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT id, BSTR name) override { return m_system->put_accName(id, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT id, BSTR value) override {
    return m_system->put_accValue(id, value);
  }

 private:
  friend class CountedAccessible<TextBoxAccessible>;  // deletes it
  virtual ~TextBoxAccessible() { m_system->Release(); }

  HWND m_box;
  IAccessible* m_system;
};

}  // namespace

namespace render {

bool AnswerTextBoxAccessible(HWND box, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) return false;
  InstallDelayLoadHook();
  IAccessible* system = nullptr;
  if (FAILED(CreateStdAccessibleObject(box, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&system))) ||
      !system)
    return false;
  auto* object = new TextBoxAccessible(box, system);
  lRes = LresultFromObject(kIidAccessible, wParam, object);
  object->Release();
  return true;
}

bool AnswerAccessibleObject(HWND hWnd, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) return false;
  InstallDelayLoadHook();
  auto* object = new WindowAccessible(hWnd);
  lRes = LresultFromObject(kIidAccessible, wParam, object);
  object->Release();
  return true;
}

void NotifyAccessibleFocus(HWND hWnd, int childId) {
  if (hWnd && childId > 0) NotifyWinEvent(EVENT_OBJECT_FOCUS, hWnd, OBJID_CLIENT, childId);
}

}  // namespace render
