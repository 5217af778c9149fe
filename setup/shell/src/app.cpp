#include "app.h"

#include "custom_controls.h"
#include "localization.h"
#include "main_wnd.h"

const wchar_t kArchivePassword[] = L"wkq19990517";

// Everything is read from the archive; the folder is only the toolkit's
// setting for loose files, which this program never uses. The program's
// own controls are registered with the resources, before any markup.
void SetUpResources(const std::wstring& moduleFolder, const void* archive, size_t size) {
  CResourceManager& resources = CResourceManager::GetInstance();
  resources.SetResourceType(UILIB_ZIPRESOURCE);
  resources.SetResourcePath(moduleFolder + L"skin\\Mirendo\\");
  if (archive && size != 0) {
    resources.SetResourceZip(archive, size, kArchivePassword);
    resources.LoadResource(L"res.xml");
  }
  RegisterCustomControls();
}

int RunMainWindow() {
  FillLanguageTable(SetupEngine::Instance());
  auto* frame = new CMainWnd();
  frame->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  frame->CenterWindow();
  CPaintManagerUI::MessageLoop();
  delete frame;
  CPaintManagerUI::Shutdown();
  return 0;
}
