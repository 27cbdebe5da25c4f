// The navconfig command-line tool, end to end: the built program runs on scratch installations (configuration,
// runtime, home and working folders of its own), and its output, exit codes, --json output and the files it
// leaves are checked.
#include <config/version.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/special_files.h"
#include "store_env.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// ---- Running the tool ----

using Result = testsupport::ProgramResult;
using Env = std::vector<std::pair<std::string, std::string>>;

// Text as the tool writes it on every platform: Windows ends console lines with CR LF.
std::string UnixLines(std::string text) {
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

// Runs the tool with arguments in a working folder, its standard input reading input. The library's variables
// are removed from its environment unless env gives them.
Result RunTool(const std::vector<std::string>& args, const std::string& cwd, const Env& env = {},
               const std::string& input = {}) {
  Result r = testsupport::RunProgram(NAVCONFIG_TOOL_PATH, args, cwd,
                                     {"NAVCONFIG_CONFIG_DIR", "NAVCONFIG_RUNTIME_DIR", "NAVCONFIG_HOME",
                                      "NAVCONFIG_LOG", "NAVCONFIG_LOG_SWITCHES", "NAVCONFIG_MEMORY_LEVEL"},
                                     env, input);
  if (testsupport::kWindows) {
    r.out = UnixLines(std::move(r.out));
    r.err = UnixLines(std::move(r.err));
  }
  return r;
}

// The folder of the tool, and so of the config.dll it loads on Windows.
std::string ToolDirectory() {
  return testsupport::Native(fs::path(NAVCONFIG_TOOL_PATH).parent_path().string()) + testsupport::kSeparator;
}

// A scratch installation: config/, runtime/ (map layers in runtime/maps/), home/ and the working folder work/,
// where the library looks for map data at its first start.
class Installation {
 public:
  Installation() {
    for (const char* d : {"config", "runtime/maps", "home", "work"}) testsupport::MakeDirs(m_dir / d);
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  std::string Config() const { return m_dir / "config/"; }
  std::string Runtime() const { return m_dir / "runtime/"; }
  std::string Work() const { return m_dir / "work/"; }
  std::string Root() const { return m_dir.path(); }
  std::string operator/(const std::string& name) const { return m_dir / name; }

  Result Run(std::vector<std::string> args, const Env& extra = {}, const std::string& input = {}) const {
    args.insert(args.begin(), {"--config-dir", Config(), "--runtime-dir", Runtime()});
    Env env{{"NAVCONFIG_HOME", m_dir / "home"}};
    env.insert(env.end(), extra.begin(), extra.end());
    return RunTool(args, Work(), env, input);
  }

 private:
  testsupport::TempDir m_dir;
};

// ---- Files before and after ----

struct FileState {
  std::string bytes;
  long long mtime;
  bool operator==(const FileState&) const = default;
};

// Every file below a folder with its bytes and modification time, and the folders (a save in progress
// touches a folder's time, even when it fails and leaves nothing).
std::map<std::string, FileState> Snapshot(const std::string& root) {
  std::map<std::string, FileState> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory()) {
      files[entry.path().string()] = {"<dir>", 0};
      continue;
    }
    std::error_code ec;
    const auto time = fs::last_write_time(entry.path(), ec);
    if (ec) continue;
    files[entry.path().string()] = {ReadFile(entry.path().string()),
                                    static_cast<long long>(time.time_since_epoch().count())};
  }
  return files;
}

// ---- A small JSON reader, strict enough to tell valid output from invalid ----

struct Json {
  enum Type { Null, Bool, Number, String, Array, Object } type = Null;
  bool b = false;
  long long n = 0;
  std::string s;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json& operator[](const std::string& key) const {
    for (const auto& [k, v] : members)
      if (k == key) return v;
    static const Json missing;
    ADD_FAILURE() << "no member " << key;
    return missing;
  }
  bool Has(const std::string& key) const {
    for (const auto& m : members)
      if (m.first == key) return true;
    return false;
  }
  const Json& operator[](size_t i) const { return items.at(i); }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : m_text(text) {}

  // The value that is the whole text; false when the text is not valid JSON.
  bool Parse(Json& out) {
    Space();
    if (!Value(out)) return false;
    Space();
    return m_pos == m_text.size();
  }

 private:
  void Space() {
    while (m_pos < m_text.size() && std::strchr(" \t\r\n", m_text[m_pos])) ++m_pos;
  }
  bool Literal(const char* word) {
    const size_t n = std::strlen(word);
    if (m_text.compare(m_pos, n, word) != 0) return false;
    m_pos += n;
    return true;
  }
  bool Value(Json& v) {
    if (m_pos >= m_text.size()) return false;
    const char c = m_text[m_pos];
    if (c == '{') return ObjectValue(v);
    if (c == '[') return ArrayValue(v);
    if (c == '"') return v.type = Json::String, StringValue(v.s);
    if (c == 't' || c == 'f') return v.type = Json::Bool, v.b = c == 't', Literal(c == 't' ? "true" : "false");
    if (c == 'n') return v.type = Json::Null, Literal("null");
    return NumberValue(v);
  }
  bool NumberValue(Json& v) {
    size_t start = m_pos;
    if (m_text[m_pos] == '-') ++m_pos;
    if (m_pos >= m_text.size() || !std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) return false;
    if (m_text[m_pos] == '0' && m_pos + 1 < m_text.size() &&
        std::isdigit(static_cast<unsigned char>(m_text[m_pos + 1])))
      return false;
    while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
    v.type = Json::Number;
    v.n = std::stoll(m_text.substr(start, m_pos - start));
    return true;
  }
  bool StringValue(std::string& out) {
    ++m_pos;
    while (m_pos < m_text.size()) {
      const auto c = static_cast<unsigned char>(m_text[m_pos++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // control characters must be escaped
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (m_pos >= m_text.size()) return false;
      const char e = m_text[m_pos++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (m_pos + 4 > m_text.size()) return false;
          const unsigned cp = static_cast<unsigned>(std::stoul(m_text.substr(m_pos, 4), nullptr, 16));
          m_pos += 4;
          // UTF-8 of a code point of the basic plane (the writer escapes nothing above it).
          if (cp < 0x80) out += static_cast<char>(cp);
          else if (cp < 0x800) out += static_cast<char>(0xC0 | (cp >> 6)), out += static_cast<char>(0x80 | (cp & 0x3F));
          else
            out += static_cast<char>(0xE0 | (cp >> 12)), out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                out += static_cast<char>(0x80 | (cp & 0x3F));
          break;
        }
        default: return false;
      }
    }
    return false;
  }
  bool ArrayValue(Json& v) {
    v.type = Json::Array;
    ++m_pos;
    Space();
    if (m_pos < m_text.size() && m_text[m_pos] == ']') return ++m_pos, true;
    for (;;) {
      Json item;
      Space();
      if (!Value(item)) return false;
      v.items.push_back(std::move(item));
      Space();
      if (m_pos >= m_text.size()) return false;
      if (m_text[m_pos] == ']') return ++m_pos, true;
      if (m_text[m_pos++] != ',') return false;
    }
  }
  bool ObjectValue(Json& v) {
    v.type = Json::Object;
    ++m_pos;
    Space();
    if (m_pos < m_text.size() && m_text[m_pos] == '}') return ++m_pos, true;
    for (;;) {
      Space();
      std::string key;
      if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !StringValue(key)) return false;
      Space();
      if (m_pos >= m_text.size() || m_text[m_pos++] != ':') return false;
      Space();
      Json value;
      if (!Value(value)) return false;
      v.members.emplace_back(std::move(key), std::move(value));
      Space();
      if (m_pos >= m_text.size()) return false;
      if (m_text[m_pos] == '}') return ++m_pos, true;
      if (m_text[m_pos++] != ',') return false;
    }
  }

  const std::string& m_text;
  size_t m_pos = 0;
};

Json ParseJson(const std::string& text) {
  Json v;
  EXPECT_TRUE(JsonReader(text).Parse(v)) << "not valid JSON:\n" << text;
  return v;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// An error is one line on standard error that starts with the tool's prefix, and nothing on standard output.
void ExpectError(const Result& r, int code, const std::string& text = {}) {
  EXPECT_EQ(r.code, code) << r.out << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  const auto lines = Lines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].rfind("navconfig: error: ", 0), 0u) << r.err;
  if (!text.empty()) {
    EXPECT_TRUE(Contains(r.err, text)) << r.err;
  }
}

// Normal map data for NA below the working folder: grid files, cities and a version file.
void InstallMapData(const Installation& inst, const std::string& dataFormat = "8.0") {
  const std::string na = inst.Work() + "NA/";
  testsupport::MakeDirs(na + "data");
  testsupport::MakeDirs(na + "cities");
  WriteFile(na + "data/00000000.qd", "grid");
  WriteFile(na + "data/00000000.hsh", "grid");
  WriteFile(na + "data/version.dat", "Product Name: GRD_ORO.NA-US-7.2024.2\nData Version: 2024.2.1\nData Format: " +
                                         dataFormat + "\nGrid Data: NA-US\nLanguage: ENG\n");
  WriteFile(na + "cities/cities.inx", "c");
  WriteFile(na + "cities/cities.nms", "c");
}

}  // namespace

TEST(Tool, VersionHelpAndUsageErrors) {
  Installation inst;
  // Should a command set the library up after all, it finds the scratch folders.
  const Env env{{"NAVCONFIG_CONFIG_DIR", inst.Config()},
                {"NAVCONFIG_RUNTIME_DIR", inst.Runtime()},
                {"NAVCONFIG_HOME", inst / "home"}};
  auto RunTool = [&](const std::vector<std::string>& args, const std::string& cwd) {
    return ::RunTool(args, cwd, env);
  };
  Result r = RunTool({"--version"}, inst.Work());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::string("navconfig ") + NAVCONFIG_VERSION_STRING + "\n");

  r = RunTool({"--help"}, inst.Work());
  EXPECT_EQ(r.code, 0);
  for (const char* command : {"get", "set", "unset", "list", "defaults", "sections", "dirs", "status", "mapsets",
                              "version-string", "check", "--config-dir", "--runtime-dir", "--json"})
    EXPECT_TRUE(Contains(r.out, command)) << command;
  r = RunTool({"set", "--help"}, inst.Work());
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "--hex"));

  const std::string absent = inst / "absent";
  const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes{
      {{}, "a command is required"},
      {{"frobnicate"}, "unknown command 'frobnicate' (see navconfig --help)"},
      {{"gett", "Image", "KeepPercent"}, "unknown command 'gett'; did you mean 'get'?"},
      {{"--jsn", "get", "Image", "KeepPercent"}, "unknown option '--jsn'; did you mean '--json'?"},
      {{"get", "Image", "KeepPercent", "--orgin"}, "unknown option '--orgin'; did you mean '--origin'?"},
      {{"get", "Image"}, "KEY"},
      {{"get", "Image", "KeepPercent", "extra"}, "extra"},
      {{"set", "Image", "KeepPercent", "1", "--int", "--string"}, "excludes"},
      {{"--config-dir", absent, "get", "Image", "KeepPercent"}, "--config-dir: Directory does not exist: " + absent},
      {{"version-string", "a", "b", "c", "d"}, ""},
      {{"check"}, "FILE"},
  };
  for (const auto& [args, text] : mistakes) {
    SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
    ExpectError(RunTool(args, inst.Work()), 2, text);
    // With --json the error is also an object on standard output.
    std::vector<std::string> withJson = args;
    withJson.insert(withJson.begin(), "--json");
    r = RunTool(withJson, inst.Work());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    const Json j = ParseJson(r.out);
    ASSERT_EQ(j.members.size(), 1u) << r.out;
    EXPECT_TRUE(Contains(j["error"].s, text)) << r.out;
  }
  // A missing folder named by the variable is the same error as by the option.
  Env missing = env;
  missing[0].second = absent;
  ExpectError(::RunTool({"get", "Image", "KeepPercent"}, inst.Work(), missing), 2,
              "NAVCONFIG_CONFIG_DIR: Directory does not exist: " + absent);
  // None of these set the library up: nothing was written anywhere (on Windows neither beside config.dll).
  EXPECT_TRUE(fs::is_empty(inst.Work()));
  EXPECT_TRUE(fs::is_empty(inst.Config()));
  EXPECT_FALSE(testsupport::Exists(ToolDirectory() + "user.cfg"));
}

TEST(Tool, GetReadsTheLayersThenTheDefaultsAndTellsTheOrigin) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg",
            "[Image]\n\"KeepPercent\"=60\n\"AllowSquish\"=1\n[Styles]\n\"Theme\"=\"night\"\n");
  WriteFile(inst.Config() + "user_ro.cfg", "[Image]\n\"AllowSquish\"=3\n");
  WriteFile(inst.Config() + "user.cfg", "[DistanceCache]\n\"Size\"=0x00002710\n[Local]\n\"Note\"=\"hello\"\n");
  WriteFile(inst.Runtime() + "maps/coast.cfg", "[Image]\n\"KeepPercent\"=33\n");

  Result r = inst.Run({"get", "Image", "KeepPercent"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "60\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(inst.Run({"get", "Image", "KeepPercent", "--origin"}).out, "60  (product)\n");
  EXPECT_EQ(inst.Run({"get", "image", "ALLOWSQUISH", "--origin"}).out, "3  (user_ro)\n");
  EXPECT_EQ(inst.Run({"get", "Styles", "Theme", "--origin"}).out, "night  (product)\n");
  EXPECT_EQ(inst.Run({"get", "Version", "Major", "--origin"}).out, "8.0.0.0  (default)\n");
  // A value kept in hexadecimal is shown as the file holds it; a key without a default takes its layer's type.
  EXPECT_EQ(inst.Run({"get", "DistanceCache", "Size", "--origin"}).out, "0x00002710  (user)\n");
  EXPECT_EQ(inst.Run({"get", "Local", "Note", "--origin"}).out, "hello  (user)\n");

  // A full path reads that path only, without defaults; a map layer comes from the runtime's maps folder.
  EXPECT_EQ(inst.Run({"get", "product\\Image", "KeepPercent", "--origin"}).out, "60  (product)\n");
  EXPECT_EQ(inst.Run({"get", "coast\\Image", "KeepPercent", "--origin"}).out, "33  (coast)\n");
  ExpectError(inst.Run({"get", "user\\Image", "KeepPercent"}), 1, "user\\Image\\KeepPercent is not set");
  ExpectError(inst.Run({"get", "Image", "NoSuchKey"}), 1, "Image\\NoSuchKey is set in no layer and has no default\n");
  ExpectError(inst.Run({"get", "Imag", "KeepPercent"}), 1,
              "Imag\\KeepPercent is set in no layer and has no default; did you mean Image\\KeepPercent?");
  ExpectError(inst.Run({"get", "product\\Image", "KeepPrecent"}), 1, "did you mean product\\Image\\KeepPercent?");

  const Json j = ParseJson(inst.Run({"--json", "get", "Image", "KeepPercent"}).out);
  EXPECT_EQ(j["setting"].s, "Image\\KeepPercent");
  EXPECT_EQ(j["type"].s, "integer");
  EXPECT_EQ(j["value"].n, 60);
  EXPECT_EQ(j["origin"].s, "product");
  EXPECT_FALSE(j["otherType"].b);
  const Json s = ParseJson(inst.Run({"get", "Styles", "Theme", "--json"}).out);  // --json after the command
  EXPECT_EQ(s["type"].s, "string");
  EXPECT_EQ(s["value"].s, "night");
  const Json h = ParseJson(inst.Run({"get", "DistanceCache", "Size", "--json"}).out);
  EXPECT_EQ(h["value"].n, 10000);
  EXPECT_TRUE(h["hex"].b);
}

TEST(Tool, AValueOfTheOtherTypeHidesTheDefault) {
  // With user.cfg the only layer that has a file, its string hides the integer default: the read gives 0.
  Installation inst;
  WriteFile(inst.Config() + "user.cfg", "[Image]\n\"KeepPercent\"=\"many\"\n");
  Result r = inst.Run({"get", "Image", "KeepPercent", "--origin"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "0  (user, which holds a string: an integer read gives 0)\n");
  const Json j = ParseJson(inst.Run({"get", "Image", "KeepPercent", "--json"}).out);
  EXPECT_EQ(j["value"].n, 0);
  EXPECT_TRUE(j["otherType"].b);
  EXPECT_EQ(j["origin"].s, "user");

  // A later layer with a file that lacks the key lets the default through again, passing over the string.
  WriteFile(inst.Config() + "product.cfg", "[Other]\n\"A\"=1\n");
  EXPECT_EQ(inst.Run({"get", "Image", "KeepPercent", "--origin"}).out,
            "50  (default; user holds a string, which reads skip)\n");
  const Json skipped = ParseJson(inst.Run({"get", "Image", "KeepPercent", "--json"}).out);
  EXPECT_EQ(skipped["origin"].s, "default");
  ASSERT_EQ(skipped["skipped"].items.size(), 1u);
  EXPECT_EQ(skipped["skipped"][0].s, "user");
}

TEST(Tool, SetFollowsTheSettingsTypeAndSaysWhatItStored) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg", "[Image]\n\"KeepPercent\"=60\n");

  // Names are written as the catalogue spells them.
  Result r = inst.Run({"set", "image", "keeppercent", "70"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Image\\KeepPercent = 70  (user, written to " + inst.Config() + "user.cfg)\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(Contains(ReadFile(inst.Config() + "user.cfg"), "[Image]\n\"KeepPercent\"=70\n"));
  EXPECT_EQ(inst.Run({"get", "Image", "KeepPercent", "--origin"}).out, "70  (user)\n");
  EXPECT_EQ(inst.Run({"set", "Image", "KeepPercent", "70"}).out,
            "Image\\KeepPercent is already 70 in user; nothing changed\n");

  // Strings (which may hold '"', '=' and any UTF-8 character), negative numbers, hexadecimal (written with 0x
  // or forced) and forced types. A type that reads of the setting pass over is stored only through a full
  // path, with a warning.
  EXPECT_EQ(inst.Run({"set", "Styles", "Theme", "night \"sky\"=\xEF\xBC\xA1"}).code, 0);
  EXPECT_EQ(inst.Run({"get", "Styles", "Theme"}).out, "night \"sky\"=\xEF\xBC\xA1\n");
  EXPECT_EQ(inst.Run({"set", "Image", "KeepPercent", "-5"}).code, 0);
  EXPECT_EQ(inst.Run({"set", "DistanceCache", "Size", "0x2711"}).code, 0);
  EXPECT_EQ(inst.Run({"set", "Cache", "ForceStartupMemoryAvailKB", "ff", "--hex"}).code, 0);
  EXPECT_EQ(inst.Run({"set", "Local", "Count", "12", "--string"}).code, 0);
  r = inst.Run({"set", "user\\Image", "AllowSquish", "1", "--string"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.err, "navconfig: warning: user\\Image\\AllowSquish is an integer setting")) << r.err;
  std::string user = ReadFile(inst.Config() + "user.cfg");
  EXPECT_TRUE(Contains(user, "\"AllowSquish\"=\"1\"\n")) << user;
  // The type comes from the catalogue, not from the string that reads pass over.
  EXPECT_EQ(inst.Run({"set", "Image", "AllowSquish", "2"}).code, 0);
  EXPECT_EQ(inst.Run({"get", "Image", "AllowSquish"}).out, "2\n");
  user = ReadFile(inst.Config() + "user.cfg");
  EXPECT_TRUE(Contains(user, "\"Theme\"=\"night \"sky\"=\xEF\xBC\xA1\"\n")) << user;
  EXPECT_TRUE(Contains(user, "\"KeepPercent\"=-5\n")) << user;
  EXPECT_TRUE(Contains(user, "\"Size\"=0x00002711\n")) << user;
  EXPECT_TRUE(Contains(user, "\"ForceStartupMemoryAvailKB\"=0x000000ff\n")) << user;
  EXPECT_TRUE(Contains(user, "\"Count\"=\"12\"\n")) << user;
  EXPECT_TRUE(Contains(user, "\"AllowSquish\"=2\n")) << user;

  // A default is stored where product would give another value; where no layer holds the key, nothing is.
  ASSERT_EQ(inst.Run({"unset", "Image", "KeepPercent"}).code, 0);
  r = inst.Run({"set", "Image", "KeepPercent", "50"});
  EXPECT_EQ(r.out, "Image\\KeepPercent = 50  (user, written to " + inst.Config() + "user.cfg)\n");
  EXPECT_EQ(inst.Run({"get", "Image", "KeepPercent", "--origin"}).out, "50  (user)\n");
  const auto before = Snapshot(inst.Config());
  r = inst.Run({"set", "Version", "Major", "8.0.0.0"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Version\\Major: 8.0.0.0 is the built-in default; nothing needed storing\n");
  const Json j = ParseJson(inst.Run({"--json", "set", "Version", "Major", "8.0.0.0"}).out);
  EXPECT_FALSE(j["stored"].b);
  EXPECT_EQ(j["reason"].s, "default");
  EXPECT_EQ(j["file"].type, Json::Null);
  EXPECT_EQ(Snapshot(inst.Config()), before);

  // product, user_ro and layers without a file are written with --force; a key that no setting has takes the
  // type its text suggests.
  EXPECT_EQ(inst.Run({"set", "product\\Image", "KeepPercent", "61", "--force"}).code, 0);
  EXPECT_TRUE(Contains(ReadFile(inst.Config() + "product.cfg"), "\"KeepPercent\"=61\n"));
  EXPECT_EQ(inst.Run({"set", "usr\\Image", "KeepPercent", "1", "--force"}).code, 0);
  EXPECT_TRUE(Contains(ReadFile(inst.Config() + "usr.cfg"), "\"KeepPercent\"=1\n"));
  r = inst.Run({"set", "Image", "KeepPrecent", "12"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "navconfig: warning: Image\\KeepPrecent is not a known setting; did you mean Image\\KeepPercent?\n");
  EXPECT_EQ(inst.Run({"set", "Local", "Word", "hello"}).code, 0);
  // Names that the catalogue lacks keep the spelling that the layer holds.
  EXPECT_EQ(inst.Run({"set", "LOCAL", "word", "hi"}).out,
            "Local\\Word = hi  (user, written to " + inst.Config() + "user.cfg)\n");
  user = ReadFile(inst.Config() + "user.cfg");
  EXPECT_TRUE(Contains(user, "\"KeepPrecent\"=12\n")) << user;
  EXPECT_TRUE(Contains(user, "\"Word\"=\"hi\"\n") && !Contains(user, "[LOCAL]")) << user;

  const Json k = ParseJson(inst.Run({"--json", "set", "Image", "KeepPercent", "0x10"}).out);
  EXPECT_TRUE(k["stored"].b);
  EXPECT_EQ(k["value"].n, 16);
  EXPECT_TRUE(k["hex"].b);
  EXPECT_EQ(k["layer"].s, "user");
  EXPECT_EQ(k["file"].s, inst.Config() + "user.cfg");
}

TEST(Tool, EveryErrorLeavesTheFilesAsTheyWere) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg", "[Styles]\n\"Theme\"=\"night\"\n");
  ASSERT_EQ(inst.Run({"set", "Image", "KeepPercent", "70"}).code, 0);  // the first start is behind us
  const auto config = Snapshot(inst.Config());
  const auto work = Snapshot(inst.Work());

  const Result notANumber = inst.Run({"set", "Image", "KeepPercent", "abc"});
  EXPECT_EQ(notANumber.err, "navconfig: error: Image\\KeepPercent is an integer setting; 'abc' is not a number\n");
  ExpectError(notANumber, 2);
  struct Mistake {
    std::vector<std::string> args;
    int code;
    std::string text;
  };
  const std::vector<Mistake> mistakes{
      {{"set", "Image", "KeepPercent", "12abc"}, 2, "'12abc' is not a number"},
      {{"set", "Image", "KeepPercent", "4294967296"}, 2, "does not fit in 32 bits"},
      {{"set", "Image", "KeepPercent", "-2147483649"}, 2, "does not fit in 32 bits"},
      {{"set", "Styles", "Theme", "x", "--int"}, 2, "'x' is not a number"},
      {{"set", "Styles", "DayStyle", "12", "--int"}, 2,
       "Styles\\DayStyle is a string setting, and a string read passes over a value of the other type; to store one "
       "all the same, name the layer (user\\Styles)"},
      {{"set", "Styles", "Theme", "two\nlines"}, 2, "line break"},
      {{"set", "Sty[les", "Theme", "x"}, 2, "bracket"},
      {{"set", "Styles", "The\"me", "x"}, 2, "holds '\"', '=' or a line break"},
      {{"set", "Styles", "The=me", "x"}, 2, "holds '\"', '=' or a line break"},
      {{"set", "Styles", "\xEF\xBC\xA1", "x"}, 2, "starts with the byte 0xEE or 0xEF"},
      {{"set", "Styles", "", "x"}, 2, "key is empty"},
      {{"set", "..\\Image", "KeepPercent", "1"}, 2, "cannot name a file"},
      {{"set", "a/b\\Image", "KeepPercent", "1"}, 2, "cannot name a file"},
      {{"set", "user\\", "KeepPercent", "1"}, 2, "names a layer but no section"},
      {{"set", "Image", "KeepPercent"}, 2, ""},
      // The installation's layers and new layer files need --force.
      {{"set", "product\\Styles", "Theme", "x"}, 2,
       "'product' is a layer of the installation, which the application only reads; add --force to change "
       "product.cfg"},
      {{"set", "User_RO\\Image", "KeepPercent", "1"}, 2, "add --force to change user_ro.cfg"},
      {{"set", "usr\\Image", "KeepPercent", "1"}, 2,
       "no file holds the layer 'usr' yet (did you mean 'user'?); add --force to write " + inst.Config() + "usr.cfg"},
      {{"unset", "product\\Styles", "Theme"}, 2, "add --force to change product.cfg"},
      {{"unset", "Image", "Nothing"}, 1, "Image\\Nothing is set in no layer; nothing to remove"},
      {{"unset", "user\\Image", "AllowSquish", "--force"}, 1, "user\\Image\\AllowSquish is not set; nothing to remove"},
      {{"get", "Image", "Nothing"}, 1, ""},
      {{"defaults", "Imag"}, 1, "did you mean 'Image'?"},
      {{"list", "user\\Image"}, 2, ""},
      {{"version-string"}, 2, ""},
  };
  for (const Mistake& m : mistakes) {
    SCOPED_TRACE(m.args[0] + " " + m.args.back());
    ExpectError(inst.Run(m.args), m.code, m.text);
  }

  EXPECT_EQ(Snapshot(inst.Config()), config);
  EXPECT_EQ(Snapshot(inst.Work()), work);
}

TEST(Tool, AFailedSaveIsReportedAndChangesNoFile) {
  // user.cfg is a folder: the library reads nothing from it and no save can replace it, not even as root.
  Installation inst;
  testsupport::MakeDirs(inst.Config() + "user.cfg");
  WriteFile(inst.Config() + "product.cfg", "[Image]\n\"KeepPercent\"=60\n");
  const auto before = Snapshot(inst.Root());
  const Result r = inst.Run({"set", "Image", "KeepPercent", "70"});
  ExpectError(r, 1,
              "navconfig: error: could not save " + inst.Config() + "user.cfg: user.cfg is a directory, not a regular file");
  EXPECT_EQ(Snapshot(inst.Root()), before);
}

// Whatever else stands in place of user.cfg: get gives the default, set fails and says why, nothing waits on
// a FIFO and nothing is made outside the configuration folder.
TEST(Tool, AFifoOrALinkThatLeadsNowhereUsableIsNeitherWaitedOnNorReplaced) {
  if (testsupport::kWindows) GTEST_SKIP() << testsupport::kNoSpecialFiles;
  const std::pair<const char*, const char*> cases[] = {
      {"fifo", "user.cfg is a FIFO, not a regular file"},
      {"../outside/missing.cfg", "user.cfg is a symbolic link to a missing file"},
      {"../outside", "user.cfg is a symbolic link to a directory"},
  };
  for (const auto& [what, reason] : cases) {
    SCOPED_TRACE(what);
    Installation inst;
    const std::string user = inst.Config() + "user.cfg";
    testsupport::MakeDirs(inst / "outside");
    ASSERT_TRUE(std::string(what) == "fifo" ? testsupport::MakeFifo(user) : testsupport::MakeSymlink(what, user));
    const std::string kind = testsupport::KindAt(user);
    testsupport::FifoGuard guard(user);
    const Result got = inst.Run({"get", "Image", "KeepPercent"});
    EXPECT_EQ(got.code, 0) << got.err;
    EXPECT_EQ(got.out, "50\n");
    ExpectError(inst.Run({"set", "Image", "KeepPercent", "70"}), 1,
                "navconfig: error: could not save " + user + ": " + reason);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(testsupport::KindAt(user), kind);
    EXPECT_EQ(testsupport::Listing(inst / "outside"), std::vector<std::string>{});
  }
}

// A user.cfg that held what the library does not keep (here 64 KiB of random bytes) is kept as user.cfg.bak
// before it is replaced, and set says so.
TEST(Tool, SetTellsWhereTheDamagedFileIsKept) {
  Installation inst;
  std::string noise(65536, '\0');
  std::mt19937 random(5);
  for (char& c : noise) c = static_cast<char>(random());
  WriteFile(inst.Config() + "user.cfg", noise);
  const Result r = inst.Run({"set", "Image", "KeepPercent", "70"});
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string backup = inst.Config() + "user.cfg.bak";
  EXPECT_EQ(r.err, "navconfig: warning: " + inst.Config() +
                       "user.cfg held lines that the library does not keep; the previous file is saved as " + backup +
                       "\n");
  EXPECT_EQ(ReadFile(backup), noise);
  EXPECT_TRUE(Contains(ReadFile(inst.Config() + "user.cfg"), "[Image]\n\"KeepPercent\"=70\n"));
  // Said once: the file is the library's own now.
  EXPECT_EQ(inst.Run({"set", "Image", "KeepPercent", "71"}).err, "");
}

TEST(Tool, UnsetRemovesTheValueSoThatTheDefaultApplies) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg", "[Image]\n\"AllowSquish\"=1\n");
  ASSERT_EQ(inst.Run({"set", "Image", "KeepPercent", "70"}).code, 0);
  ASSERT_EQ(inst.Run({"set", "Image", "AllowSquish", "2"}).code, 0);

  Result r = inst.Run({"unset", "Image", "KeepPercent"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "removed Image\\KeepPercent from user; it reads 50  (default)\n");
  EXPECT_FALSE(Contains(ReadFile(inst.Config() + "user.cfg"), "KeepPercent"));
  EXPECT_EQ(inst.Run({"unset", "Image", "AllowSquish"}).out,
            "removed Image\\AllowSquish from user; it reads 1  (product)\n");

  // Nothing to remove from user while product holds the key is no error, and changes nothing.
  const auto before = Snapshot(inst.Config());
  r = inst.Run({"unset", "Image", "AllowSquish"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Image\\AllowSquish is not set in user; nothing to remove; it reads 1  (product)\n");
  EXPECT_EQ(Snapshot(inst.Config()), before);

  const Json j = ParseJson(inst.Run({"--json", "unset", "product\\Image", "AllowSquish", "--force"}).out);
  EXPECT_TRUE(j["removed"].b);
  EXPECT_EQ(j["layer"].s, "product");
  EXPECT_EQ(j["now"].type, Json::Null);
  EXPECT_FALSE(Contains(ReadFile(inst.Config() + "product.cfg"), "AllowSquish"));
}

// The tool beside a running application that has user.cfg in memory: the application's next save keeps what
// the tool saved, in the file and in the application's memory.
class ToolBesideApplication : public storetest::StoreTest {
 protected:
  Result Tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--config-dir", configDir, "--runtime-dir", runtimeDir});
    return RunTool(args, tmp.path(), {{"NAVCONFIG_HOME", homeDir}});
  }
};

TEST_F(ToolBesideApplication, TheApplicationsSaveKeepsWhatTheToolSetAndUnset) {
  Config_SetIntVal("Image", "AllowSquish", 3);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);
  ASSERT_EQ(Tool({"set", "GPS", "RouteWidthAdjPixel", "9"}).code, 0);
  ASSERT_EQ(Tool({"unset", "Image", "AllowSquish"}).code, 0);

  Config_SetIntVal("Image", "KeepPercent", 70);
  EXPECT_EQ(Block("user.cfg", "[GPS]"), "[GPS]\n\"RouteWidthAdjPixel\"=9\n\n");
  EXPECT_EQ(Block("user.cfg", "[Image]"), "[Image]\n\"KeepPercent\"=70\n\n");
  EXPECT_EQ(Config_GetIntVal("GPS", "RouteWidthAdjPixel"), 9);
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 70);
  EXPECT_FALSE(Config_DoesKeyExist("user\\Image", "AllowSquish"));
}

TEST(Tool, ListShowsTheSettingsInEffect) {
  Installation inst;
  WriteFile(inst.Config() + "product.cfg", "[Image]\n\"KeepPercent\"=60\n[Styles]\n\"Theme\"=\"night\"\n");
  WriteFile(inst.Config() + "user.cfg", "[Image]\n\"KeepPercent\"=70\n[Image\\Tiles]\n\"Depth\"=3\n");

  Result r = inst.Run({"list"});
  EXPECT_EQ(r.code, 0);
  const auto lines = Lines(r.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Image\\KeepPercent = 70  (user)"), lines.end()) << r.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Styles\\Theme = night  (product)"), lines.end()) << r.out;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "user\\Image\\Tiles\\Depth = 3  (user)"), lines.end()) << r.out;
  // Each setting once, although two layers hold it; no defaults without --all.
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return Contains(l, "KeepPercent"); }), 1);
  EXPECT_FALSE(Contains(r.out, "(default)"));

  EXPECT_EQ(inst.Run({"list", "styles"}).out, "Styles\\Theme = night  (product)\n");
  r = inst.Run({"list", "Image", "--all"});
  EXPECT_EQ(r.out,
            "Image\\AllowSquish = 0  (default)\nImage\\KeepPercent = 70  (user)\n"
            "user\\Image\\Tiles\\Depth = 3  (user)\n");

  const Json all = ParseJson(inst.Run({"list", "--all", "--json"}).out);
  ASSERT_EQ(all.type, Json::Array);
  EXPECT_GE(all.items.size(), 1243u);
  size_t defaults = 0;
  for (const Json& item : all.items) defaults += item["origin"].s == "default";
  EXPECT_GE(defaults, 1243u - 30);
}

TEST(Tool, DefaultsAndSectionsShowTheCatalogue) {
  Installation inst;
  Result r = inst.Run({"sections"});
  EXPECT_EQ(r.code, 0);
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 110u);
  EXPECT_EQ(lines.back(), "109 sections, 1243 settings");
  EXPECT_EQ(lines[0].substr(0, 13), "DistanceCache");
  const Json s = ParseJson(inst.Run({"sections", "--json"}).out);
  EXPECT_EQ(s["sections"].items.size(), 109u);
  EXPECT_EQ(s["settings"].n, 1243);
  long long sum = 0;
  for (const Json& section : s["sections"].items) sum += section["settings"].n;
  EXPECT_EQ(sum, 1243);

  EXPECT_EQ(inst.Run({"defaults", "image"}).out,
            "Image\\KeepPercent = 50  (integer)\nImage\\AllowSquish = 0  (integer)\n");
  EXPECT_EQ(Lines(inst.Run({"defaults"}).out).size(), 1243u);
  // The priority table wins over the main table; where they differ, the tool says which value is never read.
  r = inst.Run({"defaults", "DensityLevels"});
  EXPECT_TRUE(Contains(r.out,
                       "DensityLevels\\DrawGridLevelNetwork1 = 3  (integer, priority table; the main table's 4 "
                       "is never read)\n"))
      << r.out;
  const Json d = ParseJson(inst.Run({"--json", "defaults", "ZoomLevels"}).out);
  ASSERT_EQ(d.items.size(), 12u);
  EXPECT_TRUE(d[0]["priority"].b);
  EXPECT_EQ(d[0]["setting"].s, "ZoomLevels\\Level01");
  EXPECT_EQ(d[0]["value"].n, 50000);

  // Memory-dependent defaults follow the memory level.
  const auto low = inst.Run({"defaults", "File Policies", "--json"}, {{"NAVCONFIG_MEMORY_LEVEL", "2"}});
  const auto high = inst.Run({"defaults", "File Policies", "--json"}, {{"NAVCONFIG_MEMORY_LEVEL", "5"}});
  const Json lj = ParseJson(low.out), hj = ParseJson(high.out);
  size_t memoryDependent = 0;
  for (size_t i = 0; i < lj.items.size(); ++i) {
    if (!lj[i]["memoryDependent"].b) continue;
    ++memoryDependent;
    EXPECT_EQ(lj[i]["value"].n, 1);
    EXPECT_EQ(hj[i]["value"].n, 0);
  }
  EXPECT_GT(memoryDependent, 0u);
  // The catalogue commands do not set the library up: no file appears.
  EXPECT_TRUE(fs::is_empty(inst.Config()));
  EXPECT_FALSE(testsupport::Exists(inst.Runtime() + "user.cfg"));
}

TEST(Tool, DirsAndStatusShowWhatTheFirstStartFound) {
  using testsupport::Native;
  Installation inst;
  InstallMapData(inst);
  // Stored paths are relative to the current folder; each is shown with its absolute form.
  const std::string base = inst.Work().substr(0, inst.Work().size() - 1);
  Result r = inst.Run({"status"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "Data status:        DATA_FOUND_NORMAL")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Grid directory:     " + Native("./NA/data/") + "  (" + (inst / "work/NA/data/") + ")\n"))
      << r.out;
  EXPECT_TRUE(Contains(r.out, "  Product Name:     GRD_ORO.NA-US-7.2024.2\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "  Map ID:           7\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "First run:          yes\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Paths relative to:  " + base + "  (the current folder)\n")) << r.out;

  const Json st = ParseJson(inst.Run({"status", "--json"}).out);
  EXPECT_EQ(st["status"].s, "DATA_FOUND_NORMAL");
  EXPECT_EQ(st["revision"].n, 1);
  EXPECT_EQ(st["softwareVersion"].s, "8.0.0.0");
  EXPECT_EQ(st["dataRegion"].s, "NA");
  EXPECT_EQ(st["versionFile"]["dataFormat"].s, "8.0");
  EXPECT_EQ(st["versionFile"]["file"].s, Native("./NA/data/version.dat"));
  EXPECT_EQ(st["versionFile"]["fileAbsolute"].s, inst / "work/NA/data/version.dat");
  EXPECT_EQ(st["gridAbsolute"].s, inst / "work/NA/data/");
  EXPECT_EQ(st["base"].s, base);
  EXPECT_EQ(st["versionFile"]["mapId"].n, 7);
  // Showing the status does not use up the first-run flag.
  EXPECT_TRUE(st["firstRun"].b);
  EXPECT_FALSE(Contains(ReadFile(inst.Config() + "user.cfg"), "DrivoraOutOfBoxFirstRun"));

  r = inst.Run({"dirs"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "Configuration directory: " + inst.Config() + "\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Runtime directory:       " + inst.Runtime() + "\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Paths relative to:       " + base + "  (the current folder)\n")) << r.out;
  const std::string gridRow = "\nLRGridDir             " + Native("./NA/data") + "  (" + (inst / "work/NA/data") + ")";
  EXPECT_TRUE(Contains(r.out, gridRow)) << r.out;
  const Json d = ParseJson(inst.Run({"--json", "dirs"}).out);
  EXPECT_EQ(d["configDir"].s, inst.Config());
  EXPECT_EQ(d["base"].s, base);
  std::map<std::string, const Json*> byName;
  for (const Json& item : d["directories"].items) byName[item["name"].s] = &item;
  EXPECT_EQ(byName.size(), 28u);
  const Json& grid = *byName.at("LRGridDir");
  EXPECT_EQ(grid["value"].s, Native("./NA/data"));
  EXPECT_EQ(grid["absolute"].s, inst / "work/NA/data");
  EXPECT_TRUE(grid["valid"].b);
  EXPECT_EQ(grid["requiredFiles"].items.size(), 2u);
  EXPECT_TRUE((*byName.at("CitiesDir"))["valid"].b);
  EXPECT_FALSE((*byName.at("PolyDir"))["exists"].b);  // set beside the grid, but not installed
  EXPECT_FALSE((*byName.at("PolyDir"))["valid"].b);
  EXPECT_FALSE((*byName.at("AudioDir"))["set"].b);
  EXPECT_EQ((*byName.at("RegionDir"))["kind"].s, "region");

  // A grid without its hash file is no data; a data format of another major version is a mismatch.
  fs::remove(inst.Work() + "NA/data/00000000.hsh");
  EXPECT_EQ(ParseJson(inst.Run({"status", "--json"}).out)["status"].s, "DATA_NOT_FOUND_STICTHING_OFF");
  const Json lacking = ParseJson(inst.Run({"dirs", "--json"}).out);
  for (const Json& item : lacking["directories"].items) {
    if (item["name"].s != "LRGridDir") continue;
    ASSERT_EQ(item["missingFiles"].items.size(), 1u);
    EXPECT_EQ(item["missingFiles"][0].s, "00000000.hsh");
  }
  Installation other;
  InstallMapData(other, "9");
  EXPECT_TRUE(Contains(other.Run({"status"}).out, "DATA_FOUND_SWVERSION_MISMATCH"));
}

TEST(Tool, MapsetsListsTheSetsWithTheirMapIdsAndChxFiles) {
  Installation inst;
  const std::string maps = inst / "maps/";
  for (const char* dir : {"NA/data", "EU/data", "EU/polygons", "OC/data"}) testsupport::MakeDirs(maps + dir);
  WriteFile(maps + "NA/data/a.cgd", "x");
  WriteFile(maps + "NA/data/a.chx", "x");
  WriteFile(maps + "NA/data/b.chx", "x");  // no b.cgd beside it: not a CHX file of the set
  WriteFile(maps + "NA/data/version.dat", "Product Name: GRD_NAVTEQ.NA-US-12.2011.3\n");
  WriteFile(maps + "EU/data/e.cgd", "x");  // no version.dat: no map ID
  WriteFile(maps + "EU/polygons/p.cgd", "x");
  WriteFile(maps + "OC/data/readme.txt", "x");  // no .cgd file: no map set

  Result r = inst.Run({"mapsets", maps});
  EXPECT_EQ(r.code, 0) << r.err;
  using testsupport::Native;
  EXPECT_EQ(r.out, "MAP ID  NAME  PATH" + std::string(maps.size() + 8 - 4 + 2, ' ') +
                       "CHX FILES\n"
                       "-       EU    " +
                       Native(maps + "EU/data/") +
                       "  -\n"
                       "12      NA    " +
                       Native(maps + "NA/data/") + "  " + Native(maps + "NA/data/a.chx") +
                       "\n"
                       "2 map sets\n");
  const Json j = ParseJson(inst.Run({"--json", "mapsets", maps, "--type", "polygons"}).out);
  ASSERT_EQ(j.items.size(), 1u);
  EXPECT_EQ(j[0]["name"].s, "EU");
  EXPECT_EQ(j[0]["path"].s, Native(maps + "EU/polygons/"));
  EXPECT_EQ(j[0]["mapId"].n, -1);
  EXPECT_EQ(j[0]["chxFiles"].items.size(), 0u);

  // The folder itself counts too; a kind that has no sets is no error.
  const Json self = ParseJson(inst.Run({"--json", "mapsets", maps + "NA/data"}).out);
  ASSERT_EQ(self.items.size(), 1u);
  EXPECT_EQ(self[0]["mapId"].n, 12);
  EXPECT_EQ(inst.Run({"mapsets", maps, "--type", "tmc"}).out, "no map sets of the kind tmc at or under " + maps + "\n");
  ExpectError(inst.Run({"mapsets", maps, "--type", "roads"}), 2, "roads");
  ExpectError(inst.Run({"mapsets", inst / "absent"}), 2, "absent");
}

TEST(Tool, VersionStringTakesTheTextApart) {
  Installation inst;
  Result r = inst.Run({"version-string", "GRD_NAVTEQ.EU-DE-12.2011.3", "9.1", "7"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "Provider:           GRD_NAVTEQ  (code 2)\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Region:             EU-DE-12  (main EU, sub-region DE, map ID 12)\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Software version:   9\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Version string:     7.1.1.1  (short 7.1.1)\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Data version:       GRD_NAVTEQ.EU-DE-12.2011.3.7.1.1.1\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Valid:              yes\n")) << r.out;

  const Json j = ParseJson(inst.Run({"--json", "version-string", "GRD_NT.NA.2020.1.4", "8"}).out);
  EXPECT_EQ(j["provider"].s, "GRD_NT");
  EXPECT_EQ(j["providerCode"].n, 2);
  EXPECT_EQ(j["yearNumber"].n, 2020);
  EXPECT_EQ(j["gridRevision"].s, "4");
  EXPECT_EQ(j["regionId"].n, -1);
  EXPECT_EQ(j["formatted"]["gridData"].s, "GRD_NT.NA.2020.1.4");
  EXPECT_TRUE(j["valid"].b);

  r = inst.Run({"version-string", "GRD_XYZ.EU.2011.3"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Contains(r.out, "(code 0: unknown provider)"));
  EXPECT_TRUE(Contains(r.out, "Valid:              no"));
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(fs::is_empty(inst.Config()));
}

TEST(Tool, CheckReportsEveryLineTheReaderIgnoresOrCuts) {
  Installation inst;
  const std::string longValue = "a=\"b\" " + std::string(254, 'x');
  const std::string file = inst / "flawed.cfg";
  WriteFile(file,
            "\xEF\xBB\xBF; comment\n"        // 1 a byte order mark
            "\"Orphan\"=1\n"                 // 2 before any section
            "[Image]\n"                      // 3
            "\"KeepPercent\" = 60\n"         // 4 blank before '='
            "\"AllowSquish=1\n"              // 5 no closing quote
            "\"KeepPrecent\"=60\n"           // 6 unknown key
            "\"AllowSquish\"=yes\n"          // 7 neither string nor number
            "\"KeepPercent\"=062\n"          // 8 octal, equal to the default
            "[]\n"                           // 9 header without a name
            "\"KeepPercent\"=\"sixty\"\n"    // 10 duplicate, string for an integer
            "[Styles]\n"                     // 11
            "\"Theme\"=\"16bit\"\n"          // 12 the default
            "\"DayStyle\"=\"day\xEF\xBC\xA1\n"   // 13 no closing '"': cut at 0xEF
            "\"NightStyle\"=\"" +
                longValue +
                "\"\n"                             // 14 over 255 bytes; '=' and '"' inside are read
                "\"UIStyle\"=\"plain\" ; note\n"   // 15 text after the value
                "\"Night\xEF\xBC\xA1\"=\"x\"\n");  // 16 a UTF-8 character in the name
  Result r = inst.Run({"check", file});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::pair<int, std::string>> expected{
      {1,
       "note: the file starts with a UTF-8 byte order mark (EF BB BF); the reader skips it, but readers of earlier "
       "versions lose the first line to it"},
      {2, "error: value of 'Orphan' before any section header; the reader does not store it"},
      {4, "error: '=' must follow the key's closing quote directly (no blank); the reader ignores the line"},
      {5, "error: the key name has no closing quote (or is empty); the reader ignores the line"},
      {6, "warning: Image\\KeepPrecent is not a known setting; did you mean Image\\KeepPercent?"},
      {7, "error: the value is neither a quoted string nor a number; the reader ignores the line"},
      {8, "warning: '062' starts with 0 and is read as octal: 50"},
      {8, "note: Image\\KeepPercent = 50 is its built-in default"},
      {9, "error: section header without a name; the reader ignores it, so the values below it join [Image]"},
      {10, "warning: Image\\KeepPercent is set again (first on line 8); the reader keeps this later value"},
      {10,
       "warning: Image\\KeepPercent is an integer setting, but this value is a string; an integer read does not "
       "take it"},
      {12, "note: Styles\\Theme = \"16bit\" is its built-in default"},
      {13,
       "error: the string of Styles\\DayStyle has no closing '\"' and stops at the byte \\xEF (part of a UTF-8 "
       "character), which the reader takes as a quote; it drops '\\xBC\\xA1'"},
      {14, "warning: line of 275 bytes; older readers cut lines after 255 bytes (this library reads it whole)"},
      {15, "error: the reader drops ' ; note' after the value of Styles\\UIStyle"},
      {16, "warning: Styles\\Night\\xEF\\xBC\\xA1 is not a known setting"},
  };
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), expected.size() + 1) << r.out;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[i], file + ":" + std::to_string(expected[i].first) + ": " + expected[i].second);
  EXPECT_EQ(lines.back(), "16 findings in 1 file");

  const Json j = ParseJson(inst.Run({"--json", "check", file}).out);
  EXPECT_EQ(j["findings"].n, 16);
  const Json& findings = j["files"][0]["findings"];
  std::vector<std::string> kinds;
  for (const Json& f : findings.items) kinds.push_back(f["kind"].s);
  EXPECT_EQ(kinds, (std::vector<std::string>{"byte-order-mark", "before-section", "blank-before-assign",
                                             "no-closing-quote", "unknown-key", "bad-value", "octal", "default-value",
                                             "header-no-name", "duplicate-key", "type-mismatch", "default-value",
                                             "cut-value", "long-line", "dropped-text", "unknown-key"}));
  EXPECT_EQ(findings[0]["severity"].s, "note");
  EXPECT_EQ(findings[4]["suggestion"].s, "Image\\KeepPercent");
  EXPECT_EQ(j["files"][0]["lines"].n, 16);
  // check reads the files named and touches nothing else.
  EXPECT_TRUE(fs::is_empty(inst.Config()));
  EXPECT_TRUE(fs::is_empty(inst.Work()));
}

TEST(Tool, CheckCountsLinesAsAnEditorDoes) {
  Installation inst;
  const std::string crlf = inst / "crlf.cfg";
  WriteFile(crlf, "[Image]\r\n\"KeepPercent\"=70\r\n\"Bad\" =1\r\n");
  Result r = inst.Run({"check", crlf});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.out)[0], crlf +
                                 ":3: error: '=' must follow the key's closing quote directly (no blank); the "
                                 "reader ignores the line");

  // A NUL byte ends the reader's line: what follows it is read as a line of its own.
  const std::string nul = inst / "nulbyte.cfg";  // "nul.cfg" would be the NUL device on Windows
  const char text[] = "[Image]\n\"KeepPercent\"=70\0\"AllowSquish\"=2\n";
  WriteFile(nul, std::string(text, sizeof text - 1));
  r = inst.Run({"check", nul});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, nul +
                       ":2: error: NUL byte: the reader ends the line there and reads the rest as a new line\n1 "
                       "finding in 1 file\n");

  const std::string clean = inst / "clean.cfg";
  WriteFile(clean, "; the product's settings\n[Image]\n\"KeepPercent\"=70\n\n[Styles]\n\"Theme\"=\"night\"\n");
  r = inst.Run({"check", clean, crlf});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.out).back(), "1 finding in 2 files");
  r = inst.Run({"check", clean});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "no findings in 1 file\n");

  // "-" reads standard input. A file that cannot be read (missing, a folder) is one error and no report.
  r = inst.Run({"check", "-"}, {}, "[Image]\r\n\"Bad\" =1\r\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.out)[0], "-:2: error: '=' must follow the key's closing quote directly (no blank); the reader "
                             "ignores the line");
  ExpectError(inst.Run({"check", inst / "absent.cfg", clean}), 2,
              "navconfig: error: cannot read " + (inst / "absent.cfg") + ": No such file or directory");
  ExpectError(inst.Run({"check", clean, inst.Work()}), 2, "cannot read " + inst.Work() + ": it is a folder");
}

TEST(Tool, JsonOutputEscapesWhatTheFilesHold) {
  // A .cfg value may hold any byte but a line end: backslashes, tabs, control bytes and bytes that are not
  // UTF-8 come out as valid JSON.
  Installation inst;
  WriteFile(inst.Config() + "user.cfg", "[Local]\n\"Path\"=\"C:\\maps\\na\ttab\x01\xC3 end\"\n");
  const Result r = inst.Run({"--json", "get", "Local", "Path"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(Contains(r.out, "\"C:\\\\maps\\\\na\\ttab\\u0001\\ufffd end\"")) << r.out;
  const Json j = ParseJson(r.out);
  EXPECT_EQ(j["value"].s, "C:\\maps\\na\ttab\x01\xEF\xBF\xBD end");
  const Json list = ParseJson(inst.Run({"--json", "list"}).out);
  EXPECT_EQ(list.type, Json::Array);
}
