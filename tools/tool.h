// The navconfig command-line tool: what its commands share.
//
// The tool links the shared library and uses only its exported interface. Commands that show or change
// settings and directories set the library up (reading and, at a first start, writing the configuration
// folder as the application would); those that look at the catalogue, version strings or .cfg files only
// (defaults, sections, version-string, check) read static data and the files named, and touch nothing else.
#ifndef NAVCONFIG_TOOLS_TOOL_H
#define NAVCONFIG_TOOLS_TOOL_H

#include <config/config_info.h>
#include <config/keytree.h>

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
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
// A section path as the library takes it apart: components between backslashes, empty ones left out.
std::string NormalPath(const std::string& path);
// A setting as the library tells settings apart: its folded section path and key.
using SettingId = std::pair<std::string, std::string>;
SettingId IdOf(const std::string& section, const std::string& key);
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
// Whether a number of the magnitude, with or without '-', fits as ParseNumber takes numbers: -2^31 to 2^32-1.
inline bool FitsIn32Bits(uint64_t magnitude, bool negative) {
  return magnitude <= (negative ? 0x80000000ull : 0xFFFFFFFFull);
}

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

// ---- What a setting reads, the names a write can store, what a save did (readings.cpp) ----

enum class ValueType { Integer, String };
inline const char* TypeName(ValueType type) { return type == ValueType::Integer ? "integer" : "string"; }

// What a module reading the setting gets, and where it comes from.
struct Reading {
  bool exists = false;  // some layer holds the key, or it has a default
  ValueType type = ValueType::Integer;
  long number = 0;
  bool hex = false;  // the value is kept in hexadecimal form
  std::string text;
  ConfigOrigin origin = CONFIG_ORIGIN_NONE;
  std::string layer;  // the layer that decides the read (origin LAYER or OTHER_TYPE)
  // Layers searched before that one (all three for a default) that hold a value of the other type, which the
  // read passes over.
  std::vector<std::string> skipped;
};

class JsonWriter;

// "<section>\<key>".
std::string SettingName(const std::string& section, const std::string& key);
// The section argument without its layer ("user\Image" gives "Image"); a plain section as it is.
std::string CatalogueSectionOf(const std::string& section);
// "; did you mean <setting>?" for a setting that the catalogue lacks, when a known one is close; else empty.
std::string Suggestion(const std::string& section, const std::string& key);
// The value record at a full path, or null; whether it is kept in hexadecimal form.
const KeyValue* ValueAt(const std::string& path, const std::string& key);
bool IsHex(const KeyValue* v);
// A plain section read through the layers and the default, with the setting's type; a full path alone, with the
// type of what it holds; Read chooses by the form of the section argument.
Reading ReadLayered(const std::string& section, const std::string& key);
Reading ReadPath(const std::string& path, const std::string& key);
Reading Read(const std::string& section, const std::string& key);
// The value as the tool shows it, where it comes from ("user", "default"), and that with what reads pass over
// ("product; user holds a string, which reads skip"), with origin in place of the layer's name when given.
std::string ValueText(const Reading& r);
std::string OriginName(const Reading& r);
std::string OriginText(const Reading& r);
std::string OriginText(const Reading& r, const std::string& origin);
// The members "setting", "type", "value", "hex", "origin", "otherType" and "skipped" of a reading.
void WriteReading(JsonWriter& json, const std::string& setting, const Reading& r);

bool HasLineBreak(std::string_view text);
// Fails with exit 2 for an empty section or key.
void CheckNames(const std::string& section, const std::string& key);
// A full path that names a layer and no section ("user\\"). The values of the layer itself, read under a
// header "[\\]", are lines of its file that the library neither writes nor removes.
bool NamesLayerOnly(const std::string& section);
// The bytes of a section path, with its layer, that the library keeps (config/keytree.h).
constexpr size_t kMaxSectionPath = 255;
// Why a write of the key into the section argument cannot be stored (a name a .cfg file cannot carry, a layer
// that cannot name a file, a full path without a section, a path longer than the library keeps); empty when it
// can. CheckWritableNames fails with it (exit 2), after CheckNames.
std::string WriteFault(const std::string& section, const std::string& key);
void CheckWritableNames(const std::string& section, const std::string& key);
// The file that the last save of the layer wrote, or a failure (exit 1) saying why it was not written.
std::string CheckSaved(const std::string& layer);
// Warns where a save kept the previous file of the layer (or of user) as a .bak copy.
void TellKeptCopies(const std::string& layer);
// Fails with exit 2 for a write into product or user_ro, or into a layer that no file holds yet, without force.
void RequireForce(const std::string& layer, bool force);
// The section of a full path into user, user_ro or product that layered reads search ("product\Image" gives
// "Image"); empty for another layer or a section below a section.
std::string StandardSection(const std::string& path);

// ---- .cfg texts as the library's reader takes them (check.cpp) ----

// What check reports of a line.
struct CfgFinding {
  size_t line;           // as an editor numbers lines
  const char* severity;  // "error": the reader ignores or cuts what the line says; "warning"; "note"
  const char* kind;
  std::string message;
  std::string suggestion;
};
// A value that the reader stores, with the header's section path (relative to the layer) as written.
struct CfgValue {
  size_t line;
  std::string section, key;
  bool isString;
  std::string text;
  long number;
  bool hex;
};
struct CfgReport {
  std::string file;
  size_t lines = 0;
  std::vector<CfgFinding> findings;
  std::vector<CfgValue> values;
};
// What a text is checked for: the lines as the reader takes them (what it ignores or cuts, all that import needs),
// or also each value as check sees it (octal numbers, keys set twice, names and values against the catalogue).
enum class CfgChecks { Reader, All };
// Takes a text apart line by line with the library's own line reader: what check reports, and the values read.
void ReadCfgText(const std::string& text, CfgReport& report, CfgChecks checks = CfgChecks::All);
// A file named on the command line, or standard input for "-"; false with the reason in text.
bool ReadInput(const std::string& file, std::string& text);
// A finding as check prints it ("file:line: severity: message") and as its JSON gives it.
void PrintFinding(std::ostream& out, const CfgReport& report, const CfgFinding& finding);
void WriteFinding(JsonWriter& json, const CfgFinding& finding);

// ---- Commands ----

enum class ForcedType { None, String, Int, Hex };

// What get prints beside the value: nothing, its origin ("user", "default"), the file it comes from, or every
// layer's value with the default (GetShows::All).
enum class GetShows { Value, Origin, File, All };
int CmdGet(const Options& options, const std::string& section, const std::string& key, GetShows shows);
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

// ---- Whole layers and sections (layers.cpp) ----

// file: a .cfg text, "-" for standard input; layer: the layer written; dryRun: print what would change only;
// replace: remove what the text lacks; force: allows writing product, user_ro and layers without a file.
int CmdImport(const Options& options, const std::string& file, const std::string& layer, bool dryRun, bool replace,
              bool force);
// effective: every setting in effect that differs from its default, instead of one layer.
int CmdExport(const Options& options, const std::string& layer, bool effective);
// keys: empty for every value of the section (a full path: of that layer's section).
int CmdReset(const Options& options, const std::string& section, const std::vector<std::string>& keys, bool force);
// get --show-origin, once the reading is known to exist; get --all.
void ShowOriginFile(const Options& options, const std::string& setting, const Reading& r);
int ShowEveryLayer(const Options& options, const std::string& section, const std::string& key);

// Warns of each of the layers whose file reads cannot use: something else than a regular file stands in its place,
// or it cannot be read.
void WarnUnusableLayerFiles(const std::vector<std::string>& layers);

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
