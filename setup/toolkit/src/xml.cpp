// A small non-validating XML reader producing an element tree.
#include "toolkit/xml.h"

#include "toolkit/core.h"

#include <cwchar>
#include <cwctype>

namespace toolkit {

const std::wstring* XmlNode::Attr(const std::wstring& attrName) const {
  for (const auto& a : attributes)
    if (a.first == attrName) return &a.second;
  return nullptr;
}

const std::wstring* XmlNode::AttrNoCase(const std::wstring& attrName) const {
  for (const auto& a : attributes)
    if (EqualsNoCase(a.first, attrName)) return &a.second;
  return nullptr;
}

namespace {

const int kMaxDepth = 256;

// Recursive-descent reader over the decoded text.
class Reader {
 public:
  explicit Reader(const std::wstring& text) : s_(text) {}

  bool Document(XmlNode& root) {
    // XML has no NUL character, written or referenced; a name or value
    // holding one could never be looked up as a C string.
    const size_t nul = s_.find(L'\0');
    if (nul != std::wstring::npos) {
      pos_ = nul;
      return Fail("NUL character");
    }
    SkipMisc();
    if (!Peek(L'<')) return Fail("no root element");
    if (!Element(root, 0)) return false;
    SkipMisc();
    if (pos_ != s_.size()) return Fail("content after the root element");
    return true;
  }

  std::string error;

 private:
  bool Fail(const char* why) {
    if (error.empty()) error = std::string(why) + " at offset " + std::to_string(pos_);
    return false;
  }
  bool Peek(wchar_t c) const { return pos_ < s_.size() && s_[pos_] == c; }
  bool StartsWith(const wchar_t* t) const { return s_.compare(pos_, std::wcslen(t), t) == 0; }
  void SkipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == L' ' || s_[pos_] == L'\t' || s_[pos_] == L'\r' || s_[pos_] == L'\n')) ++pos_;
  }
  bool SkipPast(const wchar_t* end) {
    size_t at = s_.find(end, pos_);
    if (at == std::wstring::npos) return false;
    pos_ = at + std::wcslen(end);
    return true;
  }
  // Skips white space, comments, processing instructions and DOCTYPE.
  bool SkipMisc() {
    for (;;) {
      SkipSpace();
      if (StartsWith(L"<!--")) {
        if (!SkipPast(L"-->")) return Fail("unterminated comment");
      } else if (StartsWith(L"<?")) {
        if (!SkipPast(L"?>")) return Fail("unterminated processing instruction");
      } else if (StartsWith(L"<!DOCTYPE") || StartsWith(L"<!doctype")) {
        if (!SkipPast(L">")) return Fail("unterminated DOCTYPE");
      } else {
        return true;
      }
    }
  }
  static bool NameChar(wchar_t c) {
    return iswalnum(c) || c == L'_' || c == L'-' || c == L'.' || c == L':' || c > 0x7F;
  }
  bool Name(std::wstring& out) {
    size_t start = pos_;
    while (pos_ < s_.size() && NameChar(s_[pos_])) ++pos_;
    if (pos_ == start) return Fail("name expected");
    out.assign(s_, start, pos_ - start);
    return true;
  }
  // Decodes one entity or character reference after '&'.
  bool Entity(std::wstring& out) {
    size_t semi = s_.find(L';', pos_);
    if (semi == std::wstring::npos || semi - pos_ > 10) return Fail("bad entity");
    std::wstring e = s_.substr(pos_ + 1, semi - pos_ - 1);
    pos_ = semi + 1;
    if (e == L"lt") out.push_back(L'<');
    else if (e == L"gt") out.push_back(L'>');
    else if (e == L"amp") out.push_back(L'&');
    else if (e == L"quot") out.push_back(L'"');
    else if (e == L"apos") out.push_back(L'\'');
    else if (e.size() > 1 && e[0] == L'#') {
      bool hex = e[1] == L'x' || e[1] == L'X';
      std::wstring digits = e.substr(hex ? 2 : 1);
      if (digits.empty()) return Fail("bad character reference");
      unsigned long cp = 0;
      for (wchar_t c : digits) {
        int d;
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (hex && c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (hex && c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else return Fail("bad character reference");
        cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        if (cp > 0x10FFFF) return Fail("character reference out of range");
      }
      if (cp == 0) return Fail("character reference to NUL");
      if (cp >= 0xD800 && cp <= 0xDFFF) return Fail("character reference to a surrogate");
      if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      } else {
        out.push_back(static_cast<wchar_t>(cp));
      }
    } else {
      return Fail("unknown entity");
    }
    return true;
  }
  bool AttrValue(std::wstring& out) {
    if (!Peek(L'"') && !Peek(L'\'')) return Fail("quoted value expected");
    wchar_t q = s_[pos_++];
    while (pos_ < s_.size() && s_[pos_] != q) {
      if (s_[pos_] == L'&') {
        if (!Entity(out)) return false;
      } else if (s_[pos_] == L'<') {
        return Fail("'<' in attribute value");
      } else {
        out.push_back(s_[pos_++]);
      }
    }
    if (pos_ >= s_.size()) return Fail("unterminated attribute value");
    ++pos_;
    return true;
  }
  bool Element(XmlNode& node, int depth) {
    if (depth >= kMaxDepth) return Fail("nesting too deep");
    ++pos_;  // '<'
    if (!Name(node.name)) return false;
    for (;;) {
      size_t before = pos_;
      SkipSpace();
      if (Peek(L'/')) {
        ++pos_;
        if (!Peek(L'>')) return Fail("'>' expected");
        ++pos_;
        return true;
      }
      if (Peek(L'>')) {
        ++pos_;
        break;
      }
      if (pos_ == before) return Fail("space expected before attribute");
      std::wstring an, av;
      if (!Name(an)) return false;
      SkipSpace();
      if (!Peek(L'=')) return Fail("'=' expected");
      ++pos_;
      SkipSpace();
      if (!AttrValue(av)) return false;
      // A repeated attribute would make "first wins" and "last wins" readers disagree.
      if (node.Attr(an)) return Fail("attribute given twice");
      node.attributes.emplace_back(std::move(an), std::move(av));
    }
    // Content: child elements; text, comments and CDATA are skipped.
    for (;;) {
      if (pos_ >= s_.size()) return Fail("unterminated element");
      if (StartsWith(L"</")) {
        pos_ += 2;
        std::wstring closing;
        if (!Name(closing)) return false;
        if (closing != node.name) return Fail("mismatched closing tag");
        SkipSpace();
        if (!Peek(L'>')) return Fail("'>' expected");
        ++pos_;
        return true;
      }
      if (StartsWith(L"<!--")) {
        if (!SkipPast(L"-->")) return Fail("unterminated comment");
      } else if (StartsWith(L"<![CDATA[")) {
        if (!SkipPast(L"]]>")) return Fail("unterminated CDATA");
      } else if (StartsWith(L"<?")) {
        if (!SkipPast(L"?>")) return Fail("unterminated processing instruction");
      } else if (Peek(L'<')) {
        node.children.emplace_back();
        if (!Element(node.children.back(), depth + 1)) return false;
      } else if (Peek(L'&')) {
        std::wstring ignored;
        if (!Entity(ignored)) return false;
      } else {
        ++pos_;
      }
    }
  }

  const std::wstring& s_;
  size_t pos_ = 0;
};

}  // namespace

bool ParseXml(const std::wstring& text, XmlNode& root, std::string* error) {
  root = XmlNode();
  Reader r(text);
  bool ok = r.Document(root);
  if (!ok) {
    root = XmlNode();
    if (error) *error = r.error;
  }
  return ok;
}

// Decodes by BOM: UTF-16 LE/BE, otherwise UTF-8.
bool ParseXml(const uint8_t* data, size_t size, XmlNode& root, std::string* error) {
  std::wstring text;
  if (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
    bool le = data[0] == 0xFF;
    std::string utf8;
    std::wstring w;
    for (size_t i = 2; i + 1 < size; i += 2) {
      uint32_t u = le ? (data[i] | (data[i + 1] << 8)) : ((data[i] << 8) | data[i + 1]);
      if (sizeof(wchar_t) == 4 && u >= 0xD800 && u < 0xDC00 && i + 3 < size) {
        uint32_t lo = le ? (data[i + 2] | (data[i + 3] << 8)) : ((data[i + 2] << 8) | data[i + 3]);
        if (lo >= 0xDC00 && lo < 0xE000) {
          u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
        }
      }
      w.push_back(static_cast<wchar_t>(u));
    }
    text = std::move(w);
  } else {
    size_t skip = (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) ? 3 : 0;
    text = Utf8ToWide(std::string(reinterpret_cast<const char*>(data) + skip, size - skip));
  }
  return ParseXml(text, root, error);
}

}  // namespace toolkit
