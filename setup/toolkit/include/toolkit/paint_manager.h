// CPaintManagerUI: one per window. Owns the control tree built from the
// window's markup, finds controls by name, routes input to controls and
// notifications to listeners, and holds the window's fonts, styles, option
// groups and DPI scale.
#pragma once

#include "toolkit/control.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A decoded image (shared by every window until the cache is cleared).
struct TImageInfo {
  std::wstring path;  // the archive path that was loaded
  int scale = 100;    // the scale of the variant that was loaded
  int width = 0;
  int height = 0;
  int frames = 1;
  std::vector<UINT> frameDelays;  // milliseconds, one per frame
  void* native = nullptr;         // the host's decoded image (GDI+ on Windows)
};


struct TFontInfo {
  std::wstring face;  // empty: the system's default GUI font face
  int size = 12;      // unscaled pixel height
  bool bold = false;
  bool underline = false;
  bool italic = false;
  HFONT hFont = nullptr;  // created for the current scale (Windows host)
};

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();  // deletes the control tree
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  // Process-wide.
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // Runs the message loop of the UI thread until WM_QUIT; returns its code.
  static int MessageLoop();
  // Frees the resource index, the text table, the control factory, the
  // shared images and styles, the markup cache, and closes the archive.
  static void Shutdown();
  static void Term() { Shutdown(); }
  static void AddSharedStyle(const std::wstring& name, const std::wstring& attributeList);
  // The system DPI that new windows start with (96 on the headless host).
  static int GetSystemDPI();

  // Window binding.
  void Init(HWND hWnd);
  HWND GetPaintWindow() const { return m_hWnd; }

  // The control tree. AttachDialog takes ownership of root.
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return m_pRoot; }
  // Called by controls when they join or leave the tree.
  void InitControl(CControlUI* control, CControlUI* parent);
  void ReleaseControl(CControlUI* control);
  void RenameControl(CControlUI* control, const std::wstring& oldName);
  // Deletes a removed control now, or after the current event when the
  // manager is dispatching one.
  void ReapControl(CControlUI* control);

  // Find by name (case-sensitive); the first control added under a name wins.
  CControlUI* FindControl(const std::wstring& name) const;
  template <class T>
  T* FindControlAs(const std::wstring& name) const { return dynamic_cast<T*>(FindControl(name)); }
  // The topmost enabled, visible control under a point (client coordinates).
  CControlUI* FindControl(POINT pt) const;
  // The first control below parent with that name.
  CControlUI* FindSubControlByName(CControlUI* parent, const std::wstring& name) const;

  // Option groups.
  void AddOptionGroup(const std::wstring& group, CControlUI* option);
  const std::vector<CControlUI*>* GetOptionGroup(const std::wstring& group) const;
  void RemoveOptionGroup(const std::wstring& group, CControlUI* option);

  // Notifications: delivered synchronously to every listener in order.
  void AddNotifier(INotifyUI* notifier);
  void RemoveNotifier(INotifyUI* notifier);
  void SendNotify(TNotifyUI& msg);
  void SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
  void AddMessageFilter(IMessageFilterUI* filter);
  void RemoveMessageFilter(IMessageFilterUI* filter);

  // Window messages: input, layout, painting and native-control
  // notifications. Returns true (with lRes) when handled.
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  // Filters first, then MessageHandler.
  bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  // Lays the root out again in the client rectangle.
  void NeedUpdate();
  void UpdateLayout();
  void Invalidate();
  void Invalidate(const RECT& rc);
  void SetFocus(CControlUI* control);
  CControlUI* GetFocus() const { return m_pFocus; }

  // Keyboard. Tab moves through the tab stops in tree order (visible,
  // enabled, IsTabStop; a tab stop's own children, such as a list's rows,
  // are reached through it), Shift+Tab backwards, both wrapping; Enter
  // presses a focused push button, else the default button; Esc presses
  // the cancel button. The window's "defaultbutton" and "cancelbutton"
  // attributes name candidates, comma-separated: the first one shown and
  // enabled counts.
  std::vector<CControlUI*> GetTabStops() const;
  bool MoveFocus(bool forward);  // false when there is no tab stop
  void SetDefaultButtons(const std::wstring& names) { m_defaultButtons = names; }
  void SetCancelButtons(const std::wstring& names) { m_cancelButtons = names; }
  CControlUI* GetDefaultButton() const { return FirstUsable(m_defaultButtons); }
  CControlUI* GetCancelButton() const { return FirstUsable(m_cancelButtons); }
  // Focus marks are drawn once the keyboard has been used to move around,
  // as Windows does; a mouse-only user sees none.
  bool ShowsFocusMarks() const { return m_bFocusMarks; }

  // Screen readers: the controls shown to them (visible, with a role), in
  // tree order, and the name each is announced with: its text, else its
  // tooltip, else the nearest text beside it (the label before an edit,
  // the texts on an option card).
  std::vector<CControlUI*> GetAccessibleControls() const;
  std::wstring GetAccessibleName(CControlUI* control) const;
  // The paint manager bound to a window, or nullptr.
  static CPaintManagerUI* FromWindow(HWND hWnd);

  // Repaints the whole window (all controls re-read their texts).
  void RepaintAll();

  // Window attributes from the markup's root element.
  SIZE GetInitSize() const { return m_szInitWindowSize; }  // unscaled
  void SetInitSize(int cx, int cy);
  RECT GetCaptionRect() const { return m_rcCaption; }  // unscaled; bottom<0 counts from the bottom
  void SetCaptionRect(RECT rc) { m_rcCaption = rc; }
  RECT GetSizeBox() const { return m_rcSizeBox; }
  void SetSizeBox(RECT rc) { m_rcSizeBox = rc; }
  SIZE GetMinInfo() const { return m_szMinWindow; }
  void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
  SIZE GetMaxInfo() const { return m_szMaxWindow; }
  void SetMaxInfo(int cx, int cy) { m_szMaxWindow = SIZE{cx, cy}; }
  SIZE GetRoundCorner() const { return m_szRoundCorner; }
  void SetRoundCorner(int cx, int cy) { m_szRoundCorner = SIZE{cx, cy}; }
  void SetWindowAttribute(const std::wstring& name, const std::wstring& value);

  // Fonts. Sizes are unscaled; fonts are rebuilt when the scale changes.
  void SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
  const TFontInfo& GetDefaultFontInfo() const { return m_defaultFont; }
  void AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic);
  // The font with that id; the default font for -1 or an unknown id.
  const TFontInfo& GetFontInfo(int id) const;
  HFONT GetFont(int id) const { return GetFontInfo(id).hFont; }
  // The face name a font is drawn with (the system GUI face for an empty one).
  std::wstring GetFontFace(int id) const;
  // The face that text is best drawn in: the font's own, or, when it lacks
  // some of the text's characters, a face that has them all.
  std::wstring GetFontFaceFor(int id, const std::wstring& text);
  bool HasFont(int id) const { return m_fonts.count(id) != 0; }
  // Counts font rebuilds: a native child that holds a font handle sets it
  // again when this changes (the old handle is deleted by then).
  int GetFontGeneration() const { return m_fontGeneration; }

  // Styles and per-class default attributes from the markup.
  void AddStyle(const std::wstring& name, const std::wstring& attributeList);
  // The attribute list of a style: the window's first, then the shared ones.
  bool GetStyle(const std::wstring& name, std::wstring& attributeList) const;
  void AddDefaultAttributeList(const std::wstring& controlClass, const std::wstring& attributeList);
  std::wstring GetDefaultAttributeList(const std::wstring& controlClass) const;

  // DPI. The scale percentage is DPI * 100 / 96 rounded. Changing it
  // scales the window's width and height by new/old about its top-left
  // corner (unless resizeWindow is false or the window is maximised),
  // rebuilds the fonts, reloads images and lays the root out again.
  void SetDPI(int dpi, bool resizeWindow = true);
  int GetDPI() const { return m_nDPI; }
  int GetScale() const { return m_nScale; }
  int ScaleValue(int unscaled) const;
  RECT ScaleRect(RECT unscaled) const;
  // The image name to load for the current scale ("@%d." variant).
  std::wstring GetScaledImageName(const std::wstring& name) const;
  // Loads an image by Image id or archive path, trying the variant for
  // the current scale first; nullptr when neither can be loaded. Images
  // are shared by all windows.
  const TImageInfo* GetImage(const std::wstring& name) const;
  // Forgets the loaded images so that they load again (for a new scale).
  void ReloadImages();

  // Control timers (the Windows host runs them; the headless host only
  // records them).
  bool SetTimer(CControlUI* control, UINT id, UINT elapseMs);
  bool KillTimer(CControlUI* control, UINT id);
  void KillTimers(CControlUI* control);
  bool HasTimer(CControlUI* control, UINT id) const;

  // The client rectangle the root is laid out in.
  RECT GetClientRect() const;

 private:
  void DispatchMouse(UINT uMsg, POINT pt, WPARAM wParam);
  bool HandleKey(WPARAM key, LPARAM lParam);
  // A key or character event for the focused control.
  void SendKeyEvent(EventTypeUI type, WPARAM key, LPARAM lParam);
  CControlUI* FirstUsable(const std::wstring& names) const;
  // The control under the mouse loses its highlight (the mouse left, or
  // the window was disabled under it by a dialog).
  void ClearHover();
  void BeginEvent();
  void EndEvent();
  void RebuildFonts();
  static UINT_PTR NextTimerId();

  HWND m_hWnd = nullptr;
  CControlUI* m_pRoot = nullptr;
  CControlUI* m_pFocus = nullptr;
  CControlUI* m_pHover = nullptr;
  CControlUI* m_pCapture = nullptr;
  std::multimap<std::wstring, CControlUI*> m_names;
  std::map<std::wstring, std::vector<CControlUI*>> m_optionGroups;
  std::vector<INotifyUI*> m_notifiers;
  std::vector<IMessageFilterUI*> m_filters;
  std::map<std::wstring, std::wstring> m_styles;
  std::map<std::wstring, std::wstring> m_defaultAttributes;
  std::map<int, TFontInfo> m_fonts;
  int m_fontGeneration = 0;
  TFontInfo m_defaultFont;
  SIZE m_szInitWindowSize{0, 0};
  RECT m_rcCaption{0, 0, 0, 0};
  RECT m_rcSizeBox{0, 0, 0, 0};
  SIZE m_szMinWindow{0, 0};
  SIZE m_szMaxWindow{0, 0};
  SIZE m_szRoundCorner{0, 0};
  int m_nDPI = 96;
  int m_nScale = 100;
  SIZE m_szDpiSet{0, 0};  // the window size SetDPI gave last
  double m_dpiBaseWidth = 0;
  double m_dpiBaseHeight = 0;
  bool m_bUpdateNeeded = true;
  bool m_bFocusMarks = false;
  std::wstring m_defaultButtons;
  std::wstring m_cancelButtons;
  int m_eventDepth = 0;
  std::vector<CControlUI*> m_delayedCleanup;
  struct Timer {
    CControlUI* control;
    UINT id;
    UINT_PTR nativeId;
  };
  std::vector<Timer> m_timers;
};
