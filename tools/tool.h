// The navconfig command-line tool: what its commands share.
//
// The tool links the shared library and uses only its exported interface. Commands that show or change
// settings and directories set the library up (reading and, at a first start, writing the configuration
// folder as the application would); those that look at the catalogue, version strings or .cfg files only
// (defaults, sections, version-string, check) read static data and the files named, and touch nothing else.
#ifndef NAVCONFIG_TOOLS_TOOL_H
#define NAVCONFIG_TOOLS_TOOL_H

#include <config/config_info.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace navtool {

// Exit codes: success; a key that exists nowhere, something that check reports, a save that failed; a
// command line or value that cannot be used.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// An error that ends the command. main prints it as one line, "navconfig: error: <message>", on standard
// error and exits with the code.
class ToolError : public std::runtime_error {
 public:
  ToolError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
  int code() const { return m_code; }

 private:
  int m_code;
};

[[noreturn]] inline void Fail(int code, const std::string& message) { throw ToolError(code, message); }
// "navconfig: warning: <message>" on standard error.
void Warn(const std::string& message);
// "navconfig: note: <message>" on standard error: something the user may not expect, though nothing failed.
void Note(const std::string& message);

struct Options {
  bool json = false;
};

// ---- Shared helpers (common.cpp) ----

// A section argument with a backslash is a full tree path beginning with its layer.
inline bool IsFullPath(std::string_view section) { return section.find('\\') != std::string_view::npos; }
// The layer of a full path (its first component).
std::string LayerOf(std::string_view path);
std::string Folded(std::string_view text);
bool EqualFolded(std::string_view a, std::string_view b);
// Paths in UTF-8 on every platform, as the arguments and the library have them (on Windows the narrow
// encoding of std::filesystem is not UTF-8).
inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A number as the command line gives it: an optional '-', then decimal digits, or 0x and hexadecimal digits
// (with hexDigits, hexadecimal digits with or without 0x). Values from -2^31 to 2^32-1 fit: the library keeps
// the low 32 bits, so 0xF1000900 and -251655936 are the same value.
enum class NumberParse { Ok, NotANumber, OutOfRange };
struct Number {
  long value = 0;
  bool hex = false;  // written with 0x (or read as hexadecimal digits)
};
NumberParse ParseNumber(std::string_view text, bool hexDigits, Number* out);

// How an integer is shown: in hexadecimal (0x and eight digits, as the .cfg writer puts it) or decimal.
std::string FormatInt(long value, bool hex);

// ---- The catalogue (common.cpp) ----

struct Default {
  std::string key;      // "<section>\<key>"
  std::string section;  // before the first backslash
  std::string name;     // after it
  ConfigDefaultInfo info;
};
// Every registered entry, in registration order.
const std::vector<Default>& AllDefaults();
// The defaults that lookups find, one per key, in catalogue order: a priority entry takes the place of the main
// entry it hides, which is given beside it.
struct EffectiveDefault {
  const Default* entry;
  const Default* hidden;  // the main table's entry of the same key, or null
};
const std::vector<EffectiveDefault>& EffectiveDefaults();
// The default a lookup of "<section>\<key>" finds.
std::optional<ConfigDefaultInfo> FindDefault(std::string_view key);
// The candidate nearest to a misspelt text (ASCII case ignored), or empty when none is close enough to be a
// likely misspelling.
std::string NearestOf(std::string_view text, const std::vector<std::string>& candidates);
// The known setting nearest to a misspelt "<section>\<key>", or empty when none is close.
std::string NearestSetting(std::string_view key);
// The known section nearest to a misspelt name, or empty.
std::string NearestSection(std::string_view section);
// A section of the catalogue as the catalogue spells it, found without regard to ASCII case.
std::optional<std::string> CatalogueSection(std::string_view section);

// ---- Commands ----

enum class ForcedType { None, String, Int, Hex };

int CmdGet(const Options& options, const std::string& section, const std::string& key, bool showOrigin);
// force: allows changing product, user_ro and layers that no file holds yet.
int CmdSet(const Options& options, std::string section, std::string key, const std::string& value, ForcedType forced,
           bool force);
int CmdUnset(const Options& options, const std::string& section, const std::string& key, bool force);
int CmdList(const Options& options, const std::string& section, bool all);
int CmdDefaults(const Options& options, const std::string& section);
int CmdSections(const Options& options);
int CmdDirs(const Options& options);
int CmdStatus(const Options& options);
int CmdMapsets(const Options& options, const std::string& path, const std::string& type);
int CmdVersionString(const Options& options, const std::vector<std::string>& texts);
int CmdCheck(const Options& options, const std::vector<std::string>& files);
// section: a section name, a full path (its layer, then the section) or empty for every section; key: empty
// for every key.
int CmdWatch(const Options& options, const std::string& section, const std::string& key);
// action: get, set, list or delete; key: ROOT\KEY; rest: NAME and VALUE as the action takes them.
int CmdRegistry(const Options& options, const std::string& action, const std::string& key,
                const std::vector<std::string>& rest, ForcedType forced);
// clear: sign off.
int CmdAccount(const Options& options, bool clear);

// Fails with exit 2 for a section (with key: a setting) that neither the catalogue nor any layer knows, with the
// nearest known name; a full path asks its own layer. An empty section is every section.
void RequireKnown(const std::string& section, const std::string& key);

// A setting of a layer as list prints it, "Section\Key = value  (origin)" with the value now in effect, or
// "Section\Key  (unset)" when nothing holds it (a subsection or a map layer named by its full path); with --json
// one object on one line. The caller flushes.
void ShowSetting(const Options& options, const std::string& layer, const std::string& section,
                 const std::string& key);

}  // namespace navtool

#endif
