// Every text the wizard and its window put on screen comes from the
// language files. Each key's text is replaced by a marker ("⟦key⟧" and one
// " %s" per argument); after each step of the flows below, every control's
// text and tooltip, both logs and the last message box may hold nothing but
// markers, digits, punctuation and the data the texts are about (names of
// printers, ports, models, the system's error messages). A letter left over
// is a text written into the code or the markup.
#include "dialogs.h"
#include "engine_fixture.h"
#include "main_wnd.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

namespace {

class ScreenTextsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    std::ifstream in(PLOVEX_CONTENT_DIR "/lan_en.xml", std::ios::binary);
    ASSERT_TRUE(in);
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::regex text(R"re(id="([^"]+)"\s+value=(["'])(.*?)\2)re");
    int keys = 0;
    for (std::sregex_iterator it(xml.begin(), xml.end(), text), end; it != end; ++it, ++keys) {
      std::wstring marker = L"\u27e6" + toolkit::Utf8ToWide((*it)[1].str()) + L"\u27e7";
      const std::string value = (*it)[3].str();
      for (size_t at = value.find("%s"); at != std::string::npos; at = value.find("%s", at + 2)) marker += L" %s";
      CResourceManager::GetInstance().SetText(toolkit::Utf8ToWide((*it)[1].str()), marker);
    }
    ASSERT_GT(keys, 100);
    SendMessageW(hwnd, UIMSG_LANGUAGE_CHANGED, 0, 0);
    MessageBoxW(nullptr, L"", L"", 0);  // forgets an earlier test's box
    data_ = {kVersionText, L"Shop"};
    for (const ModelEntry& model : BuildModelTable()) data_.insert(data_.end(), {model.displayName, model.driverName});
    for (platform::ErrorCode code : {5u, 1796u}) data_.push_back(machine.system.ErrorMessage(code, 1033));
  }

  // Port names, monitors and descriptions are the system's own.
  void NoteSystemData() {
    std::vector<platform::PortInfo> ports;
    machine.spooler.ListPorts(ports);
    for (const platform::PortInfo& port : ports) data_.insert(data_.end(), {port.name, port.monitor, port.description});
  }

  void Check(const std::wstring& shown, const std::string& where) {
    std::wstring rest = shown;
    for (size_t open = rest.find(L'\u27e6'); open != std::wstring::npos; open = rest.find(L'\u27e6', open)) {
      const size_t close = rest.find(L'\u27e7', open);
      if (close == std::wstring::npos) break;
      rest.erase(open, close - open + 1);
    }
    // Longest first, so a name is not cut by a shorter one inside it.
    std::vector<std::wstring> data = data_;
    std::sort(data.begin(), data.end(), [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
    for (const std::wstring& item : data) {
      if (item.empty()) continue;
      for (size_t at = rest.find(item); at != std::wstring::npos; at = rest.find(item, at)) rest.erase(at, item.size());
    }
    for (wchar_t c : rest) {
      if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c >= 0x80) {
        ADD_FAILURE() << where << ": a text outside the language files: \"" << toolkit::WideToUtf8(shown) << "\"";
        return;
      }
    }
  }

  void CheckTree(CControlUI* control, const std::string& where) {
    if (!control) return;
    const std::string name = where + " " + toolkit::WideToUtf8(control->GetName());
    Check(control->GetText(), name);
    Check(control->GetToolTip(), name + " (tooltip)");
    if (auto* container = dynamic_cast<IContainerUI*>(control)) {
      for (int i = 0; i < container->GetCount(); ++i) CheckTree(container->GetItemAt(i), where);
    }
  }

  // The whole window, both logs and the last message box.
  void Look(const std::string& where) {
    NoteSystemData();
    CheckTree(wnd->GetPaintManager().GetRoot(), where);
    Check(toolkit::headless::LastMessageBoxText(), where + " message box");
  }

  // Whether a log box holds a line of this key (the flows reached it).
  bool InLog(const wchar_t* box, const std::wstring& key) {
    CControlUI* log = Find(box);
    return log && log->GetText().find(L"\u27e6" + key + L"\u27e7") != std::wstring::npos;
  }

  std::vector<std::wstring> data_;
};

TEST_F(ScreenTextsTest, InstallPagesChecksAndRunFailures) {
  Look("start page");
  NextPage();
  Click(L"option_port_bluetooth");
  NextPage();
  Look("Bluetooth without an adapter");

  // Network page: an invalid address, a taken port name, Check.
  ASSERT_EQ(InstallKind(), kPortTypePage);
  Click(L"option_port_net");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kNetworkPage);
  Type(L"edit_install_lan_ip", L"10.0.0");
  NextPage();
  Click(L"btn_checked_ip");
  Look("network page, invalid address");
  Type(L"edit_install_lan_ip", L"10.0.0.1");
  Click(L"btn_checked_ip");
  Look("network page, no answer");
  Type(L"edit_install_lan_portName", L"COM1:");
  NextPage();
  Look("network page, taken port");
  Type(L"edit_install_lan_portName", std::wstring(70, L'9'));
  NextPage();
  ASSERT_EQ(InstallKind(), kPrinterNamePage);
  // A taken printer name, then the summary and a run that refuses the port.
  AddQueue(L"Shop");
  Type(L"edit_install_printer_name", L"Shop");
  Click(L"btn_checked_printer_name");
  Look("name page, taken name");
  Type(L"edit_install_printer_name", L"Shop 2");
  data_.push_back(L"Shop 2");
  Click(L"btn_checked_printer_name");
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  Look("summary");
  NextPage();
  Look("network run, port name too long");
  EXPECT_TRUE(InLog(L"wordedit_installInfo", L"tip.addlanportfail"));

  // The staged package when the folder cannot be made, then a refused queue.
  GoHome();
  machine.FailNext(platform::sim::Op::kAddDriver, 5);
  machine.FailNext(platform::sim::Op::kCreateDir, 5);
  ToPortKind(L"option_port_com");
  NextPage();
  ClickRow(L"listex_install_driver_port", 0);
  NextPage();
  NextPage();
  NextPage();
  Look("COM run, staging folder not made");
  EXPECT_TRUE(InLog(L"wordedit_installInfo", L"tip.installdriverfail"));
  GoHome();
  machine.FailNext(platform::sim::Op::kAddQueue, 1796);
  ToPortKind(L"option_port_com");
  NextPage();
  NextPage();
  NextPage();
  NextPage();
  Look("COM run, queue refused");
  EXPECT_TRUE(InLog(L"wordedit_installInfo", L"tip.installprinterfail"));
}

TEST_F(ScreenTextsTest, RemovalRunAndAbout) {
  AddQueue(L"Shop", L"COM1:", Model(0).driverName);
  Click(L"option_delete");
  NextPage();
  wnd->GetPaintManager().SendNotify(FindAs<CListUI>(L"listex_delete_printer")->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  NextPage();
  NextPage();
  Look("removal summary");
  machine.FailNext(platform::sim::Op::kDeleteQueue, 5);
  NextPage();
  Look("removal run");
  EXPECT_TRUE(InLog(L"wordedit_deleteInfo_start", L"tip.failreason"));
  Check(AboutVersionText(), "About, version");
  Check(AboutBuildDateText(), "About, build date");
}

}  // namespace
