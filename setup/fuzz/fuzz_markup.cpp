// Markup on arbitrary bytes, read from an archive as the program reads its
// windows: the XML reader either builds a tree or says why not, and a
// window built from the markup (controls, attributes, layout) comes up or
// fails cleanly, and goes away again.
#include <string>

#include "fuzz_check.h"
#include "toolkit/headless.h"
#include "toolkit/toolkit.h"
#include "zip_test_util.h"

namespace {

class FuzzWnd : public WindowImplBase {
 public:
  bool failed = false;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"FuzzWnd"; }
  std::wstring GetSkinFile() override { return L"fuzz.xml"; }
  // The program's windows end the process here; a fuzzed one just fails.
  void OnBuildFailed(const std::wstring&, const std::string&) override { failed = true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  toolkit::XmlNode root;
  std::string error;
  if (!toolkit::ParseXml(data, size, root, &error)) {
    FUZZ_CHECK(!error.empty() && root.name.empty() && root.children.empty());
    return 0;
  }
  CResourceManager& res = CResourceManager::GetInstance();
  res.Release();
  res.SetResourceType(UILIB_ZIPRESOURCE);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<uint8_t> archive = testzip::Make({{"fuzz.xml", bytes, true}}, "");
  FUZZ_CHECK(res.SetResourceZip(archive.data(), archive.size(), L""));
  CDialogBuilder::ClearCache();

  FuzzWnd wnd;
  HWND hwnd = wnd.Create(nullptr, L"fuzz", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  FUZZ_CHECK((hwnd != nullptr) != wnd.failed);
  if (hwnd) {
    wnd.GetPaintManager().UpdateLayout();
    ::DestroyWindow(hwnd);
  }
  toolkit::headless::PumpPending();
  CPaintManagerUI::Shutdown();
  return 0;
}
