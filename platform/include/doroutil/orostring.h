// OROustring and OROwstring: the utility library's narrow (UTF-8) and wide (UTF-16) strings.
//
// Stand-ins for the maker's utility strings, kept under their names and calling shape and thin over
// std::string and std::u16string. A string never holds a "null" state of its own: the null string and the
// empty text are the same value, and is_null() is true for both. Conversions between the two forms never
// fail and lose nothing of narrow text: a byte that is not valid UTF-8 (a file name in Latin-1) becomes the
// unpaired surrogate U+DC80 + (byte - 0x80) in wide text, which turns back into that byte; other unpaired
// UTF-16 surrogates become U+FFFD.
//
// Values of these classes are plain values: one thread at a time may use one object.
#ifndef NAVCONFIG_DOROUTIL_OROSTRING_H
#define NAVCONFIG_DOROUTIL_OROSTRING_H

#include <config/export.h>

#include <cstddef>
#include <string>
#include <string_view>

class OROwstring;

class NAVCONFIG_API OROustring {
 public:
  OROustring() = default;
  OROustring(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit, as callers expect
  OROustring(const char* text, size_t length) : m_text(text ? std::string(text, length) : std::string()) {}
  OROustring(std::string text) : m_text(std::move(text)) {}  // NOLINT
  OROustring(std::string_view text) : m_text(text) {}        // NOLINT

  const char* c_str() const { return m_text.c_str(); }
  const std::string& str() const { return m_text; }
  std::string& str() { return m_text; }
  long length() const { return static_cast<long>(m_text.size()); }
  bool empty() const { return m_text.empty(); }
  bool is_null() const { return m_text.empty(); }
  void clear() { m_text.clear(); }
  char operator[](size_t i) const { return m_text[i]; }

  OROustring& operator+=(const OROustring& other) { m_text += other.m_text; return *this; }
  OROustring& operator+=(const char* text) { if (text) m_text += text; return *this; }
  OROustring& operator+=(char c) { m_text += c; return *this; }
  OROustring& append(const OROustring& other) { return *this += other; }
  OROustring& append(const char* text) { return *this += text; }
  OROustring& append(const char* text, size_t n) { if (text) m_text.append(text, n); return *this; }

  // Adds the platform's path separator unless the text already ends in a separator.
  OROustring& appendSlash();
  // Turns every separator into the platform's own (on POSIX '\' becomes '/').
  OROustring& makeFileSlashOSCompatible();
  // ASCII letters to lower case; other bytes stay.
  OROustring& to_lower();
  // Removes blanks, tabs, carriage returns and line feeds at both ends.
  OROustring& strip();
  OROustring substr(long pos, long n = -1) const;
  // Position of text at or after pos, or -1. With ignoreCase, ASCII letters compare without case.
  long find(const char* text, long pos = 0, bool ignoreCase = false) const;
  // The whole text read as a number in the base (an optional sign, then digits only); 0 otherwise.
  long to_long(int base = 10) const;
  // True when the text is not empty and holds decimal digits only.
  bool IsNumeric() const;
  // The number written in the base (2 to 36; other bases give 10).
  static OROustring itoa(long value, int base = 10);
  // 0 when the first n characters are equal (n = -1: the whole texts); with ignoreCase, ASCII letters
  // compare without case. Otherwise <0 or >0 like strncmp.
  int compare(const OROustring& other, bool ignoreCase, long n = -1) const;

  OROwstring wString() const;

  friend bool operator==(const OROustring& a, const OROustring& b) { return a.m_text == b.m_text; }
  friend bool operator==(const OROustring& a, const char* b) { return a.m_text == (b ? b : ""); }
  friend OROustring operator+(OROustring a, const OROustring& b) { a += b; return a; }
  friend OROustring operator+(OROustring a, const char* b) { a += b; return a; }

 private:
  std::string m_text;
};

class NAVCONFIG_API OROwstring {
 public:
  OROwstring() = default;
  // From UTF-8 text, the whole length.
  OROwstring(const char* utf8);  // NOLINT
  OROwstring(const OROustring& utf8);  // NOLINT
  OROwstring(const char16_t* text) : m_text(text ? text : u"") {}  // NOLINT
  OROwstring(std::u16string text) : m_text(std::move(text)) {}      // NOLINT
  OROwstring(const OROwstring& other) : m_text(other.m_text) {}
  OROwstring(OROwstring&& other) noexcept : m_text(std::move(other.m_text)) {}
  OROwstring& operator=(const OROwstring& other) { m_text = other.m_text; return *this; }
  OROwstring& operator=(OROwstring&& other) noexcept { m_text = std::move(other.m_text); return *this; }

  const char16_t* wc_str() const { return m_text.c_str(); }
  const std::u16string& str() const { return m_text; }
  // The UTF-8 form, valid until this string changes or the next call of c_str.
  const char* c_str(bool unused = false) const;
  OROustring uString() const;
  long length() const { return static_cast<long>(m_text.size()); }
  bool empty() const { return m_text.empty(); }
  bool is_null() const { return m_text.empty(); }
  void clear() { m_text.clear(); }

  OROwstring& operator+=(const OROwstring& other) { m_text += other.m_text; return *this; }
  OROwstring& operator+=(const char16_t* text) { if (text) m_text += text; return *this; }
  OROwstring& operator+=(const char* utf8) { return *this += OROwstring(utf8); }
  OROwstring& append(const OROwstring& other) { return *this += other; }
  OROwstring& appendSlash();
  OROwstring& makeFileSlashOSCompatible();
  OROwstring& to_lower();
  int compare(const OROwstring& other, bool ignoreCase, long n = -1) const;

  friend bool operator==(const OROwstring& a, const OROwstring& b) { return a.m_text == b.m_text; }
  friend bool operator!=(const OROwstring& a, const OROwstring& b) { return !(a == b); }

 private:
  std::u16string m_text;
  mutable std::string m_utf8;
};

// Conversions between the two forms; never a failure (invalid input as described at the top).
NAVCONFIG_API OROustring OROConvertUTF16toUTF8(const char16_t* text);
NAVCONFIG_API OROwstring OROConvertUTF8toUTF16(const char* text);

#endif
