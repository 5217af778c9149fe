// The control factory and the markup builder.
#include "toolkit/builder.h"

#include "toolkit/containers.h"
#include "toolkit/paint_manager.h"
#include "toolkit/resource.h"

#include <map>
#include <memory>

using toolkit::EqualsNoCase;
using toolkit::XmlNode;

// ---- CControlFactory -------------------------------------------------------

CControlFactory& CControlFactory::GetInstance() {
  static CControlFactory factory;
  return factory;
}

void CControlFactory::RegistControl(const std::wstring& className, CreateClass fn) {
  if (fn) m_classes[toolkit::ToLower(className)] = fn;
}

CControlUI* CControlFactory::CreateControl(const std::wstring& className) const {
  auto it = m_classes.find(toolkit::ToLower(className));
  return it == m_classes.end() ? nullptr : it->second();
}

bool CControlFactory::IsRegistered(const std::wstring& className) const {
  return m_classes.count(toolkit::ToLower(className)) != 0;
}

void CControlFactory::Release() { m_classes.clear(); }

// ---- CDialogBuilder --------------------------------------------------------

namespace {

const int kMaxBuildDepth = 64;  // also stops Include cycles
// Nested Includes with counts multiply; the program's largest window has a
// few hundred controls.
const int kMaxBuildControls = 10000;

std::map<std::wstring, std::shared_ptr<XmlNode>>& MarkupCache() {
  static std::map<std::wstring, std::shared_ptr<XmlNode>> cache;
  return cache;
}

template <class T>
CControlUI* Make() {
  return new T;
}

// Turns the attributes of a node (less the skipped ones) into an
// attribute list for styles and defaults.
std::wstring AttributeList(const XmlNode& node, std::initializer_list<const wchar_t*> skip) {
  std::wstring list;
  for (const auto& a : node.attributes) {
    bool skipped = false;
    for (const wchar_t* s : skip)
      if (EqualsNoCase(a.first, s)) skipped = true;
    if (skipped) continue;
    wchar_t q = a.second.find(L'"') == std::wstring::npos ? L'"' : L'\'';
    if (!list.empty()) list += L' ';
    list += a.first + L'=' + q + a.second + q;
  }
  return list;
}

bool IsWindowSetting(const std::wstring& name) {
  return EqualsNoCase(name, L"Font") || EqualsNoCase(name, L"Default") || EqualsNoCase(name, L"Style") ||
         EqualsNoCase(name, L"Image");
}

}  // namespace

CControlUI* CDialogBuilder::CreateBuiltin(const std::wstring& element) {
  static const std::map<std::wstring, CreateClass> builtins = {
      {L"control", Make<CControlUI>},
      {L"container", Make<CContainerUI>},
      {L"verticallayout", Make<CVerticalLayoutUI>},
      {L"horizontallayout", Make<CHorizontalLayoutUI>},
      {L"tablayout", Make<CTabLayoutUI>},
      {L"label", Make<CLabelUI>},
      {L"text", Make<CTextUI>},
      {L"button", Make<CButtonUI>},
      {L"option", Make<COptionUI>},
      {L"checkbox", Make<CCheckBoxUI>},
      {L"edit", Make<CEditUI>},
      {L"richedit", Make<CRichEditUI>},
      {L"progress", Make<CProgressUI>},
      {L"slider", Make<CSliderUI>},
      {L"gifanim", Make<CGifAnimUI>},
      {L"colorpalette", Make<CColorPaletteUI>},
      {L"list", Make<CListUI>},
      {L"listheader", Make<CListHeaderUI>},
      {L"listheaderitem", Make<CListHeaderItemUI>},
      {L"listcontainerelement", Make<CListContainerElementUI>},
      {L"listtextelement", Make<CListTextElementUI>},
      {L"listtextexelement", Make<CListTextExtElementUI>},
      {L"combo", Make<CComboUI>},
  };
  auto it = builtins.find(toolkit::ToLower(element));
  return it == builtins.end() ? nullptr : it->second();
}

void CDialogBuilder::ClearCache() { MarkupCache().clear(); }

// Loads (through the resource index) and parses markup, caching parsed
// files by path.
static std::shared_ptr<XmlNode> LoadMarkup(const std::wstring& markup, std::string& error) {
  std::wstring resolved = CResourceManager::GetInstance().ResolveMarkupName(markup);
  if (resolved.empty()) {
    error = "empty markup name";
    return nullptr;
  }
  auto doc = std::make_shared<XmlNode>();
  if (resolved[0] == L'<') {
    if (!toolkit::ParseXml(resolved, *doc, &error)) return nullptr;
    return doc;
  }
  auto& cache = MarkupCache();
  auto it = cache.find(resolved);
  if (it != cache.end()) return it->second;
  std::vector<uint8_t> bytes;
  if (!CResourceManager::GetInstance().GetFileBytes(resolved, bytes)) {
    error = "markup \"" + toolkit::WideToUtf8(resolved) + "\" not found or unreadable";
    return nullptr;
  }
  if (!toolkit::ParseXml(bytes.data(), bytes.size(), *doc, &error)) return nullptr;
  cache.emplace(resolved, doc);
  return doc;
}

CControlUI* CDialogBuilder::Create(const std::wstring& markup, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
  m_callback = callback;
  m_error.clear();
  m_built = 0;
  std::shared_ptr<XmlNode> doc = LoadMarkup(markup, m_error);
  if (!doc) return nullptr;
  CControlUI* result = nullptr;
  if (EqualsNoCase(doc->name, L"Window")) {
    if (manager) ApplyWindowNode(*doc, manager);
    result = BuildChildren(*doc, parent, manager, 0);
  } else {
    result = BuildElement(*doc, parent, manager, 0);
  }
  if (m_built > kMaxBuildControls) {
    // What was built so far is dropped, or stays with the parent that owns it.
    if (!parent) delete result;
    m_error = "markup builds more than " + std::to_string(kMaxBuildControls) + " controls";
    return nullptr;
  }
  if (!result && m_error.empty()) m_error = "the markup holds no control";
  return result;
}

// Window attributes, fonts, per-class defaults and styles.
void CDialogBuilder::ApplyWindowNode(const XmlNode& node, CPaintManagerUI* manager) {
  for (const auto& a : node.attributes) manager->SetWindowAttribute(a.first, a.second);
  for (const XmlNode& child : node.children) {
    if (EqualsNoCase(child.name, L"Font")) {
      const std::wstring* id = child.AttrNoCase(L"id");
      const std::wstring* face = child.AttrNoCase(L"name");
      const std::wstring* size = child.AttrNoCase(L"size");
      auto flag = [&child](const wchar_t* n) {
        const std::wstring* v = child.AttrNoCase(n);
        return v && toolkit::ParseBool(*v);
      };
      int sz = size ? static_cast<int>(std::wcstol(size->c_str(), nullptr, 10)) : 12;
      std::wstring f = face ? *face : std::wstring();
      if (id) manager->AddFont(static_cast<int>(std::wcstol(id->c_str(), nullptr, 10)), f, sz, flag(L"bold"),
                               flag(L"underline"), flag(L"italic"));
      if (flag(L"default")) manager->SetDefaultFont(f, sz, flag(L"bold"), flag(L"underline"), flag(L"italic"));
    } else if (EqualsNoCase(child.name, L"Default")) {
      if (const std::wstring* n = child.AttrNoCase(L"name"))
        manager->AddDefaultAttributeList(*n, AttributeList(child, {L"name", L"shared"}));
    } else if (EqualsNoCase(child.name, L"Style")) {
      const std::wstring* n = child.AttrNoCase(L"name");
      if (!n) continue;
      std::wstring list = AttributeList(child, {L"name", L"shared"});
      const std::wstring* shared = child.AttrNoCase(L"shared");
      if (shared && toolkit::ParseBool(*shared)) CPaintManagerUI::AddSharedStyle(*n, list);
      else manager->AddStyle(*n, list);
    }
  }
}

// Builds the control children of node into parent; returns the first one.
CControlUI* CDialogBuilder::BuildChildren(const XmlNode& node, CControlUI* parent, CPaintManagerUI* manager,
                                          int depth) {
  CControlUI* first = nullptr;
  for (const XmlNode& child : node.children) {
    if (IsWindowSetting(child.name)) continue;
    CControlUI* c = BuildElement(child, parent, manager, depth + 1);
    if (!first) first = c;
    if (!parent && first) break;  // a tree without a parent has one root
  }
  return first;
}

CControlUI* CDialogBuilder::BuildElement(const XmlNode& node, CControlUI* parent, CPaintManagerUI* manager,
                                         int depth) {
  if (depth > kMaxBuildDepth) {
    m_error = "markup nested too deeply (or an Include cycle)";
    return nullptr;
  }
  if (EqualsNoCase(node.name, L"Include")) {
    const std::wstring* source = node.AttrNoCase(L"source");
    if (!source) return nullptr;
    const std::wstring* countAttr = node.AttrNoCase(L"count");
    int count = countAttr ? static_cast<int>(std::wcstol(countAttr->c_str(), nullptr, 10)) : 1;
    CControlUI* first = nullptr;
    for (int i = 0; i < count && i < 100 && m_built <= kMaxBuildControls; ++i) {
      std::shared_ptr<XmlNode> doc = LoadMarkup(*source, m_error);
      if (!doc) return nullptr;
      CControlUI* c = EqualsNoCase(doc->name, L"Window") ? BuildChildren(*doc, parent, manager, depth + 1)
                                                         : BuildElement(*doc, parent, manager, depth + 1);
      if (!first) first = c;
      if (!parent && first) break;  // a tree without a parent has one root; more copies would be lost
    }
    return first;
  }
  if (IsWindowSetting(node.name)) return nullptr;

  if (m_built > kMaxBuildControls) return nullptr;
  CControlUI* control = CreateBuiltin(node.name);
  if (!control && m_callback) control = m_callback->CreateControl(node.name.c_str());
  if (!control) control = CControlFactory::GetInstance().CreateControl(L"C" + node.name + L"UI");
  if (!control) return nullptr;  // unknown element: skipped with its children
  ++m_built;

  control->SetManager(manager, nullptr, false);
  if (manager) {
    std::wstring defaults = manager->GetDefaultAttributeList(node.name);
    if (!defaults.empty()) control->ApplyAttributeList(defaults);
  }
  for (const auto& a : node.attributes) control->SetAttribute(a.first, a.second);

  if (dynamic_cast<IContainerUI*>(control)) BuildChildren(node, control, manager, depth);

  if (parent) {
    auto* container = dynamic_cast<IContainerUI*>(parent);
    if (!container || !container->Add(control)) {
      delete control;
      return nullptr;
    }
  }
  return control;
}
