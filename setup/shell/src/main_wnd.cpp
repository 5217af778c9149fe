#include "main_wnd.h"

#include "custom_controls.h"
#include "dialogs.h"
#include "localization.h"

#include <cstdio>
#include <cstdlib>

const wchar_t kVersionText[] = L"V" PLOVEX_VERSION;

namespace {

// Rich edit character format bits (CFM_*, CFE_*), 225 twips = 11.25 pt.
const DWORD kLogFormatMask = 0xE0000007;
const LONG kLogHeightTwips = 225;

// Shows a control exactly when wParam is 1 (2 and other values hide it).
void ShowWhenOne(CControlUI* control, WPARAM wParam) {
  if (control) control->SetVisible(wParam == 1);
}

// Shows and plays a busy animation, or hides it stopped at its first frame.
void SetAnimation(CGifAnimUI* gif, WPARAM wParam) {
  if (!gif) return;
  if (wParam == 1) {
    gif->SetVisible(true);
    gif->PlayGif();
  } else {
    gif->SetVisible(false);
    gif->StopGif();
  }
}

const TUiMsgParam* Record(LPARAM lParam) { return reinterpret_cast<const TUiMsgParam*>(lParam); }

}  // namespace

// Hours are 0-23 and padded to two digits; milliseconds to three.
std::wstring FormatLogTimestamp(const SYSTEMTIME& time) {
  wchar_t buffer[32];
  std::swprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), L"%02d:%02d:%02d.%03d : ",
                static_cast<int>(time.wHour), static_cast<int>(time.wMinute),
                static_cast<int>(time.wSecond), static_cast<int>(time.wMilliseconds));
  return buffer;
}

// Each line sets its own colour before it is appended, so an error line
// never tints the next one.
void AppendLogLine(CRichEditUI* box, const TUiMsgParam& request, const SYSTEMTIME& now) {
  if (!box) return;
  if (request.clear) {
    box->SetText(L"");
    return;
  }
  TCharFormatUI format;
  format.mask = kLogFormatMask;
  format.effects = 0;
  format.heightTwips = kLogHeightTwips;
  format.textColor = request.isError ? RGB(255, 0, 0) : RGB(0, 0, 255);
  // The interface's own face, or one that has the line's script when that
  // face lacks it (Japanese lines after a switch from English); an empty
  // face leaves the choice to the rich edit, which may take one without
  // those glyphs.
  if (box->GetManager()) format.faceName = box->GetManager()->GetFontFaceFor(-1, request.text);
  box->SetSelectionCharFormat(format);
  box->AppendText(FormatLogTimestamp(now), false);
  box->AppendText(request.text, false);
  box->AppendText(L"\r\n", false);
  box->EndDown();
}

CMainWnd::CMainWnd(SetupEngine& engine) : engine_(engine) {}

// Drops the text-query link to this window so the resource manager never
// calls a deleted window; the receiver base leaves the skin observer.
CMainWnd::~CMainWnd() { CResourceManager::GetInstance().SetTextQueryInterface(nullptr); }

std::wstring CMainWnd::BuildTitle() { return LangText(L"mainTitle") + L" - " + kVersionText; }

// Start-up sequence of the window, after its markup has been built.
void CMainWnd::InitWindow() {
  CResourceManager::GetInstance().SetTextQueryInterface(this);
  ChooseStartupLanguage(engine_);
  GetSkinChangeObserver().AddReceiver(this);

  titleLabel_ = Find<CLabelUI>(L"title_lb");
  tabSwitch_ = Find<CTabLayoutUI>(L"tab_switch");
  tabInstall_ = Find<CTabLayoutUI>(L"tab_switch_install");
  tabDelete_ = Find<CTabLayoutUI>(L"tab_switch_delete");
  btnPrevious_ = Find<CButtonUI>(L"btn_setup_previous");
  btnNext_ = Find<CButtonUI>(L"btn_setup_next");
  optionDelete_ = Find<COptionUI>(L"option_delete");
  btnClose_ = Find<CButtonUI>(L"closebtn");
  btnMin_ = Find<CButtonUI>(L"minbtn");
  btnMax_ = Find<CButtonUI>(L"maxbtn");
  btnRestore_ = Find<CButtonUI>(L"restorebtn");
  btnSkin_ = Find<CButtonUI>(L"skinbtn");
  btnAbout_ = Find<CButtonUI>(L"btnAbout");
  btnLan_ = Find<CButtonUI>(L"btnLan");
  installLog_ = Find<CRichEditUI>(L"wordedit_installInfo");
  deleteLog_ = Find<CRichEditUI>(L"wordedit_deleteInfo_start");
  gifInstall_ = Find<CGifAnimUI>(L"ani_gif_install");
  gifDelete_ = Find<CGifAnimUI>(L"ani_gif_delete");
  rowH1_ = Find<CControlUI>(L"hor_btn_h1");
  rowH2_ = Find<CControlUI>(L"hor_btn_h2");
  btnPreferences_ = Find<CControlUI>(L"btn_setup_preferences");
  btnProperties_ = Find<CControlUI>(L"btn_setup_properties");
  btnTestPage_ = Find<CControlUI>(L"btn_setup_testpage");
  printerNameInfo_ = Find<CLabelUI>(L"label_show_printername_info");
  bluetoothRow_ = Find<CControlUI>(L"hor_bluetooth_adapter");
  bluetoothInfo_ = Find<CLabelUI>(L"label_bluetooth_adapter_info");

  engine_.hMainWnd = m_hWnd;
  // The wizard's port page opens the add-port dialog through this hook;
  // the dialog's add button calls back into the engine.
  SetupEngine* engine = &engine_;
  engine_.showAddPortDialog = [engine](HWND owner) {
    CPopAddPort::ShowModalOver(owner, [engine](const std::wstring& monitor, HWND dialog, std::wstring& errorText) {
      return engine->AddMonitorPort(monitor, dialog, errorText);
    });
  };
  ApplyTitle();
  engine_.tabSwitch = tabSwitch_;
  engine_.tabSwitchInstall = tabInstall_;
  engine_.tabSwitchDelete = tabDelete_;
  // A port kind naming a page the markup lacks is a broken build: stop
  // here, not on the user's Next.
  for (const std::wstring& page : engine_.BindInstallPages()) {
    std::fwprintf(stderr, L"Plovex: the install markup has no page \"%ls\"\n", page.c_str());
    std::abort();
  }

  SendMessage(UIMSG_SHOW_ROW_H1, 0, 0);
  SendMessage(UIMSG_SHOW_ROW_H2, 1, 0);

  for (const ModelEntry& model : engine_.models) engine_.knownDriverNames.push_back(model.driverName);

  engine_.installChosen = 1;
  if (optionDelete_) optionDelete_->Selected(false, true);
  engine_.Home();
  ApplyFonts();
}

// Caption and title label share one text.
void CMainWnd::ApplyTitle() {
  std::wstring title = BuildTitle();
  SetWindowTitle(title);
  if (titleLabel_) titleLabel_->SetText(title);
}

// Each line keeps its time; lines from a language text take the new text.
void CMainWnd::RewriteLogs() {
  const std::pair<CRichEditUI*, std::vector<LogEntry>*> logs[] = {{installLog_, &installLines_},
                                                                    {deleteLog_, &deleteLines_}};
  for (const auto& [box, lines] : logs) {
    if (!box || lines->empty()) continue;
    box->SetText(L"");
    for (const LogEntry& entry : *lines) {
      TUiMsgParam line = entry.request;
      line.text = engine_.LogLineText(line);
      AppendLogLine(box, line, entry.time);
    }
  }
}

void CMainWnd::ApplyFonts() { ApplyLanguageFonts(m_pm, titleLabel_, CurrentLanguageInfo(engine_)); }

// Every notification of the window's controls: the window's own handling
// by type, then the wizard, then the toolkit's message maps.
void CMainWnd::Notify(TNotifyUI& msg) {
  const std::wstring& type = msg.sType;
  CControlUI* sender = msg.pSender;
  const std::wstring name = sender ? sender->GetName() : std::wstring();
  auto is = [&name](const wchar_t* n) { return toolkit::EqualsNoCase(name, n); };

  if (type != DUI_MSGTYPE_WINDOWINIT && type != DUI_MSGTYPE_TEXTCHANGED) {
    if (type == DUI_MSGTYPE_COLORCHANGED) {
      auto* palette = Find<CColorPaletteUI>(L"Pallet");
      CControlUI* root = m_pm.GetRoot();
      if (palette && root) {
        root->SetBkColor(palette->GetSelectColor());
        root->SetBkImage(L"");
      }
    } else if (type == DUI_MSGTYPE_CLICK) {
      if (is(L"closebtn")) {
        RequestClose();
        return;
      }
      if (is(L"minbtn") || is(L"maxbtn") || is(L"restorebtn")) {
        WPARAM command = is(L"minbtn") ? SC_MINIMIZE : is(L"maxbtn") ? SC_MAXIMIZE : SC_RESTORE;
        SendMessage(WM_SYSCOMMAND, command, 0);
        return;
      }
      if (is(L"skinbtn")) CSkinFrame::Open(m_hWnd, sender);
      if (RouteClick(msg)) return;
    } else if (type == DUI_MSGTYPE_SELECTCHANGED) {
      static const wchar_t* const pages[] = {L"basic_tab", L"rich_tab", L"ex_tab", L"ani_tab", L"split_tab"};
      for (int i = 0; i < 5; ++i) {
        if (is(pages[i]) && tabSwitch_) tabSwitch_->SelectItem(i);
      }
    } else if (type == DUI_MSGTYPE_VALUECHANGED) {
      auto* slider = Find<CSliderUI>(L"slider");
      auto* progress = Find<CProgressUI>(L"progress");
      auto* circle = Find<CProgressUI>(L"circle_progress");
      if (slider && progress && circle) {
        progress->SetValue(slider->GetValue());
        circle->SetValue(slider->GetValue());
      }
    }
  }
  engine_.OnNotify(msg);
  WindowImplBase::Notify(msg);
}

// Clicks are routed in Notify before the wizard sees the notification;
// the message maps must not route them a second time.
void CMainWnd::OnClick(TNotifyUI&) {}

// The click routing: the wizard first, then the window's own buttons.
// Returns true when the routing of the notification ends here.
bool CMainWnd::RouteClick(TNotifyUI& msg) {
  engine_.OnClick(msg);
  CControlUI* sender = msg.pSender;
  const std::wstring name = sender ? sender->GetName() : std::wstring();
  auto is = [&name](const wchar_t* n) { return toolkit::EqualsNoCase(name, n); };
  if (is(L"btnAbout")) {
    CPopAbout::ShowModalOver(m_hWnd);
  } else if (is(L"btnLan")) {
    CPopLanguage::ShowModalOver(m_hWnd, engine_);
  } else if (is(L"dpi_btn")) {
    SetDpiFromUserData(sender);
  } else if (is(L"option_install")) {
    engine_.installChosen = 1;
  } else if (is(L"option_delete")) {
    engine_.installChosen = 0;
  } else if (is(L"btn_setup_previous")) {
    engine_.Previous();
  } else if (is(L"btn_setup_next")) {
    engine_.Next();
  } else if (is(L"btn_setup_index")) {
    engine_.Home();
  } else if (is(L"btn_setup_cancel")) {
    RequestClose();
    return true;
  }
  return false;
}

// The DPI switch: the button's user data is the DPI ("96", "120", "144").
// The toolkit rescales the window about its top-left corner, reloads the
// images and lays the root out again. Anything but a positive number is
// ignored rather than turned into a zero scale.
void CMainWnd::SetDpiFromUserData(CControlUI* sender) {
  if (!sender) return;
  std::wstring data = sender->GetUserData();
  wchar_t* end = nullptr;
  long dpi = std::wcstol(data.c_str(), &end, 10);
  if (data.empty() || dpi <= 0 || dpi > 960) return;
  m_pm.SetDPI(static_cast<int>(dpi));
}

// WM_DPICHANGED: new DPI in the low word, suggested rectangle in LPARAM.
void CMainWnd::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
  int dpi = LOWORD(wParam);
  if (dpi > 0) m_pm.SetDPI(dpi, false);
  m_pm.ReloadImages();
  const RECT* rc = reinterpret_cast<const RECT*>(lParam);
  if (rc) {
    SetWindowPos(m_hWnd, nullptr, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  m_pm.NeedUpdate();
}

// A worker stopped half-way would leave a half-made printer or, during a
// removal, the print spooler stopped; and it would go on using the window
// and the engine after they are gone. So a close during a run waits for
// its end, if the user wants it at all.
void CMainWnd::RequestClose() {
  if (engine_.RunningWorkers() == 0) {
    DestroyWindow(m_hWnd);
    return;
  }
  if (closeWhenIdle_ || closeQuestionOpen_) return;
  closeQuestionOpen_ = true;
  const int answer = MessageBoxW(m_hWnd, LangText(L"tip.closeafterrun").c_str(), LangText(L"tip.dlgtitle").c_str(),
                                 MB_YESNO | MB_ICONQUESTION);
  closeQuestionOpen_ = false;
  if (answer != IDYES) return;
  closeWhenIdle_ = true;
  if (engine_.RunningWorkers() == 0) DestroyWindow(m_hWnd);  // ended while the question was open
}

// The system close (Alt+F4, the task bar) takes the same way as the buttons.
LRESULT CMainWnd::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = TRUE;
  RequestClose();
  return 0;
}

// The window's end ends the program.
LRESULT CMainWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  PostQuitMessage(0);
  bHandled = TRUE;
  return 0;
}

// The UIMSG_* protocol and the few Windows messages with their own
// handling. Everything is reported as not handled: the default handling
// that follows does nothing for the private ids.
LRESULT CMainWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = FALSE;
  const TUiMsgParam* record = Record(lParam);
  switch (uMsg) {
    case UIMSG_LANGUAGE_CHANGED:
      engine_.LanguageChanged();
      ApplyFonts();
      RewriteLogs();
      m_pm.RepaintAll();
      m_pm.NeedUpdate();
      ApplyTitle();
      break;
    case UIMSG_DELETE_LOG:
    case UIMSG_INSTALL_LOG:
      if (record) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        std::vector<LogEntry>& lines = uMsg == UIMSG_INSTALL_LOG ? installLines_ : deleteLines_;
        if (record->clear) lines.clear();
        else lines.push_back({now, *record});
        AppendLogLine(uMsg == UIMSG_INSTALL_LOG ? installLog_ : deleteLog_, *record, now);
      }
      break;
    case UIMSG_DELETE_ANIMATION:
      SetAnimation(gifDelete_, wParam);
      break;
    case UIMSG_INSTALL_ANIMATION:
      SetAnimation(gifInstall_, wParam);
      break;
    case UIMSG_SHOW_ROW_H1:
      ShowWhenOne(rowH1_, wParam);
      break;
    case UIMSG_SHOW_ROW_H2:
      ShowWhenOne(rowH2_, wParam);
      break;
    case UIMSG_SHOW_PRINTER_ACTIONS:
      ShowWhenOne(btnPreferences_, wParam);
      ShowWhenOne(btnProperties_, wParam);
      ShowWhenOne(btnTestPage_, wParam);
      break;
    case UIMSG_PRINTER_NAME_STATUS:
      if (printerNameInfo_ && record) {
        printerNameInfo_->SetAttribute(L"textcolor", record->isError ? L"ffff0000" : L"ff0eed1e");
        printerNameInfo_->SetText(record->text);
      }
      break;
    case UIMSG_NEXT_BUTTON:
      if (btnNext_) {
        btnNext_->SetVisible(wParam == 1);
        if (record) {
          btnNext_->SetEnabled(record->enabled);
          if (!record->text.empty()) btnNext_->SetText(record->text);
        }
      }
      break;
    case UIMSG_RUN_HEADING:
      if (CLabelUI* heading = Find<CLabelUI>(wParam == 0 ? L"label_install_heading" : L"label_delete_heading")) {
        if (record) {
          heading->SetText(record->text);
          heading->SetAttribute(L"textcolor", record->isError ? L"#FFE5484D" : L"#FF1F2937");
        }
      }
      break;
    case UIMSG_PREVIOUS_BUTTON:
      ShowWhenOne(btnPrevious_, wParam);
      break;
    case UIMSG_WIZARD_NEXT:
      engine_.Next();
      break;
    case UIMSG_WIZARD_PREVIOUS:
      engine_.Previous();
      break;
    case UIMSG_WORKER_ENDED:
      if (closeWhenIdle_ && engine_.RunningWorkers() == 0) DestroyWindow(m_hWnd);
      // The run the question was about is over: the question goes, the
      // window stays with the run's outcome, and a close now is at once.
      if (closeQuestionOpen_ && engine_.RunningWorkers() == 0) toolkit::EndMessageBox(m_hWnd, IDNO);
      break;
    case UIMSG_BLUETOOTH_ADAPTER:
      ShowWhenOne(bluetoothRow_, wParam);
      if (record && bluetoothInfo_) bluetoothInfo_->SetText(record->text);
      break;
    case WM_SHOWWINDOW:
      if (btnMin_ && btnMin_->GetParent()) btnMin_->GetParent()->NeedUpdate();
      InvalidateRect(m_hWnd, nullptr, TRUE);
      break;
    case WM_DPICHANGED:
      OnDpiChanged(wParam, lParam);
      break;
    default:
      break;
  }
  return 0;
}

// The ring progress is the window's own element; the factory serves the
// other custom controls.
CControlUI* CMainWnd::CreateControl(const wchar_t* pstrClass) {
  if (pstrClass && toolkit::EqualsNoCase(pstrClass, L"CircleProgress")) return new CCircleProgressUI();
  return nullptr;
}

// The toolkit asks for keys missing from the text table; the window has
// no texts of its own, so the key is shown.
std::wstring CMainWnd::QueryControlText(const wchar_t*, const wchar_t*) { return std::wstring(); }

// Skin chooser: a colour replaces the background image, an image clears
// the colour.
int CMainWnd::Receive(SkinChangedParam param) {
  CControlUI* root = m_pm.GetRoot();
  if (!root) return 1;
  if (param.isColor) {
    root->SetBkColor(param.color);
    root->SetBkImage(L"");
  } else {
    root->SetBkColor(0);
    root->SetBkImage(param.image);
  }
  return 1;
}
