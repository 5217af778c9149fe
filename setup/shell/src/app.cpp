#include "app.h"

#include "custom_controls.h"
#include "localization.h"
#include "main_wnd.h"

const wchar_t kArchivePassword[] = L"" PLOVEX_ARCHIVE_PASSWORD;

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
  SetupEngine& engine = SetupEngine::Instance();
  FillLanguageTable(engine);
  auto* frame = new CMainWnd();
  if (!frame->Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400)) {
    // Without a window nothing would ever end the message loop: say so
    // (the window would have chosen the language) and end.
    delete frame;
    ChooseStartupLanguage(engine);
    MessageBoxW(nullptr, LangText(L"tip.windowfail").c_str(), LangText(L"tip.dlgtitle").c_str(),
                MB_OK | MB_ICONERROR);
    CPaintManagerUI::Shutdown();
    return 1;
  }
  frame->CenterWindow();
  CPaintManagerUI::MessageLoop();
  delete frame;
  CPaintManagerUI::Shutdown();
  return 0;
}
