// The check command: a lint for .cfg files.
//
// Each line goes through the library's own line reader (Config_ClassifyLine), so that what is reported as
// ignored or cut is exactly what the library ignores or cuts; a byte order mark before the first line is
// skipped, as the library's reader skips it. Against the catalogue come keys that no setting has, values of
// the other type than the default's and values equal to their default. Line numbers are
// those an editor shows: a line ends at a line feed, at a carriage return not followed by one, and the
// reader's extra line breaks (NUL bytes, the empty line inside CR LF) do not count.
#include <config/config_info.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "json.h"
#include "tool.h"

namespace navtool {

namespace {

constexpr size_t kLegacyLineLimit = 255;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsQuoteByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u == '"' || u == 0xEE || u == 0xEF;
}

// Bytes shown in a message: printable ASCII as it is, others as \xNN, cut after 40 characters.
std::string Shown(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (out.size() >= 40) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

// Whether a number as the reader takes it (an optional '-', then 0x and hexadecimal digits, 0 and octal digits,
// or decimal digits) fits in 32 bits as set takes numbers. The reader keeps the low 32 bits of any other.
bool FitsAsSetTakesIt(std::string_view digits) {
  const bool negative = digits.starts_with('-');
  if (negative) digits.remove_prefix(1);
  uint64_t base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  } else if (digits.starts_with('0')) {
    base = 8;
  }
  uint64_t value = 0;
  for (const char c : digits) {
    const uint64_t digit = c <= '9' ? static_cast<uint64_t>(c - '0') : static_cast<uint64_t>((c | 0x20) - 'a' + 10);
    value = std::min(value * base + digit, uint64_t{1} << 32);  // past every bound, and no further
  }
  return FitsIn32Bits(value, negative);
}

class Checker {
 public:
  Checker(CfgReport& report, CfgChecks checks) : m_report(report), m_checks(checks), m_layer(LayerOf(report.file)) {}

  void Line(std::string_view line, size_t number) {
    if (line.size() > kLegacyLineLimit) {
      Add(number, "warning", "long-line",
          "line of " + std::to_string(line.size()) + " bytes; older readers cut lines after " +
              std::to_string(kLegacyLineLimit) + " bytes (this library reads it whole)");
    }
    ConfigLineInfo info{};
    switch (Config_ClassifyLine(line.data(), line.size(), &info)) {
      case CONFIG_LINE_IGNORED: Ignored(line, number); return;
      case CONFIG_LINE_HEADER: {
        m_section.assign(info.name, info.nameLength);
        // As the reader takes the path apart: "[\\Image]" and "[Image\\]" are [Image].
        m_readSection = NormalPath(m_section);
        m_haveSection = true;
        // The name ends at a '[' or ']'; what follows its ']' is dropped, as text after a value is.
        const size_t end = static_cast<size_t>(info.name - line.data()) + info.nameLength;
        const std::string_view rest = line.substr(end < line.size() && line[end] == ']' ? end + 1 : end);
        if (!IsBlank(rest))
          Add(number, "error", "dropped-text",
              "the reader drops '" + Shown(rest) + "' after the header [" + m_section + "]");
        // The reader cuts a section's path, with the name of the layer that the file holds, at kMaxSectionPath
        // bytes: sections that differ only past them are one. (Import names its own layer's limit.)
        const size_t length = m_layer.size() + 1 + m_readSection.size();
        if (m_checks == CfgChecks::All && length > kMaxSectionPath)
          Add(number, "error", "long-section",
              "the section path " + m_layer + "\\... is " + std::to_string(length) +
                  " bytes long; the reader cuts it at " + std::to_string(kMaxSectionPath) +
                  " bytes, where it may join another section");
        return;
      }
      case CONFIG_LINE_HEADER_NO_NAME:
        Add(number, "error", "header-no-name",
            "section header without a name; the reader ignores it" +
                (m_haveSection ? ", so the values below it join [" + m_section + "]"
                               : std::string(", and the values below it have no section and are lost")));
        return;
      case CONFIG_LINE_NO_CLOSING_QUOTE:
        Add(number, "error", "no-closing-quote",
            "the key name has no closing quote (or is empty); the reader ignores the line");
        return;
      case CONFIG_LINE_BLANK_BEFORE_ASSIGN:
        Add(number, "error", "blank-before-assign",
            "'=' must follow the key's closing quote directly (no blank); the reader ignores the line");
        return;
      case CONFIG_LINE_BAD_VALUE:
        Add(number, "error", "bad-value",
            "the value is neither a quoted string nor a number; the reader ignores the line");
        return;
      case CONFIG_LINE_VALUE: Value(line, number, info); return;
    }
  }

  void ByteOrderMark() {
    Add(1, "note", "byte-order-mark",
        "the file starts with a UTF-8 byte order mark (EF BB BF); the reader skips it, but readers of earlier "
        "versions lose the first line to it");
  }

  void Utf16(bool littleEndian) {
    Add(1, "error", "utf-16",
        std::string("the file is UTF-16 (byte order mark ") + (littleEndian ? "FF FE" : "FE FF") +
            "), which the reader takes apart at every NUL byte; save it as UTF-8");
  }

  void NulByte(size_t number) {
    Add(number, "error", "nul-byte", "NUL byte: the reader ends the line there and reads the rest as a new line");
  }

 private:
  // The layer a file holds, as its name says ("user" for user.cfg); user for standard input, which import writes.
  static std::string LayerOf(const std::string& file) {
    std::string name = file.substr(file.find_last_of("/\\") + 1);
    if (name.size() > 4 && EqualFolded(name.substr(name.size() - 4), ".cfg")) name.resize(name.size() - 4);
    return name == "-" || name.empty() ? "user" : name;
  }
  void Add(size_t line, const char* severity, const char* kind, std::string message, std::string suggestion = {}) {
    m_report.findings.push_back({line, severity, kind, std::move(message), std::move(suggestion)});
  }

  // Other formats allow blanks before a key or a header (git config indents its keys) and keys without quotes
  // ("Key = value" in git config and GLib's key files); this reader takes such lines for comments, so that a
  // file written so would be read, or imported, as if it were empty. Comments are not reported: lines that start
  // with another byte than a name's or hold no '=' after one.
  void Ignored(std::string_view line, size_t number) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return;
    const std::string_view key = UnquotedKey(line.substr(first));
    if (!key.empty()) {
      Add(number, "error", "unquoted-key",
          "key '" + Shown(key) + "' without quotes; the reader ignores the line as a comment (a value is written \"" +
              Shown(key) + "\"=...)");
      return;
    }
    if (first == 0) return;
    const char c = line[first];
    if (c != '"' && c != '[') return;
    Add(number, "error", "indented",
        std::string(c == '[' ? "section header" : "value") +
            " after blanks; the reader ignores the line as a comment (a line must start in its first byte)");
  }

  // The key of a line "Key = value" (a letter, digit or '_', then those, '.', '-' and blanks up to the '='),
  // without the blanks before the '='; empty when the line is not one.
  static std::string_view UnquotedKey(std::string_view text) {
    const auto nameByte = [](char c, bool first) {
      const auto u = static_cast<unsigned char>(c);
      const bool alnum = (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z');
      return alnum || u == '_' || (!first && (u == '.' || u == '-' || u == ' ' || u == '\t'));
    };
    if (text.empty() || !nameByte(text[0], true)) return {};
    size_t end = 1;
    while (end < text.size() && nameByte(text[end], false)) ++end;
    if (end == text.size() || text[end] != '=') return {};
    return text.substr(0, text.find_last_not_of(" \t", end - 1) + 1);
  }

  void Value(std::string_view line, size_t number, const ConfigLineInfo& info) {
    const std::string key(info.name, info.nameLength);
    if (!m_haveSection) {
      Add(number, "error", "before-section",
          "value of '" + Shown(key) + "' before any section header; the reader does not store it");
      return;
    }
    const std::string setting = m_readSection + '\\' + key;  // as the reader names it
    m_report.values.push_back({number, m_section, key, info.isString,
                               info.isString ? std::string(info.text, info.textLength) : std::string(), info.number,
                               info.hex});

    // What the reader drops after the value. A string runs to the last '"' of its line; only in a line
    // without one does it stop at a 0xEE or 0xEF byte.
    if (info.used < line.size() && !IsBlank(line.substr(info.used))) {
      const std::string_view rest = line.substr(info.used);
      if (info.isString && info.used > 0 && IsQuoteByte(line[info.used - 1]) && line[info.used - 1] != '"') {
        Add(number, "error", "cut-value",
            "the string of " + Shown(setting) + " has no closing '\"' and stops at the byte " +
                Shown(line.substr(info.used - 1, 1)) +
                " (part of a UTF-8 character), which the reader takes as a quote; it drops '" + Shown(rest) + "'");
      } else {
        Add(number, "error", "dropped-text",
            "the reader drops '" + Shown(rest) + "' after the value of " + Shown(setting));
      }
    }

    // The number as the line writes it: from after the '=' bytes through its last digit.
    std::string_view digits;
    if (!info.isString) {
      size_t start = static_cast<size_t>(info.name + info.nameLength + 1 - line.data());
      while (start < line.size() && line[start] == '=') ++start;
      digits = line.substr(start, info.used - start);
    }
    // Made by appending: GCC 12 takes a text put before a temporary string for an overlapping copy.
    std::string quoted(1, '\'');
    quoted.append(digits).push_back('\'');
    const bool fits = info.isString || FitsAsSetTakesIt(digits);
    if (!fits) {
      Add(number, "error", "out-of-range",
          quoted + " does not fit in 32 bits; the reader reads " + FormatInt(info.number, info.hex));
    }

    if (m_checks == CfgChecks::Reader) return;
    if (!info.isString && fits) {
      const size_t zero = digits.starts_with('-') ? 1 : 0;
      const bool hexDigits = digits.size() > zero + 1 && (digits[zero + 1] == 'x' || digits[zero + 1] == 'X');
      if (hexDigits && zero) {
        // The reader keeps the hexadecimal form of a number without '-' only.
        Add(number, "note", "negative-hex",
            quoted + " is read as " + std::to_string(info.number) +
                " and kept in decimal: only a number without '-' keeps its hexadecimal form");
      } else if (!hexDigits && digits.size() > zero + 1 && digits[zero] == '0') {
        // A leading 0 makes a number octal, as in C.
        Add(number, "warning", "octal",
            quoted + " starts with 0 and is read as octal: " + std::to_string(info.number));
      }
    }

    // A name that the reader reads but a write refuses: the value can be read and removed, but not changed.
    if (const std::string fault = WriteFault("user\\S", key); !fault.empty()) {
      Add(number, "warning", "unwritable-name",
          fault + "; the reader reads the value of " + Shown(setting) + ", but set and import refuse the name");
    }

    // The same key twice in a section: the later line wins.
    const auto id = std::make_pair(Folded(m_readSection), Folded(key));
    auto [it, first] = m_seen.try_emplace(id, number);
    if (!first) {
      Add(number, "warning", "duplicate-key",
          Shown(setting) + " is set again (first on line " + std::to_string(it->second) +
              "); the reader keeps this later value");
      it->second = number;
    }

    // Against the catalogue.
    const auto d = FindDefault(setting);
    if (!d) {
      const std::string nearest = NearestSetting(setting);
      Add(number, "warning", "unknown-key",
          Shown(setting) + " is not a known setting" + (nearest.empty() ? "" : "; did you mean " + nearest + "?"),
          nearest);
      return;
    }
    if (d->isString != info.isString) {
      Add(number, "warning", "type-mismatch",
          Shown(setting) + " is " + (d->isString ? "a string" : "an integer") + " setting, but this value is " +
              (info.isString ? "a string" : "a number") + "; " + (d->isString ? "a string" : "an integer") +
              " read does not take it");
      return;
    }
    const bool equal = d->isString ? EqualFolded(std::string_view(info.text, info.textLength), d->strValue)
                                   : info.number == d->intValue;
    if (equal) {
      const std::string shown = d->isString ? "\"" + Shown(d->strValue) + "\"" : FormatInt(d->intValue, info.hex);
      Add(number, "note", "default-value",
          Shown(setting) + " = " + shown + " is its built-in default" + (d->memoryDependent ? " on this machine" : ""));
    }
  }

  CfgReport& m_report;
  std::string m_section;
  std::string m_readSection;  // m_section as the reader takes it apart
  const CfgChecks m_checks;
  const std::string m_layer;  // that the file holds
  bool m_haveSection = false;
  std::map<std::pair<std::string, std::string>, size_t> m_seen;
};

// The lines of a UTF-16 text after its byte order mark: its line feeds, and a last line without one.
size_t Utf16Lines(std::string_view text, bool littleEndian) {
  size_t lines = 0;
  bool open = false;
  for (size_t i = 2; i + 1 < text.size(); i += 2) {
    open = text[littleEndian ? i : i + 1] != '\n' || text[littleEndian ? i + 1 : i] != '\0';
    if (!open) ++lines;
  }
  return lines + (open ? 1 : 0);
}

}  // namespace

void ReadCfgText(const std::string& text, CfgReport& report, CfgChecks checks) {
  Checker checker(report, checks);
  // A text saved as UTF-16 (what Windows editors call "Unicode") is one finding, not one for each NUL byte.
  const bool little = text.starts_with("\xFF\xFE");
  if (little || text.starts_with("\xFE\xFF")) {
    checker.Utf16(little);
    report.lines = Utf16Lines(text, little);
    return;
  }
  size_t number = 1;
  size_t pos = 0;
  if (text.starts_with(kByteOrderMark)) {
    checker.ByteOrderMark();
    pos = kByteOrderMark.size();
  }
  for (;;) {
    size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r' && text[end] != '\0') ++end;
    checker.Line(std::string_view(text).substr(pos, end - pos), number);
    if (end >= text.size()) break;
    const char c = text[end];
    if (c == '\0') checker.NulByte(number);
    else if (c == '\n' || end + 1 >= text.size() || text[end + 1] != '\n') ++number;
    pos = end + 1;
  }
  // A final line feed ends the last line rather than starting an empty one.
  report.lines = !text.empty() && (text.back() == '\n' || text.back() == '\r') ? number - 1 : number;
  if (text.empty()) report.lines = 0;
}

namespace {

// The file named in UTF-8, opened for reading bytes (on Windows a narrow name would be read in the ANSI code
// page); null with errno set when it cannot be opened.
std::FILE* OpenToRead(const std::string& file) {
#ifdef _WIN32
  return _wfopen(PathOf(file).c_str(), L"rb");
#else
  return std::fopen(file.c_str(), "rb");
#endif
}

// The whole file, or false with the reason in text.
bool ReadWhole(const std::string& file, std::string& text) {
  std::FILE* f = OpenToRead(file);
  if (!f) {
    text = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(f);
  const int err = errno;
  std::fclose(f);
  if (failed) text = std::strerror(err);
  return !failed;
}

}  // namespace

bool ReadInput(const std::string& file, std::string& text) {
  if (file == "-") {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) text.append(buffer, n);
    if (!std::ferror(stdin)) return true;
    text = "standard input could not be read";
    return false;
  }
  std::error_code error;
  if (std::filesystem::is_directory(PathOf(file), error)) {
    text = "it is a folder";
    return false;
  }
  return ReadWhole(file, text);
}

void PrintFinding(std::ostream& out, const CfgReport& report, const CfgFinding& f) {
  out << report.file << ':' << f.line << ": " << f.severity << ": " << f.message << '\n';
}

void WriteFinding(JsonWriter& json, const CfgFinding& f) {
  json.BeginObject();
  json.Field("line", static_cast<long long>(f.line));
  json.Field("severity", f.severity);
  json.Field("kind", f.kind);
  json.Field("message", f.message);
  if (!f.suggestion.empty()) json.Field("suggestion", f.suggestion);
  json.EndObject();
}

int CmdCheck(const Options& options, const std::vector<std::string>& files) {
  // Every file is read before anything is reported, so that one that cannot be read is the only output.
  std::vector<CfgReport> reports;
  for (const std::string& file : files) {
    std::string text;
    if (!ReadInput(file, text)) Fail(kExitUsage, "cannot read " + file + ": " + text);
    CfgReport report;
    report.file = file;
    ReadCfgText(text, report);
    reports.push_back(std::move(report));
  }

  size_t total = 0;
  for (const auto& r : reports) total += r.findings.size();
  if (options.json) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Key("files").BeginArray();
    for (const auto& r : reports) {
      json.BeginObject();
      json.Field("file", r.file);
      json.Field("lines", static_cast<long long>(r.lines));
      json.Key("findings").BeginArray();
      for (const auto& f : r.findings) WriteFinding(json, f);
      json.EndArray();
      json.EndObject();
    }
    json.EndArray();
    json.Field("findings", static_cast<long long>(total));
    json.EndObject();
  } else {
    for (const auto& r : reports)
      for (const auto& f : r.findings) PrintFinding(std::cout, r, f);
    const std::string filesText = std::to_string(reports.size()) + (reports.size() == 1 ? " file" : " files");
    if (total == 0) std::cout << "no findings in " << filesText << '\n';
    else std::cout << total << (total == 1 ? " finding in " : " findings in ") << filesText << '\n';
  }
  return total ? kExitFailure : kExitOk;
}

}  // namespace navtool
