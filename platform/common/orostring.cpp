// OROustring and OROwstring: the parts that are not inline, and the UTF-8 / UTF-16 conversions.
#include <doroutil/orostring.h>
#include <doroutil/strutil.h>
#include <platform/os.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// A byte of narrow text that starts no valid UTF-8 sequence stands in wide text as the unpaired surrogate
// U+DC80 + (byte - 0x80), and turns back into that byte: names taken from the file system or from a file in
// another encoding (a folder named in Latin-1) survive the way through wide text unchanged.
constexpr char32_t kEscapedByte = 0xDC00;
bool IsEscapedByte(char32_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Decodes one code point from UTF-8 at s[i..n); advances i. Invalid or truncated sequences, overlong forms
// and surrogates consume one byte, which is given escaped.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t& i) {
  unsigned char c = s[i];
  if (c < 0x80) { ++i; return c; }
  const char32_t escaped = kEscapedByte + c;
  size_t len = 0;
  char32_t cp = 0, min = 0;
  if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
  else { ++i; return escaped; }
  if (i + len > n) { ++i; return escaped; }
  for (size_t k = 1; k < len; ++k) {
    if ((s[i + k] & 0xC0) != 0x80) { ++i; return escaped; }
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return escaped; }
  i += len;
  return cp;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  auto s = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    if (s[i] < 0x80) { out += static_cast<char16_t>(s[i++]); continue; }
    AppendUtf16(out, DecodeUtf8(s, text.size(), i));
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsEscapedByte(c)) {
      out += static_cast<char>(c - kEscapedByte);
      continue;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// Both slashes are separators in stored paths; the platform's own one is written.
template <typename S>
void MakeSlashes(S& text) {
  for (auto& c : text)
    if (c == '/' || c == '\\') c = platform::kPathSeparator;
}

template <typename S>
void AppendSlash(S& text) {
  if (text.empty() || !(text.back() < 0x80 && platform::IsPathSeparator(static_cast<char>(text.back()))))
    text += static_cast<typename S::value_type>(platform::kPathSeparator);
}

template <typename C>
C FoldChar(C c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<C>(c + ('a' - 'A')) : c;
}

template <typename C>
int CompareN(const C* a, size_t alen, const C* b, size_t blen, bool ignoreCase, long n) {
  size_t limit = n < 0 ? SIZE_MAX : static_cast<size_t>(n);
  for (size_t i = 0; i < limit; ++i) {
    // Past the end a string reads as its terminator, as strncmp does.
    unsigned ca = i < alen ? static_cast<std::make_unsigned_t<C>>(a[i]) : 0;
    unsigned cb = i < blen ? static_cast<std::make_unsigned_t<C>>(b[i]) : 0;
    if (ignoreCase) { ca = FoldChar(ca); cb = FoldChar(cb); }
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

}  // namespace

// ---- OROustring ----

OROustring& OROustring::appendSlash() { AppendSlash(m_text); return *this; }
OROustring& OROustring::makeFileSlashOSCompatible() { MakeSlashes(m_text); return *this; }

OROustring& OROustring::to_lower() {
  for (auto& c : m_text) c = FoldAscii(c);
  return *this;
}

OROustring& OROustring::strip() {
  const char* blanks = " \t\r\n";
  size_t b = m_text.find_first_not_of(blanks);
  if (b == std::string::npos) { m_text.clear(); return *this; }
  size_t e = m_text.find_last_not_of(blanks);
  m_text = m_text.substr(b, e - b + 1);
  return *this;
}

OROustring OROustring::substr(long pos, long n) const {
  if (pos < 0 || static_cast<size_t>(pos) >= m_text.size()) return OROustring();
  return OROustring(m_text.substr(static_cast<size_t>(pos), n < 0 ? std::string::npos : static_cast<size_t>(n)));
}

long OROustring::find(const char* text, long pos, bool ignoreCase) const {
  if (!text || pos < 0 || static_cast<size_t>(pos) > m_text.size()) return -1;
  if (!ignoreCase) {
    size_t at = m_text.find(text, static_cast<size_t>(pos));
    return at == std::string::npos ? -1 : static_cast<long>(at);
  }
  const char* hit = custom_stristr(m_text.c_str() + pos, text);
  return hit ? static_cast<long>(hit - m_text.c_str()) : -1;
}

long OROustring::to_long(int base) const {
  const char* s = m_text.c_str();
  const char* digits = (*s == '-' || *s == '+') ? s + 1 : s;
  if (!std::isalnum(static_cast<unsigned char>(*digits))) return 0;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s, &end, base);
  if (end == s || *end != '\0' || errno == ERANGE) return 0;
  return v;
}

bool OROustring::IsNumeric() const {
  if (m_text.empty()) return false;
  for (char c : m_text)
    if (!custom_isdigit(c)) return false;
  return true;
}

OROustring OROustring::itoa(long value, int base) {
  if (base < 2 || base > 36) base = 10;
  char buf[72];
  char* p = buf + sizeof buf;
  *--p = '\0';
  unsigned long v = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    *--p = "0123456789abcdefghijklmnopqrstuvwxyz"[v % static_cast<unsigned>(base)];
    v /= static_cast<unsigned>(base);
  } while (v);
  if (value < 0) *--p = '-';
  return OROustring(p);
}

int OROustring::compare(const OROustring& other, bool ignoreCase, long n) const {
  return CompareN(m_text.data(), m_text.size(), other.m_text.data(), other.m_text.size(), ignoreCase, n);
}

OROwstring OROustring::wString() const { return OROwstring(*this); }

// ---- OROwstring ----

OROwstring::OROwstring(const char* utf8) : m_text(Utf8ToUtf16(utf8 ? utf8 : "")) {}
OROwstring::OROwstring(const OROustring& utf8) : m_text(Utf8ToUtf16(utf8.str())) {}

const char* OROwstring::c_str(bool) const {
  m_utf8 = Utf16ToUtf8(m_text);
  return m_utf8.c_str();
}

OROustring OROwstring::uString() const { return OROustring(Utf16ToUtf8(m_text)); }
OROwstring& OROwstring::appendSlash() { AppendSlash(m_text); return *this; }
OROwstring& OROwstring::makeFileSlashOSCompatible() { MakeSlashes(m_text); return *this; }

OROwstring& OROwstring::to_lower() {
  for (auto& c : m_text) c = FoldChar(c);
  return *this;
}

int OROwstring::compare(const OROwstring& other, bool ignoreCase, long n) const {
  return CompareN(m_text.data(), m_text.size(), other.m_text.data(), other.m_text.size(), ignoreCase, n);
}

OROustring OROConvertUTF16toUTF8(const char16_t* text) { return OROustring(Utf16ToUtf8(text ? text : u"")); }
OROwstring OROConvertUTF8toUTF16(const char* text) { return OROwstring(text); }
