// The writer of .cfg text (format.h describes the format): header and value lines from plain texts and numbers.
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "cfg/format.h"

namespace navconfig::cfg {

namespace {

// Appends a text up to its first line break, so that no stored text can start a line of its own.
void AppendLineSafe(std::string& out, const char* text) {
  if (!text) return;
  const size_t length = std::strlen(text);
  out.append(text, FindAny3(text, length, '\r', '\n', '\n'));
}

// Whether a section name, written up to its first line break, reads back as itself from a header. An empty
// name would give a header that names the section above (or none, so that its values would join the section
// written before it), and the reader ends a header's name at a bracket.
bool IsWritableSectionName(const char* name) {
  if (!name) return false;
  const size_t n = std::strcspn(name, "\r\n");
  return n > 0 && std::string_view(name, n).find_first_of("[]") == std::string_view::npos;
}

}  // namespace

bool SubsectionHeader(const std::string& parent, const char* name, std::string& header) {
  if (!IsWritableSectionName(name)) return false;
  header = parent;
  if (parent.size() > 1) header += kPathSeparator;
  AppendLineSafe(header, name);
  if (header.size() > kMaxHeaderText) header.resize(kMaxHeaderText);
  return true;
}

void AppendHeaderLine(std::string& out, const std::string& header) {
  out += header;
  out += kHeaderClose;
  out += '\n';
}

void AppendIntegerLine(std::string& out, const char* name, int32_t value, bool hex) {
  out += '"';
  AppendLineSafe(out, name);
  // The formats "%s"=0x%08lx and "%s"=%ld, written without printf.
  char number[32];
  char* p = number;
  *p++ = '"';
  *p++ = kAssign;
  if (hex) {
    const auto bits = static_cast<uint32_t>(value);
    *p++ = '0';
    *p++ = 'x';
    for (int shift = 28; shift >= 0; shift -= 4) *p++ = "0123456789abcdef"[(bits >> shift) & 15];
  } else {
    p = std::to_chars(p, number + sizeof number, static_cast<long>(value)).ptr;
  }
  *p++ = '\n';
  out.append(number, static_cast<size_t>(p - number));
}

void AppendStringLine(std::string& out, const char* name, const char* text) {
  out += '"';
  AppendLineSafe(out, name);
  out += "\"=\"";
  AppendLineSafe(out, text);
  out += "\"\n";
}

}  // namespace navconfig::cfg
