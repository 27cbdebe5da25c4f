// The navconfig command-line tool, end to end: the built program runs on scratch installations (configuration,
// runtime, home and working folders of its own), and its output, exit codes and the files it leaves are checked.
// What the library reads, merges and stores is tested on the library; here only what the tool makes of it.
#include <config/version.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/special_files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

using Result = testsupport::ProgramResult;
using Args = std::vector<std::string>;
using Env = std::vector<std::pair<std::string, std::string>>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs the tool in a working folder, its standard input reading input. The library's variables are removed from
// its environment unless env gives them. Windows ends console lines with CR LF; they come back as LF.
Result RunTool(const Args& args, const std::string& cwd, const Env& env = {}, const std::string& input = {}) {
  Result r = testsupport::RunProgram(NAVCONFIG_TOOL_PATH, args, cwd,
                                     {"NAVCONFIG_CONFIG_DIR", "NAVCONFIG_RUNTIME_DIR", "NAVCONFIG_HOME",
                                      "NAVCONFIG_LOG", "NAVCONFIG_LOG_SWITCHES", "NAVCONFIG_MEMORY_LEVEL"},
                                     env, input);
  if (testsupport::kWindows) {
    std::erase(r.out, '\r');
    std::erase(r.err, '\r');
  }
  return r;
}

// The --json output with its members on one line, as watch writes it: a line end and the indent after it become
// one blank after a ',' and nothing elsewhere (a line end inside a string is written as \n).
std::string Flat(const std::string& json) {
  std::string out;
  for (size_t i = 0; i < json.size(); ++i) {
    if (json[i] != '\n') {
      out += json[i];
      continue;
    }
    while (i + 1 < json.size() && json[i + 1] == ' ') ++i;
    if (!out.empty() && out.back() == ',') out += ' ';
  }
  return out;
}

// A JSON string literal of a text without control characters.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\\' || c == '"' ? std::string{'\\', c} : std::string{c};
  return out + '"';
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

bool HasJson(const Args& args) { return std::find(args.begin(), args.end(), "--json") != args.end(); }

// An error: one line on standard error, "navconfig: error: " and a message that holds text; nothing on standard
// output, or with --json the same message as an object.
void ExpectError(const Result& r, int code, const std::string& text, bool json = false) {
  EXPECT_EQ(r.code, code) << r.out << r.err;
  const std::string prefix = "navconfig: error: ";
  ASSERT_TRUE(r.err.starts_with(prefix) && r.err.find('\n') + 1 == r.err.size()) << r.err;
  const std::string message = r.err.substr(prefix.size(), r.err.size() - prefix.size() - 1);
  EXPECT_TRUE(Contains(message, text)) << r.err;
  EXPECT_EQ(Flat(r.out), json ? "{\"error\": " + Quoted(message) + "}" : "") << r.out;
}

// A scratch installation: config/, runtime/ (map layers in runtime/maps/), home/ and the working folder work/,
// where the library looks for map data at its first start.
class Installation {
 public:
  Installation() {
    for (const char* d : {"config", "runtime/maps", "home", "work"}) testsupport::MakeDirs(m_dir / d);
  }
  std::string Config() const { return m_dir / "config/"; }
  std::string Work() const { return m_dir / "work/"; }
  std::string operator/(const std::string& name) const { return m_dir / name; }

  Args WithFolders(Args args) const {
    args.insert(args.begin(), {"--config-dir", Config(), "--runtime-dir", m_dir / "runtime/"});
    return args;
  }
  Result Run(const Args& args, const std::string& input = {}) const {
    return RunTool(WithFolders(args), Work(), {{"NAVCONFIG_HOME", m_dir / "home"}}, input);
  }
  // {C} and {W} in a text: the configuration and the working folder (as JSON writes them with json).
  std::string Expand(const std::string& text, bool json) const {
    auto path = [json](const std::string& p) { return json ? Replaced(p, "\\", "\\\\") : p; };
    return Replaced(Replaced(text, "{C}", path(Config())), "{W}", path(Work()));
  }

 private:
  testsupport::TempDir m_dir;
};

// A command and what it gives: its exit code, its standard output (with --json on one line, see Flat) and its
// standard error, each exactly.
struct Case {
  Args args;
  int code;
  std::string out;
  std::string err = {};
};

void ExpectCases(const Installation& inst, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const Result r = inst.Run(c.args);
    const bool json = HasJson(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(json ? Flat(r.out) : r.out, inst.Expand(c.out, json));
    EXPECT_EQ(r.err, inst.Expand(c.err, false));
  }
}

// Every file below a folder with its bytes and modification time, and what else stands there (a save in progress
// touches a folder's time, even when it fails and leaves nothing).
std::map<std::string, std::pair<std::string, long long>> Snapshot(const std::string& root) {
  std::map<std::string, std::pair<std::string, long long>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::error_code ec;
    const auto time = fs::last_write_time(entry.path(), ec);
    const bool file = entry.is_regular_file();
    files[entry.path().string()] = {file ? ReadFile(entry.path().string()) : testsupport::KindAt(entry.path().string()),
                                    file && !ec ? time.time_since_epoch().count() : 0};
  }
  return files;
}

}  // namespace

TEST(Tool, UsageErrorsAndTheCatalogueCommandsTouchNoFile) {
  Installation inst;
  Result r = inst.Run({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::string("navconfig ") + NAVCONFIG_VERSION_STRING + "\n");
  r = inst.Run({"set", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.starts_with("store a value in the user layer")) << r.out;

  const std::string absent = inst / "absent";
  const std::vector<std::pair<Args, std::string>> mistakes{
      {{}, "a command is required"},
      {{"--json", "frobnicate"}, "unknown command 'frobnicate' (see navconfig --help)"},
      {{"gett", "Image", "KeepPercent"}, "unknown command 'gett'; did you mean 'get'?"},
      {{"--jsn", "get", "Image", "KeepPercent"}, "unknown option '--jsn'; did you mean '--json'?"},
      {{"get", "Image", "KeepPercent", "--orgin", "--json"}, "unknown option '--orgin'; did you mean '--origin'?"},
      {{"get", "Image"}, "KEY"},
      {{"--json", "get", "Image", "KeepPercent", "extra"}, "extra"},
      {{"set", "Image", "KeepPercent", "1", "--int", "--string"}, "excludes"},
      {{"set", "Image", "KeepPercent"}, "VALUE is required"},
      {{"list", "user\\Image"}, "list takes a plain section name, not a path"},
      {{"version-string", "a", "b", "c", "d"}, ""},
      {{"check"}, "FILE"},
      {{"mapsets", inst.Work(), "--type", "roads"}, "roads not in"},
      {{"--json", "mapsets", absent}, "PATH: Directory does not exist: " + absent},
  };
  for (const auto& [args, text] : mistakes) {
    SCOPED_TRACE(::testing::PrintToString(args));
    ExpectError(inst.Run(args), 2, text, HasJson(args));
  }
  // A missing folder named by the option or by the variable.
  Env env{{"NAVCONFIG_RUNTIME_DIR", inst / "runtime/"}, {"NAVCONFIG_HOME", inst / "home"}};
  ExpectError(RunTool({"--config-dir", absent, "get", "Image", "KeepPercent"}, inst.Work(), env), 2,
              "--config-dir: Directory does not exist: " + absent);
  env.emplace_back("NAVCONFIG_CONFIG_DIR", absent);
  ExpectError(RunTool({"dirs"}, inst.Work(), env), 2, "NAVCONFIG_CONFIG_DIR: Directory does not exist: " + absent);

  // The catalogue: its sections with their sizes, which add up to the settings that defaults lists.
  r = inst.Run({"sections"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.starts_with("DistanceCache           1\nImage                   2\n")) << r.out;
  size_t lines = 0, sum = 0;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line) && !line.ends_with(" settings"); ++lines)
    sum += std::stoul(line.substr(line.rfind(' ') + 1));
  EXPECT_TRUE(r.out.ends_with(std::to_string(lines) + " sections, " + std::to_string(sum) + " settings\n")) << r.out;
  EXPECT_GT(lines, 1u);
  r = inst.Run({"defaults"});
  EXPECT_EQ(static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')), sum);
  EXPECT_TRUE(Contains(r.out, "  (integer, follows the memory level)\n")) << r.out;
  EXPECT_TRUE(Flat(inst.Run({"sections", "--json"}).out)
                  .starts_with(R"({"sections": [{"name": "DistanceCache", "settings": 1}, {"name": "Image", )"));
  ExpectCases(inst, {
      {{"defaults", "image"}, 0, "Image\\KeepPercent = 50  (integer)\nImage\\AllowSquish = 0  (integer)\n"},
      {{"--json", "defaults", "Image"}, 0,
       R"([{"setting": "Image\\KeepPercent", "section": "Image", "key": "KeepPercent", "type": "integer", )"
       R"("value": 50, "memoryDependent": false, "priority": false}, {"setting": "Image\\AllowSquish", )"
       R"("section": "Image", "key": "AllowSquish", "type": "integer", "value": 0, "memoryDependent": false, )"
       R"("priority": false}])"},
      {{"defaults", "Imag"}, 1, "", "navconfig: error: the catalogue has no section 'Imag'; did you mean 'Image'?\n"},
  });
  // The priority table wins over the main table; where they differ, the tool says which value is never read.
  r = inst.Run({"defaults", "DensityLevels"});
  EXPECT_TRUE(Contains(r.out, "DensityLevels\\DrawGridLevelNetwork0 = 6  (integer, priority table)\nDensityLevels\\"
                              "DrawGridLevelNetwork1 = 3  (integer, priority table; the main table's 4 is never read)\n"))
      << r.out;
  EXPECT_TRUE(Contains(Flat(inst.Run({"--json", "defaults", "DensityLevels"}).out),
                       R"("value": 3, "memoryDependent": false, "priority": true, "shadowedValue": 4})"));

  // A version string taken apart; exit 1 when it is not valid.
  r = inst.Run({"version-string", "GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7"});
  EXPECT_EQ(r.code, 0);
  for (const char* line : {"Provider:           GRD_NAVTEQ  (code 2)\n",
                           "Region:             EU-DE-12  (main EU, sub-region DE, map ID 12)\n",
                           "Software version:   9\nGrid revision:      7\nStreet revision:    -\n",
                           "Version string:     7.1.1.1  (short 7.1.1)\n",
                           "Data version:       GRD_NAVTEQ.EU-DE-12.2011.3.7.1.1.1\nValid:              yes\n"})
    EXPECT_TRUE(Contains(r.out, line)) << line;
  r = inst.Run({"--json", "version-string", "GRD_NT.NA.2020.1.4", "8"});
  EXPECT_TRUE(Flat(r.out).starts_with(R"({"provider": "GRD_NT", "region": "NA", "mainRegion": "NA", )")) << r.out;
  EXPECT_TRUE(Contains(Flat(r.out), R"("providerCode": 2, "yearNumber": 2020, "quarterNumber": 1, "regionId": -1, )"
                                    R"("formatted": {"gridProductName": "GRD_NT.NA.2020.1", )"
                                    R"("gridData": "GRD_NT.NA.2020.1.4", )"))
      << r.out;
  EXPECT_TRUE(Flat(r.out).ends_with(R"("gridDataVersion": "GRD_NT.NA.2020.1.4.1.1.1"}, "valid": true})")) << r.out;
  r = inst.Run({"version-string", "GRD_XYZ.EU.2011.3"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.out, "Provider:           GRD_XYZ  (code 0: unknown provider)\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Valid:              no (needs a known provider")) << r.out;
  EXPECT_EQ(r.err, "");

  // None of these set the library up: nothing was written anywhere (on Windows neither beside config.dll).
  EXPECT_TRUE(fs::is_empty(inst.Work()));
  EXPECT_TRUE(fs::is_empty(inst.Config()));
  const std::string toolDir = fs::path(NAVCONFIG_TOOL_PATH).parent_path().string();
  EXPECT_FALSE(testsupport::Exists(testsupport::JoinPath(toolDir, "user.cfg")));
}

TEST(Tool, GetAndListShowTheValueInEffectAndWhereItComesFrom) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg",
            "[Image]\n\"KeepPercent\"=60\n\"AllowSquish\"=1\n[Styles]\n\"Theme\"=\"night\"\n\"DayStyle\"=5\n"
            "[GPS]\n\"RouteWidthAdjPixel\"=\"wide\"\n");
  WriteFile(inst.Config() + "user_ro.cfg", "[Image]\n\"AllowSquish\"=3\n\"KeepPercent\"=\"b\"\n");
  WriteFile(inst.Config() + "user.cfg",
            "[DistanceCache]\n\"Size\"=0x00002710\n[Local]\n\"Path\"=\"C:\\maps\\na\ttab\x1F\x7F\xC3 end\"\n"
            "[Image]\n\"KeepPercent\"=\"a\"\n[Image\\Tiles]\n\"Depth\"=3\n");
  WriteFile(inst / "runtime/maps/coast.cfg", "[Image]\n\"KeepPercent\"=33\n");
  ExpectCases(inst, {
      {{"get", "Image", "KeepPercent"}, 0, "60\n"},
      {{"get", "Image", "KeepPercent", "--origin"}, 0,
       "60  (product; user and user_ro hold a string, which reads skip)\n"},
      {{"get", "image", "ALLOWSQUISH", "--origin"}, 0, "3  (user_ro)\n"},
      {{"get", "Version", "Major", "--origin"}, 0, "8.0.0.0  (default)\n"},
      {{"get", "DistanceCache", "Size", "--origin"}, 0, "0x00002710  (user)\n"},
      // A value of the other type in the last layer with a file hides the default.
      {{"get", "Styles", "DayStyle", "--origin"}, 0, "  (product, which holds an integer: a string read gives nothing)\n"},
      {{"get", "GPS", "RouteWidthAdjPixel", "--origin"}, 0, "0  (product, which holds a string: an integer read gives 0)\n"},
      // A full path reads that path alone, with the type of what it holds; map layers lie in the runtime's maps.
      {{"get", "user\\Image", "KeepPercent", "--origin"}, 0, "a  (user)\n"},
      {{"get", "coast\\Image", "KeepPercent", "--origin"}, 0, "33  (coast)\n"},
      {{"get", "user\\Image", "AllowSquish"}, 1, "", "navconfig: error: user\\Image\\AllowSquish is not set\n"},
      {{"get", "Image", "NoSuchKey"}, 1, "", "navconfig: error: Image\\NoSuchKey is set in no layer and has no default\n"},
      {{"get", "Imag", "KeepPercent"}, 1, "",
       "navconfig: error: Imag\\KeepPercent is set in no layer and has no default; did you mean Image\\KeepPercent?\n"},
      {{"get", "product\\Image", "KeepPrecent"}, 1, "",
       "navconfig: error: product\\Image\\KeepPrecent is not set; did you mean product\\Image\\KeepPercent?\n"},
      {{"get", "", "Key"}, 2, "", "navconfig: error: the section is empty\n"},
      {{"--json", "get", "Image", "KeepPercent"}, 0,
       R"({"setting": "Image\\KeepPercent", "type": "integer", "value": 60, "hex": false, "origin": "product", )"
       R"("otherType": false, "skipped": ["user", "user_ro"]})"},
      {{"get", "DistanceCache", "Size", "--json"}, 0,
       R"({"setting": "DistanceCache\\Size", "type": "integer", "value": 10000, "hex": true, "origin": "user", )"
       R"("otherType": false, "skipped": []})"},
      {{"get", "Styles", "DayStyle", "--json"}, 0,
       R"({"setting": "Styles\\DayStyle", "type": "string", "value": "", "origin": "product", "otherType": true, )"
       R"("skipped": []})"},
      // A value may hold any byte but a line end; what is not UTF-8 becomes U+FFFD.
      {{"--json", "get", "Local", "Path"}, 0,
       R"({"setting": "Local\\Path", "type": "string", "value": "C:\\maps\\na\ttab\u001f\u007f\ufffd end", )"
       R"("origin": "user", "otherType": false, "skipped": []})"},
      // Each setting once, although several layers hold it; defaults only with --all.
      {{"list", "Image", "--all"}, 0,
       "Image\\AllowSquish = 3  (user_ro)\nImage\\KeepPercent = 60  (product; user and user_ro hold a string, which "
       "reads skip)\nuser\\Image\\Tiles\\Depth = 3  (user)\n"},
      {{"list", "LinkCacheFlatten"}, 0, ""},
      {{"list", "LinkCacheFlatten", "--all"}, 0, "LinkCacheFlatten\\Enabled = 1  (default)\n"},
      {{"list", "styles", "--json"}, 0,
       R"([{"setting": "Styles\\DayStyle", "type": "string", "value": "", "origin": "product", "otherType": true, )"
       R"("skipped": []}, {"setting": "Styles\\Theme", "type": "string", "value": "night", "origin": "product", )"
       R"("otherType": false, "skipped": []}])"},
  });
}

TEST(Tool, SetAndUnsetSayWhatTheyStoredOrRemoved) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg", "[Image]\n\"KeepPercent\"=60\n");
  // A user.cfg with lines that the library does not keep is kept as user.cfg.bak, and set says so once.
  const std::string notes = "; notes written by hand\n[Image]\n\"KeepPercent\"=55\n";
  WriteFile(inst.Config() + "user.cfg", notes);
  const std::string written = "  (user, written to {C}user.cfg)\n";
  ExpectCases(inst, {
      // Names are stored as the catalogue spells them.
      {{"set", "image", "keeppercent", "70"}, 0, "Image\\KeepPercent = 70" + written,
       "navconfig: warning: {C}user.cfg held lines that the library does not keep; the previous file is saved as "
       "{C}user.cfg.bak\n"},
      {{"set", "Image", "KeepPercent", "70"}, 0, "Image\\KeepPercent is already 70 in user; nothing changed\n"},
      // Strings may hold '"', '=' and any UTF-8 character; numbers run from -2^31 to 2^32-1, decimal or 0x.
      {{"set", "Styles", "Theme", "night \"sky\"=\xEF\xBC\xA1"}, 0, "Styles\\Theme = night \"sky\"=\xEF\xBC\xA1" + written},
      {{"set", "Image", "KeepPercent", "4294967295"}, 0, "Image\\KeepPercent = -1" + written},
      {{"set", "Image", "KeepPercent", "-2147483648"}, 0, "Image\\KeepPercent = -2147483648" + written},
      {{"set", "DistanceCache", "Size", "0x2711"}, 0, "DistanceCache\\Size = 0x00002711" + written},
      {{"set", "Cache", "ForceStartupMemoryAvailKB", "ff", "--hex"}, 0,
       "Cache\\ForceStartupMemoryAvailKB = 0x000000ff" + written},
      {{"set", "Local", "Count", "12", "--string"}, 0, "Local\\Count = 12" + written},
      // A type that reads of the setting pass over only through a full path, with a warning.
      {{"set", "user\\Image", "AllowSquish", "1", "--string"}, 0, "user\\Image\\AllowSquish = 1" + written,
       "navconfig: warning: user\\Image\\AllowSquish is an integer setting; an integer read does not take a value "
       "of the other type\n"},
      // The type comes from the catalogue, not from the string that reads pass over.
      {{"set", "Image", "AllowSquish", "2"}, 0, "Image\\AllowSquish = 2" + written},
      {{"set", "Version", "Major", "8.0.0.0"}, 0,
       "Version\\Major: 8.0.0.0 is the built-in default; nothing needed storing\n"},
      {{"--json", "set", "Version", "Major", "8.0.0.0"}, 0,
       R"({"setting": "Version\\Major", "layer": "user", "type": "string", "value": "8.0.0.0", "stored": false, )"
       R"("file": null, "reason": "default"})"},
      // The installation's layers and layers without a file are written with --force.
      {{"set", "product\\Image", "KeepPercent", "61", "--force"}, 0,
       "product\\Image\\KeepPercent = 61  (product, written to {C}product.cfg)\n"},
      {{"set", "usr\\Image", "KeepPercent", "1", "--force"}, 0,
       "usr\\Image\\KeepPercent = 1  (usr, written to {C}usr.cfg)\n"},
      // A key that no setting has takes the type its text suggests, and the spelling that the layer holds.
      {{"set", "Image", "KeepPrecent", "12"}, 0, "Image\\KeepPrecent = 12" + written,
       "navconfig: warning: Image\\KeepPrecent is not a known setting; did you mean Image\\KeepPercent?\n"},
      {{"set", "Local", "Word", "hello"}, 0, "Local\\Word = hello" + written,
       "navconfig: warning: Local\\Word is not a known setting\n"},
      {{"set", "LOCAL", "word", "hi"}, 0, "Local\\Word = hi" + written},
      {{"--json", "set", "Image", "KeepPercent", "0x10"}, 0,
       R"({"setting": "Image\\KeepPercent", "layer": "user", "type": "integer", "value": 16, "hex": true, )"
       R"("stored": true, "file": "{C}user.cfg", "reason": null})"},
  });
  EXPECT_EQ(ReadFile(inst.Config() + "user.cfg.bak"), notes);
  const std::string user = ReadFile(inst.Config() + "user.cfg");
  for (const char* line : {"\"ForceStartupMemoryAvailKB\"=0x000000ff\n", "\"Size\"=0x00002711\n", "\"AllowSquish\"=2\n",
                           "\"KeepPercent\"=0x00000010\n", "\"KeepPrecent\"=12\n", "\"Count\"=\"12\"\n", "\"Word\"=\"hi\"\n",
                           "\"Theme\"=\"night \"sky\"=\xEF\xBC\xA1\"\n"})
    EXPECT_TRUE(Contains(user, line)) << line << " in\n" << user;
  EXPECT_EQ(ReadFile(inst.Config() + "usr.cfg"), "[Image]\n\"KeepPercent\"=1\n\n");

  ExpectCases(inst, {{{"unset", "Image", "KeepPrecent"}, 0,
                      "removed Image\\KeepPrecent from user; it is set nowhere now\n"}});
  EXPECT_FALSE(Contains(ReadFile(inst.Config() + "user.cfg"), "KeepPrecent"));
  ExpectCases(inst, {
      {{"unset", "Image", "KeepPercent"}, 0, "removed Image\\KeepPercent from user; it reads 61  (product)\n"},
      {{"unset", "Image", "KeepPercent"}, 0,
       "Image\\KeepPercent is not set in user; nothing to remove; it reads 61  (product)\n"},
      {{"--json", "unset", "product\\Image", "KeepPercent", "--force"}, 0,
       R"({"setting": "product\\Image\\KeepPercent", "layer": "product", "removed": true, "file": "{C}product.cfg", )"
       R"("now": null})"},
      {{"--json", "unset", "Image", "AllowSquish"}, 0,
       R"({"setting": "Image\\AllowSquish", "layer": "user", "removed": true, "file": "{C}user.cfg", "now": )"
       R"({"setting": "Image\\AllowSquish", "type": "integer", "value": 0, "hex": false, "origin": "default", )"
       R"("otherType": false, "skipped": []}})"},
  });
}

TEST(Tool, ValueErrorsLeaveEveryFileAsItWas) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg", "[Styles]\n\"Theme\"=\"night\"\n");
  ASSERT_EQ(inst.Run({"set", "Image", "KeepPercent", "70"}).code, 0);  // the first start is behind us
  const auto config = Snapshot(inst.Config());
  const auto work = Snapshot(inst.Work());
  struct Mistake {
    Args args;
    int code;
    std::string text;
  };
  const std::vector<Mistake> mistakes{
      {{"set", "Image", "KeepPercent", "abc"}, 2, "Image\\KeepPercent is an integer setting; 'abc' is not a number"},
      {{"--json", "set", "Image", "KeepPercent", "12abc"}, 2, "'12abc' is not a number"},
      {{"set", "Image", "KeepPercent", "0x"}, 2, "'0x' is not a number"},
      {{"set", "Image", "KeepPercent", "-"}, 2, "'-' is not a number"},
      {{"set", "Image", "KeepPercent", "4294967296"}, 2, "'4294967296' does not fit in 32 bits"},
      {{"set", "Image", "KeepPercent", "-2147483649"}, 2, "does not fit in 32 bits"},
      {{"set", "Image", "KeepPercent", "100000000", "--hex"}, 2, "'100000000' does not fit in 32 bits"},
      {{"set", "Styles", "Theme", "x", "--int"}, 2, "'x' is not a number"},
      {{"set", "Styles", "DayStyle", "12", "--int"}, 2,
       "Styles\\DayStyle is a string setting, and a string read passes over a value of the other type; to store one "
       "all the same, name the layer (user\\Styles)"},
      {{"set", "Styles", "Theme", "two\nlines"}, 2, "the value for Styles\\Theme holds a line break"},
      {{"set", "Local", "Note", "two\rlines", "--string"}, 2, "line break"},
      {{"set", "Sty[les", "Theme", "x"}, 2, "section 'Sty[les' holds a bracket or a line break"},
      {{"set", "Styles", "The\"me", "x"}, 2, "holds '\"', '=' or a line break"},
      {{"set", "Styles", "The=me", "x"}, 2, "holds '\"', '=' or a line break"},
      {{"set", "Styles", "\xEF\xBC\xA1", "x"}, 2, "starts with the byte 0xEE or 0xEF"},
      {{"set", "Styles", "", "x"}, 2, "the key is empty"},
      {{"set", "..\\Image", "KeepPercent", "1"}, 2, "layer '..' cannot name a file"},
      {{"set", "a/b\\Image", "KeepPercent", "1"}, 2, "cannot name a file"},
      {{"--json", "set", "user\\", "KeepPercent", "1"}, 2, "'user\\' names a layer but no section in it"},
      {{"set", "product\\Styles", "Theme", "x"}, 2,
       "'product' is a layer of the installation, which the application only reads; add --force to change "
       "product.cfg"},
      {{"set", "User_RO\\Image", "KeepPercent", "1"}, 2, "add --force to change user_ro.cfg"},
      {{"set", "usr\\Image", "KeepPercent", "1"}, 2,
       "no file holds the layer 'usr' yet (did you mean 'user'?); add --force to write " + inst.Config() + "usr.cfg"},
      {{"unset", "product\\Styles", "Theme"}, 2, "add --force to change product.cfg"},
      {{"unset", "Image", "Nothing"}, 1, "Image\\Nothing is set in no layer; nothing to remove"},
      {{"unset", "Imag", "KeepPercent"}, 1, "nothing to remove; did you mean Image\\KeepPercent?"},
      {{"--json", "unset", "user\\Image", "AllowSquish", "--force"}, 1,
       "user\\Image\\AllowSquish is not set; nothing to remove"},
  };
  for (const Mistake& m : mistakes) {
    SCOPED_TRACE(::testing::PrintToString(m.args));
    ExpectError(inst.Run(m.args), m.code, m.text, HasJson(m.args));
  }
  EXPECT_EQ(Snapshot(inst.Config()), config);
  EXPECT_EQ(Snapshot(inst.Work()), work);
}

// Whatever stands in place of user.cfg: get gives the default, set fails and says why, nothing waits on a FIFO,
// what stood there stays, and nothing is made outside the configuration folder.
TEST(Tool, WhatStandsInPlaceOfUserCfgIsNeitherWaitedOnNorReplaced) {
  const std::pair<const char*, const char*> cases[] = {
      {"folder", "user.cfg is a directory, not a regular file"},  // on Windows the only case: kNoSpecialFiles
      {"fifo", "user.cfg is a FIFO, not a regular file"},
      {"../outside/missing.cfg", "user.cfg is a symbolic link to a missing file"},
      {"../outside", "user.cfg is a symbolic link to a directory"},
  };
  for (const auto& [what, reason] : cases) {
    SCOPED_TRACE(what);
    const std::string kind = what;
    if (testsupport::kWindows && kind != "folder") continue;
    Installation inst;
    const std::string user = inst.Config() + "user.cfg";
    testsupport::MakeDirs(inst / "outside");
    if (kind == "folder") testsupport::MakeDirs(user);
    else ASSERT_TRUE(kind == "fifo" ? testsupport::MakeFifo(user) : testsupport::MakeSymlink(what, user));
    const std::string before = testsupport::KindAt(user);
    testsupport::FifoGuard guard(user);
    const Result got = inst.Run({"get", "Image", "KeepPercent"});
    EXPECT_EQ(got.code, 0) << got.err;
    EXPECT_EQ(got.out, "50\n");
    const auto config = Snapshot(inst / "");
    ExpectError(inst.Run({"set", "Image", "KeepPercent", "70"}), 1, "could not save " + user + ": " + reason);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(testsupport::KindAt(user), before);
    EXPECT_EQ(Snapshot(inst / ""), config);
  }
}

TEST(Tool, StatusDirsAndMapsetsShowTheDataWithAbsolutePaths) {
  using testsupport::Native;
  Installation inst;
  const std::string na = inst.Work() + Native("NA/");
  for (const char* file : {"data/00000000.qd", "data/00000000.hsh", "cities/cities.inx", "cities/cities.nms"}) {
    testsupport::MakeDirs(fs::path(na + Native(file)).parent_path().string());
    WriteFile(na + Native(file), "x");
  }
  WriteFile(na + Native("data/version.dat"), "Product Name: GRD_ORO.NA-US-7.2024.2\nData Version: 2024.2.1\n"
                                             "Data Format: 8.0\nGrid Data: NA-US\nLanguage: ENG\n");
  // Stored paths are relative to the current folder; each is shown with its absolute form. {W} is the working
  // folder; '/' stands for the platform's separator.
  const std::string base = inst.Work().substr(0, inst.Work().size() - 1);
  auto expand = [&](const std::string& text, bool json) {
    const std::string native = json ? Replaced(Native(text), "\\", "\\\\") : Native(text);
    return inst.Expand(Replaced(native, "{B}", json ? Replaced(base, "\\", "\\\\") : base), json);
  };
  Result r = inst.Run({"status"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, expand("Data status:        DATA_FOUND_NORMAL  (map data found)\n"
                          "Grid directory:     ./NA/data/  ({W}NA/data/)\n"
                          "Region:             NA  (named by the data; RegionDir is not set)\n"
                          "Revision:           1\nSoftware version:   8.0.0.0\nFirst run:          yes\n"
                          "Version file:       ./NA/data/version.dat  ({W}NA/data/version.dat)\n"
                          "  Product Name:     GRD_ORO.NA-US-7.2024.2\n  Data Version:     2024.2.1\n"
                          "  Data Format:      8.0\n  Grid Data:        NA-US\n  Language:         ENG\n"
                          "  Map ID:           7\nPaths relative to:  {B}  (the current folder)\n",
                          false));
  r = inst.Run({"status", "--json"});
  EXPECT_EQ(Flat(r.out),
            expand(R"({"status": "DATA_FOUND_NORMAL", "grid": "./NA/data/", "gridAbsolute": "{W}NA/data/", )"
                   R"("base": "{B}", "region": "", "dataRegion": "NA", "revision": 1, "softwareVersion": "8.0.0.0", )"
                   R"("firstRun": true, "versionFile": {"file": "./NA/data/version.dat", )"
                   R"("fileAbsolute": "{W}NA/data/version.dat", "productName": "GRD_ORO.NA-US-7.2024.2", )"
                   R"("dataVersion": "2024.2.1", "dataFormat": "8.0", "gridData": "NA-US", "language": "ENG", )"
                   R"("mapId": 7}})",
                   true));
  // Showing the status does not use up the first-run flag.
  EXPECT_FALSE(Contains(ReadFile(inst.Config() + "user.cfg"), "DrivoraOutOfBoxFirstRun"));

  r = inst.Run({"dirs"});
  EXPECT_EQ(r.code, 0);
  for (const std::string& line : {expand("Configuration directory: {C}\n", false),
                                 "Runtime directory:       " + (inst / "runtime/") + "\n",
                                 expand("Paths relative to:       {B}  (the current folder)\n", false)})
    EXPECT_TRUE(Contains(r.out, line)) << line;
  const size_t row = r.out.find("\nLRGridDir             ");
  ASSERT_NE(row, std::string::npos) << r.out;
  const std::string line = r.out.substr(row + 1, r.out.find('\n', row + 1) - row - 1);
  EXPECT_TRUE(Contains(line, expand("./NA/data  ({W}NA/data)  ", false)) && line.ends_with("  ok, holds its files"))
      << line;
  fs::remove(na + Native("data/00000000.hsh"));
  EXPECT_TRUE(Contains(Flat(inst.Run({"dirs", "--json"}).out),
                       expand(R"({"name": "LRGridDir", "value": "./NA/data", "absolute": "{W}NA/data", "set": true, )"
                              R"("kind": "folder", "exists": true, "requiredFiles": ["00000000.qd", "00000000.hsh"], )"
                              R"("missingFiles": ["00000000.hsh"], "valid": false})",
                              true)));

  // Map sets: the folder itself and the folder of the kind in each sub-folder.
  const std::string maps = inst / "maps/";
  for (const char* dir : {"NA/data", "EU/data", "EU/polygons"}) testsupport::MakeDirs(maps + dir);
  for (const char* file : {"NA/data/a.cgd", "NA/data/a.chx", "EU/data/e.cgd", "EU/polygons/p.cgd"})
    WriteFile(maps + file, "x");
  WriteFile(maps + "NA/data/version.dat", "Product Name: GRD_NAVTEQ.NA-US-12.2011.3\n");
  r = inst.Run({"mapsets", maps});
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string pad(maps.size() + 8 - 4 + 2, ' ');
  EXPECT_EQ(r.out, "MAP ID  NAME  PATH" + pad + "CHX FILES\n-       EU    " + Native(maps + "EU/data/") +
                       "  -\n12      NA    " + Native(maps + "NA/data/") + "  " + Native(maps + "NA/data/a.chx") +
                       "\n2 map sets\n");
  EXPECT_EQ(Flat(inst.Run({"--json", "mapsets", maps, "--type", "polygons"}).out),
            R"([{"mapId": -1, "name": "EU", "path": ")" + Replaced(Native(maps + "EU/polygons/"), "\\", "\\\\") +
                R"(", "chxFiles": []}])");
  EXPECT_EQ(inst.Run({"mapsets", maps, "--type", "tmc"}).out,
            "no map sets of the kind tmc at or under " + maps + "\n");
}

// check reads the files named (and "-", standard input) and touches nothing else. The report of a file with one
// of each problem is in the test data, as text and as JSON; lines end in LF, but one in CR LF, and one holds a NUL.
TEST(Tool, CheckReportsEveryLineTheReaderIgnoresOrCuts) {
  const char* data = std::getenv("NAVCONFIG_TEST_DATA");
  ASSERT_NE(data, nullptr);
  const std::string folder = testsupport::JoinPath(data, "tool");
  Installation inst;
  const std::string clean = inst / "clean.cfg";
  WriteFile(clean, "; the product's settings\n[Image]\n\"KeepPercent\"=70\n\n[Styles]\n\"Theme\"=\"night\"\n");
  const std::string blank = "error: '=' must follow the key's closing quote directly (no blank); the reader ignores "
                            "the line\n";
  for (const bool json : {false, true}) {
    const Args args = json ? Args{"--json", "check", "flawed.cfg"} : Args{"check", "flawed.cfg"};
    const Result r = RunTool(inst.WithFolders(args), folder);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, ReadFile(testsupport::JoinPath(folder, json ? "flawed.json" : "flawed.txt")));
    EXPECT_EQ(r.err, "");
  }
  Result r = inst.Run({"check", clean});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "no findings in 1 file\n");
  r = inst.Run({"check", clean, "-"}, "[Image]\r\n\"Bad\" =1\r\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "-:2: " + blank + "1 finding in 2 files\n");
  // A file that cannot be read (missing, a folder) is one error and no report.
  ExpectError(inst.Run({"check", inst / "absent.cfg", clean}), 2,
              "cannot read " + (inst / "absent.cfg") + ": No such file or directory");
  ExpectError(inst.Run({"--json", "check", clean, inst.Work()}), 2, "cannot read " + inst.Work() + ": it is a folder",
              true);
  EXPECT_TRUE(fs::is_empty(inst.Config()));
  EXPECT_TRUE(fs::is_empty(inst.Work()));
}

// navconfig watch beside processes that save: each change is printed as list prints it (with --json on one line),
// filtered by section and key, until Ctrl-C.
TEST(Tool, WatchPrintsEachChangeAnotherProcessSavesUntilInterrupted) {
  Installation inst;
  const testsupport::ScopedEnv home("NAVCONFIG_HOME", (inst / "home").c_str());
  using Program = testsupport::ChildProcess::Program;
  auto tool = [&](const Args& args) { ASSERT_EQ(inst.Run(args).code, 0) << args[0]; };
  testsupport::ChildProcess text(Program{NAVCONFIG_TOOL_PATH, inst.WithFolders({"watch", "Image"})});
  testsupport::ChildProcess json(Program{NAVCONFIG_TOOL_PATH, inst.WithFolders({"--json", "watch", "user\\image", "keeppercent"})});
  ASSERT_TRUE(text.Started() && json.Started());
  auto next = [](testsupport::ChildProcess& watcher, int timeoutMs) {
    std::string line;
    return watcher.ReadLine(line, timeoutMs) ? line : std::string("<nothing>");
  };
  auto jsonLine = [](long value, const char* origin) {
    return R"({"setting": "Image\\KeepPercent", "type": "integer", "value": )" + std::to_string(value) +
           R"(, "hex": false, "origin": ")" + origin +
           R"(", "otherType": false, "skipped": [], "layer": "user", "unset": false})";
  };
  // A watcher hears what is saved once it has read the files: a new value is saved until both print it.
  auto printed = [&](testsupport::ChildProcess& watcher, const std::string& wanted) {
    for (std::string line = next(watcher, 300); line != "<nothing>"; line = next(watcher, 300))
      if (line == wanted) return true;
    return false;
  };
  bool ready = false;
  for (long value = 60; value < 90 && !ready; ++value) {
    tool({"set", "Image", "KeepPercent", std::to_string(value)});
    const bool textReady = printed(text, "Image\\KeepPercent = " + std::to_string(value) + "  (user)");
    ready = printed(json, jsonLine(value, "user")) && textReady;
  }
  ASSERT_TRUE(ready) << "the watchers printed nothing";

  constexpr int kSoon = 2000;
  tool({"set", "Image", "KeepPercent", "95"});
  EXPECT_EQ(next(text, kSoon), "Image\\KeepPercent = 95  (user)");
  EXPECT_EQ(next(json, kSoon), jsonLine(95, "user"));
  tool({"set", "GPS", "RouteWidthAdjPixel", "9"});  // another section
  tool({"set", "Image", "MyKey", "5"});             // another key
  EXPECT_EQ(next(text, kSoon), "Image\\MyKey = 5  (user)");
  tool({"unset", "Image", "MyKey"});
  EXPECT_EQ(next(text, kSoon), "Image\\MyKey  (unset)");
  tool({"unset", "Image", "KeepPercent"});
  EXPECT_EQ(next(text, kSoon), "Image\\KeepPercent = 50  (default)");
  EXPECT_EQ(next(json, kSoon), jsonLine(50, "default"));

  for (testsupport::ChildProcess* watcher : {&text, &json}) {
    if (!watcher->Interrupt()) {
      ASSERT_TRUE(testsupport::UnderWine()) << "the watcher could not be interrupted";
      continue;  // Wine sends no console event to another process without a console: the watcher is killed
    }
    EXPECT_EQ(watcher->Wait(), 0);
  }
  EXPECT_EQ(next(text, 0), "<nothing>");
  EXPECT_EQ(next(json, 0), "<nothing>");
}
