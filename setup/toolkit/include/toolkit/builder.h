// Building controls from markup, and the control factory.
#pragma once

#include "toolkit/control.h"
#include "toolkit/xml.h"

#include <functional>
#include <map>
#include <string>

typedef CControlUI* (*CreateClass)();

// Creation functions registered under class names (stored in lower case).
class CControlFactory {
 public:
  static CControlFactory& GetInstance();
  void RegistControl(const std::wstring& className, CreateClass fn);
  // nullptr when no function is registered under the name (any case).
  CControlUI* CreateControl(const std::wstring& className) const;
  bool IsRegistered(const std::wstring& className) const;
  void Release();

 private:
  std::map<std::wstring, CreateClass> m_classes;
};

// L#T does not widen a stringised argument; the L prefix must be pasted
// onto the string literal in a second expansion.
#define TOOLKIT_WIDEN2(s) L##s
#define TOOLKIT_WIDEN(s) TOOLKIT_WIDEN2(s)
#define TOOLKIT_STRINGIZE(T) #T
#define REGIST_DUICONTROL(T)                                                          \
  CControlFactory::GetInstance().RegistControl(TOOLKIT_WIDEN(TOOLKIT_STRINGIZE(T)), \
                                               []() -> CControlUI* { return new T; })

// Builds a control tree from markup: an archive path, an "Xml" id of the
// resource index, or markup text itself. For each element the builder
// tries, in order: the built-in controls (Button, Label, ...), the
// callback's CreateControl, and the factory under "C" + element + "UI".
// Elements that none of them creates are skipped with their children.
// Markup that would make more than 10000 controls (Includes with counts
// multiply) is refused.
class CDialogBuilder {
 public:
  // manager may be null (the tree is then attached later); parent, when
  // given, receives the built controls.
  CControlUI* Create(const std::wstring& markup, IDialogBuilderCallback* callback = nullptr,
                     CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
  // Why the last Create returned nullptr.
  const std::string& GetLastError() const { return m_error; }
  // Creates a built-in control for an element name (any case), or nullptr.
  static CControlUI* CreateBuiltin(const std::wstring& element);
  // Drops the parsed-markup cache.
  static void ClearCache();

 private:
  CControlUI* BuildChildren(const toolkit::XmlNode& node, CControlUI* parent, CPaintManagerUI* manager, int depth);
  CControlUI* BuildElement(const toolkit::XmlNode& node, CControlUI* parent, CPaintManagerUI* manager, int depth);
  void ApplyWindowNode(const toolkit::XmlNode& node, CPaintManagerUI* manager);

  IDialogBuilderCallback* m_callback = nullptr;
  std::string m_error;
  int m_built = 0;  // controls created by the current Create
};
