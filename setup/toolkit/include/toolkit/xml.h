// A small XML reader for markup, the resource index and language files.
// Accepts UTF-8 (with or without BOM) and UTF-16 with a BOM; decodes the
// five named entities and numeric character references; skips comments,
// processing instructions and DOCTYPE; keeps elements and attributes in
// document order. Text content is ignored (markup carries none).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace toolkit {

struct XmlNode {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  std::vector<XmlNode> children;

  // The value of an attribute by exact name, or nullptr.
  const std::wstring* Attr(const std::wstring& attrName) const;
  // The same ignoring case.
  const std::wstring* AttrNoCase(const std::wstring& attrName) const;
};

// Parses a whole document. Returns false (and sets error) for text that is
// not well-formed; nesting deeper than 256 elements counts as malformed.
bool ParseXml(const uint8_t* data, size_t size, XmlNode& root, std::string* error = nullptr);
bool ParseXml(const std::wstring& text, XmlNode& root, std::string* error = nullptr);

}  // namespace toolkit
