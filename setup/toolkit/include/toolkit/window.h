// Windows: the native window wrapper, notification message maps and the
// skinned window base that builds itself from markup.
#pragma once

#include "toolkit/paint_manager.h"

#include <functional>
#include <string>
#include <vector>

// A native window (a real HWND on Windows, an object of the headless
// host elsewhere) whose messages go to HandleMessage.
class CWindowWnd {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Registers the window class (once per class name) and creates the
  // window. Returns nullptr on failure.
  HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
              int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
              int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
  HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc);
  void ShowWindow(bool bShow = true, bool bTakeFocus = true);
  // Disables the owner and runs a nested message loop until this window
  // is destroyed; a WM_QUIT met there is posted again for the outer loop.
  // Returns the code given to Close.
  UINT ShowModal();
  // Asks the window to close (WM_CLOSE); code is what ShowModal returns.
  void Close(UINT nRet = IDOK);
  // Centres on the owner's window rectangle, or on the work area without
  // an owner, kept inside the work area.
  void CenterWindow();
  // The work area of the monitor that the owner (else the window) is on.
  RECT GetWorkArea() const;
  // Sets the client area size (-1 keeps a dimension).
  void ResizeClient(int cx = -1, int cy = -1);
  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  void SetWindowTitle(const std::wstring& title);

 protected:
  virtual const wchar_t* GetWindowClassName() const = 0;
  virtual UINT GetClassStyle() const { return 0; }
  // All messages; the default runs the platform's default handling.
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  // After the window is gone (WM_NCDESTROY, deferred until every message
  // of this window being handled has returned). Windows that own
  // themselves delete this here.
  virtual void OnFinalMessage(HWND hWnd);

  HWND m_hWnd = nullptr;
  UINT m_nCloseCode = IDOK;
  UINT* m_pModalCode = nullptr;  // ShowModal's result while it runs
  HWND m_hModalOwner = nullptr;   // the owner ShowModal disabled

 public:
  // Used by the hosts' window procedures.
  LRESULT DispatchToWindow(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

 private:
  int m_nDispatchDepth = 0;
  bool m_bFinalPending = false;
};

// Message maps: handlers for notification types, optionally limited to
// one control name (compared without regard to case), run in the order
// they were added.
class CNotifyPump {
 public:
  using Handler = std::function<void(TNotifyUI&)>;
  virtual ~CNotifyPump() = default;
  void AddNotifyHandler(const std::wstring& type, Handler handler, const std::wstring& controlName = L"");
  // Runs the matching handlers; true when at least one ran.
  bool NotifyPump(TNotifyUI& msg);

 private:
  struct Entry {
    std::wstring type;
    std::wstring name;
    Handler handler;
  };
  std::vector<Entry> m_entries;
};

// A skinned window. On WM_CREATE it removes the caption style, takes the
// DPI of its owner when that is a toolkit window, builds its content from
// GetSkinFile() (through the resource index), resizes the window to the
// markup's "size" at that DPI scale, calls
// InitWindow, and then sends "windowinit". Messages go, in order, to the
// On* handlers below, HandleCustomMessage, the paint manager, and the
// default handling. Notifications go to Notify, whose default runs the
// message maps (where OnClick is registered for "click").
class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback,
                       public IQueryControlText {
 public:
  WindowImplBase();
  ~WindowImplBase() override;

  CPaintManagerUI& GetPaintManager() { return m_pm; }
  void Notify(TNotifyUI& msg) override;
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  CControlUI* CreateControl(const wchar_t* pstrClass) override;
  std::wstring QueryControlText(const wchar_t* key, const wchar_t* controlClass) override;

 protected:
  virtual std::wstring GetSkinFile() = 0;
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  virtual void InitWindow() {}
  // Default click handling: "closebtn" closes the window; "minbtn",
  // "maxbtn" and "restorebtn" send the matching system command.
  virtual void OnClick(TNotifyUI& msg);
  virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  // SC_CLOSE sends WM_CLOSE; other commands go to the default handling,
  // after which "maxbtn" is shown only while the window is not maximised
  // and "restorebtn" only while it is.
  virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  // What happens when the markup cannot be built: an error box naming the
  // markup, then the process ends with exit code 1.
  virtual void OnBuildFailed(const std::wstring& markup, const std::string& reason);

  CPaintManagerUI m_pm;
};

namespace toolkit {
// Ends the message box shown over `owner` by this thread's MessageBoxW as
// if `result` had been chosen (a question the program no longer needs
// answered); nothing when no box is open.
void EndMessageBox(HWND owner, int result);
}  // namespace toolkit
