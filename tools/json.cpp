// The JSON writer.
#include "json.h"

#include <cstdio>

namespace navtool {

namespace {

// The length of the valid UTF-8 sequence at the start of s, or 0 when it is not one (overlong forms,
// surrogates and code points above U+10FFFF are not valid).
size_t Utf8Length(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return 1;
  size_t n = 0;
  unsigned min = 0, cp = 0;
  if ((b0 & 0xE0) == 0xC0) n = 2, min = 0x80, cp = b0 & 0x1F;
  else if ((b0 & 0xF0) == 0xE0) n = 3, min = 0x800, cp = b0 & 0x0F;
  else if ((b0 & 0xF8) == 0xF0) n = 4, min = 0x10000, cp = b0 & 0x07;
  else return 0;
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string JsonQuote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t n = Utf8Length(text.substr(i));
      if (n == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

JsonWriter::~JsonWriter() {
  if (m_wrote) m_out << '\n';
}

void JsonWriter::NewLine() {
  if (m_oneLine) return;
  m_out << '\n';
  for (size_t i = 0; i < m_hasMembers.size(); ++i) m_out << "  ";
}

void JsonWriter::BeforeValue() {
  m_wrote = true;
  if (m_afterKey) {
    m_afterKey = false;
    return;
  }
  if (m_hasMembers.empty()) return;
  if (m_hasMembers.back()) m_out << (m_oneLine ? ", " : ",");
  m_hasMembers.back() = true;
  NewLine();
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  m_out << '{';
  m_hasMembers.push_back(false);
  return *this;
}

void JsonWriter::End(char close) {
  const bool any = m_hasMembers.back();
  m_hasMembers.pop_back();
  if (any) NewLine();
  m_out << close;
}

JsonWriter& JsonWriter::EndObject() {
  End('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  m_out << '[';
  m_hasMembers.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  End(']');
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  BeforeValue();
  m_out << JsonQuote(name) << ": ";
  m_afterKey = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  m_out << JsonQuote(text);
  return *this;
}

JsonWriter& JsonWriter::Int(long long value) {
  BeforeValue();
  m_out << value;
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  m_out << (value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  m_out << "null";
  return *this;
}

}  // namespace navtool
