// The registry store's tree and the text of its files.
#include "registry_file.h"

#include <doroutil/strutil.h>
#include <platform/registry.h>

#include <cstring>

namespace platform::reg::storefile {

namespace {
const char kHeader[] = "; navconfig registry 1";
}  // namespace

// ---- Names ----

char16_t FoldUnit(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = FoldUnit(c);
  return out;
}

// The components of a sub-key path; empty ones (doubled, leading or trailing backslashes) are passed over.
std::vector<std::u16string> SplitPath(const char16_t* subKey) {
  std::vector<std::u16string> parts;
  if (!subKey) return parts;
  std::u16string_view rest(subKey);
  while (!rest.empty()) {
    size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    if (!part.empty()) parts.emplace_back(part);
    if (cut == std::u16string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return parts;
}

// ---- The tree ----


Node* Child(Node* node, const std::u16string& name) {
  auto it = node->children.find(Fold(name));
  return it == node->children.end() ? nullptr : it->second.get();
}

Node* Walk(Node* node, const std::vector<std::u16string>& path, size_t from) {
  for (size_t i = from; node && i < path.size(); ++i) node = Child(node, path[i]);
  return node;
}

// The bytes that a value of this type keeps for the data given; false when the data do not suit the type.
bool NormalizeData(uint32_t type, const uint8_t* data, uint32_t size, std::vector<uint8_t>& bytes) {
  if (!data && size) return false;
  if (type == REG_DWORD && size != 4) return false;
  bytes.assign(data, data + size);
  if (type == REG_SZ) {
    bytes.resize(size & ~1u);  // whole UTF-16 units only
    if (bytes.size() < 2 || bytes[bytes.size() - 1] != 0 || bytes[bytes.size() - 2] != 0) {
      bytes.push_back(0);
      bytes.push_back(0);
    }
  }
  return true;
}

std::u16string Units(const std::vector<uint8_t>& bytes) {
  std::u16string s(bytes.size() / 2, u'\0');
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// ---- Text of the store file ----

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendHex4(std::string& out, const char* intro, char16_t unit) {
  static const char digits[] = "0123456789ABCDEF";
  out += intro;
  for (int shift = 12; shift >= 0; shift -= 4) out += digits[(unit >> shift) & 0xF];
}

uint32_t Pair(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
}

// Writes UTF-16 text as UTF-8; the units for which escape() is true, and unpaired surrogates, are written
// as write(unit) instead.
template <typename Escape, typename Write>
void WriteText(std::string& out, std::u16string_view text, Escape escape, Write write) {
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      AppendUtf8(out, Pair(c, text[i + 1]));
      ++i;
    } else if (IsHigh(c) || IsLow(c) || escape(c)) {
      write(c);
    } else {
      AppendUtf8(out, c);
    }
  }
}

// Value names and texts: backslash escapes.
void WriteQuotedText(std::string& out, std::u16string_view text) {
  auto escape = [](char16_t c) { return c < 0x20 || c == 0x7F || c == u'\\' || c == u'"'; };
  auto write = [&out](char16_t c) {
    switch (c) {
      case u'\\':
        out += "\\\\";
        break;
      case u'"':
        out += "\\\"";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\0':
        out += "\\0";
        break;
      default:
        AppendHex4(out, "\\u", c);
        break;
    }
  };
  WriteText(out, text, escape, write);
}

// Key names: percent escapes (a backslash cannot occur in them).
void WriteKeyName(std::string& out, std::u16string_view name) {
  auto escape = [](char16_t c) { return c < 0x20 || c == 0x7F || c == u'%' || c == u'[' || c == u']'; };
  WriteText(out, name, escape, [&out](char16_t c) { AppendHex4(out, "%", c); });
}

void WriteValues(std::string& out, const Node& node) {
  static const char digits[] = "0123456789abcdef";
  for (const auto& [folded, v] : node.values) {
    out += '"';
    WriteQuotedText(out, v.name);
    out += "\"=";
    if (v.type == REG_DWORD) {
      uint32_t n;
      std::memcpy(&n, v.bytes.data(), 4);
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", n);
      out += buf;
    } else if (v.type == REG_SZ) {
      out += "sz:";
      std::u16string text = Units(v.bytes);
      text.pop_back();  // the terminator
      WriteQuotedText(out, text);
    } else {
      out += "hex(" + std::to_string(v.type) + "):";
      for (uint8_t b : v.bytes) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
      }
    }
    out += '\n';
  }
}

void WriteKeys(std::string& out, const Node& node, const std::string& path) {
  for (const auto& [folded, child] : node.children) {
    std::string childPath = path;
    if (!childPath.empty()) childPath += '\\';
    WriteKeyName(childPath, child->name);
    out += '[' + childPath + "]\n";
    WriteValues(out, *child);
    WriteKeys(out, *child, childPath);
  }
}

std::string Serialize(const Node& root) {
  std::string out = std::string(kHeader) + "\n";
  if (!root.values.empty()) {
    out += "[]\n";
    WriteValues(out, root);
  }
  WriteKeys(out, root, std::string());
  return out;
}

// Reads text written by the functions above. Every reader returns false for text they did not write.
class Reader {
 public:
  explicit Reader(std::string_view s) : m_s(s) {}
  bool AtEnd() const { return m_pos >= m_s.size(); }
  char Peek() const { return m_s[m_pos]; }
  bool Take(char c) {
    if (AtEnd() || m_s[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  bool TakeWord(std::string_view w) {
    if (m_s.substr(m_pos, w.size()) != w) return false;
    m_pos += w.size();
    return true;
  }

  // One character of UTF-8 text, as UTF-16 units.
  bool Utf8(std::u16string& out) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(m_s[i]); };
    uint8_t b0 = byte(m_pos);
    int more;
    uint32_t cp;
    if (b0 < 0x80) {
      more = 0;
      cp = b0;
    } else if (b0 >= 0xC2 && b0 < 0xE0) {
      more = 1;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 < 0xF0) {
      more = 2;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 < 0xF5) {
      more = 3;
      cp = b0 & 0x07;
    } else {
      return false;
    }
    if (m_pos + static_cast<size_t>(more) >= m_s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      uint8_t b = byte(m_pos + static_cast<size_t>(k));
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    m_pos += static_cast<size_t>(more) + 1;
    AppendUtf16(out, cp);
    return true;
  }

  bool Hex(size_t count, uint32_t& value) {
    if (m_s.size() - m_pos < count) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
      int d = Digit(m_s[m_pos + i]);
      if (d < 0) return false;
      value = (value << 4) | static_cast<uint32_t>(d);
    }
    m_pos += count;
    return true;
  }

  // Value names and texts; stops before an unescaped quote when stopAtQuote, else at the end.
  bool QuotedText(std::u16string& out, bool stopAtQuote) {
    while (!AtEnd()) {
      char c = Peek();
      if (c == '"' && stopAtQuote) return true;
      if (c != '\\') {
        if (!Utf8(out)) return false;
        continue;
      }
      ++m_pos;
      if (AtEnd()) return false;
      char e = m_s[m_pos++];
      uint32_t unit;
      switch (e) {
        case '\\':
          out += u'\\';
          break;
        case '"':
          out += u'"';
          break;
        case 'r':
          out += u'\r';
          break;
        case 'n':
          out += u'\n';
          break;
        case '0':
          out += u'\0';
          break;
        case 'u':
          if (!Hex(4, unit)) return false;
          out += static_cast<char16_t>(unit);
          break;
        default:
          return false;
      }
    }
    return !stopAtQuote;
  }

  // One key name, up to a backslash or the end. A backslash cannot stand in a name, not even escaped: the
  // name could not be written back as one.
  bool KeyName(std::u16string& out) {
    while (!AtEnd() && Peek() != '\\') {
      if (Peek() == '%') {
        ++m_pos;
        uint32_t unit;
        if (!Hex(4, unit) || unit == u'\\') return false;
        out += static_cast<char16_t>(unit);
      } else if (!Utf8(out)) {
        return false;
      }
    }
    return !out.empty();
  }

  bool HexBytes(std::vector<uint8_t>& out) {
    while (!AtEnd()) {
      uint32_t b;
      if (!Hex(2, b)) return false;
      out.push_back(static_cast<uint8_t>(b));
    }
    return true;
  }

  bool Decimal(uint32_t& value) {
    size_t start = m_pos;
    uint64_t v = 0;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9' && v <= 0xFFFFFFFFu)
      v = v * 10 + static_cast<uint64_t>(m_s[m_pos++] - '0');
    value = static_cast<uint32_t>(v);
    return m_pos > start && m_pos - start <= 10 && v <= 0xFFFFFFFFu;
  }

 private:
  static int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  std::string_view m_s;
  size_t m_pos = 0;
};

Node* EnsureChild(Node* node, const std::u16string& name, bool* created) {
  std::u16string folded = Fold(name);
  auto it = node->children.find(folded);
  if (it != node->children.end()) return it->second.get();
  auto child = std::make_unique<Node>();
  child->name = name;
  Node* raw = child.get();
  node->children.emplace(std::move(folded), std::move(child));
  if (created) *created = true;
  return raw;
}

bool ParseKeyLine(std::string_view line, Node& root, Node*& current) {
  if (line.size() < 2 || line.back() != ']') return false;
  std::string_view inside = line.substr(1, line.size() - 2);
  current = &root;
  if (inside.empty()) return true;
  Reader r(inside);
  while (true) {
    std::u16string name;
    if (!r.KeyName(name)) return false;
    current = EnsureChild(current, name);
    if (r.AtEnd()) return true;
    r.Take('\\');
  }
}

bool ParseValueLine(std::string_view line, Node& key) {
  Reader r(line);
  Value v;
  if (!r.Take('"') || !r.QuotedText(v.name, true) || !r.Take('"') || !r.Take('=')) return false;
  std::vector<uint8_t> raw;
  if (r.TakeWord("dword:")) {
    uint32_t n;
    if (!r.Hex(8, n) || !r.AtEnd()) return false;
    v.type = REG_DWORD;
    raw.resize(4);
    std::memcpy(raw.data(), &n, 4);
  } else if (r.TakeWord("sz:")) {
    std::u16string text;
    if (!r.QuotedText(text, false)) return false;
    v.type = REG_SZ;
    raw.resize(text.size() * 2);
    if (!text.empty()) std::memcpy(raw.data(), text.data(), raw.size());
    raw.push_back(0);
    raw.push_back(0);
  } else if (r.TakeWord("hex(")) {
    if (!r.Decimal(v.type) || !r.Take(')') || !r.Take(':') || !r.HexBytes(raw)) return false;
    if (v.type == REG_SZ || v.type == REG_DWORD) return false;  // those have forms of their own
  } else {
    return false;
  }
  if (!NormalizeData(v.type, raw.data(), static_cast<uint32_t>(raw.size()), v.bytes)) return false;
  std::u16string folded = Fold(v.name);
  key.values.insert_or_assign(std::move(folded), std::move(v));
  return true;
}

// Reads a store file; false (with the line number) when it is not one. An empty file is an empty store.
bool Parse(std::string_view text, Node& root, size_t& badLine) {
  Node* current = &root;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    badLine = lineNo;
    if (lineNo == 1) {
      if (line != kHeader) return false;
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (!ParseKeyLine(line, root, current)) return false;
    } else if (line[0] == '"') {
      if (!ParseValueLine(line, *current)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace platform::reg::storefile
