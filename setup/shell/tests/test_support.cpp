#include "test_support.h"

#include "app.h"
#include "localization.h"
#include "main_wnd.h"

#include <fstream>
#include <iterator>

bool OpenRealArchive() {
  std::ifstream in(PLOVEX_ARCHIVE_FILE, std::ios::binary);
  if (!in) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CResourceManager::GetInstance().Release();
  SetUpResources(L"C:\\Program Files\\Plovex\\", bytes.data(), bytes.size());
  return CResourceManager::GetInstance().IsZipOpen();
}

// The fixed keys, then every language's name key from the table.
const std::vector<std::wstring>& ProgramTextKeys() {
  static const std::vector<std::wstring> keys = [] {
    std::vector<std::wstring> all = {
        L"mainTitle", L"main.btn.next", L"main.btn.startDelete", L"gb.title.printer", L"gb.title.driver",
        L"tip.yes", L"tip.no", L"tip.dlgtitle", L"tip.btadapter.on", L"tip.btadapter.off",
        L"tip.btadapter.none", L"tip.btadapter.pleasechecked", L"tip.pinerror", L"tip.startpairbluetooth",
        L"tip.pairbluetoothfailpinis", L"tip.pairbluetoothsuccess", L"tip.getbluetoothserialportfail",
        L"tip.readbluetoothserialport", L"tip.lancheckedok", L"tip.lancheckedfail", L"tip.notselectusbport",
        L"tip.currentportis", L"tip.isdeleteport", L"tip.deletefailreason", L"tip.startaddlanport",
        L"tip.addlanportfail", L"tip.addlanportsuccess", L"tip.port.unidentification",
        L"tip.readdriverdirfail", L"tip.startcopyfile", L"tip.copyfilefail", L"tip.copyfilesuccess",
        L"tip.startinstalldriver", L"tip.installdriverfail", L"tip.installdriverfail2",
        L"tip.installdriversuccess", L"tip.startinstallprinter", L"tip.installprintersuccess",
        L"tip.installprinterfail", L"tip.startdeleteprinter", L"tip.deletesuccess", L"tip.deletefail",
        L"tip.failreason", L"tip.startdeletedriver", L"tip.startdeletepack", L"tip.tryrestartprintservice",
        L"tip.startprintserviceok", L"tip.startprintservicefail", L"tip.stopprintservicefail",
        L"tip.printservicenotrunning", L"tip.closeafterrun", L"tip.printername.invalid", L"tip.windowfail"};
    for (const auto& row : LanguageRows()) all.push_back(row.NameKey());
    return all;
  }();
  return keys;
}

std::wstring Versioned(const wchar_t* title) { return std::wstring(title) + L" - " + kVersionText; }
