// The navconfig command-line tool, end to end: the built program runs on scratch installations (configuration,
// runtime, home and working folders of its own), and its output, exit codes and the files it leaves are checked.
// What the library reads, merges and stores is tested on the library; here only what the tool makes of it. Most
// commands run from transcripts in tests/data/tool (get.txt says how they read), on files copied from there.
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

#include "support/file_kinds.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

using Result = testsupport::ProgramResult;
using Args = std::vector<std::string>;
using Env = std::vector<std::pair<std::string, std::string>>;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string DataFile(const std::string& name) {
  const char* data = std::getenv("NAVCONFIG_TEST_DATA");
  return testsupport::JoinPath(data ? data : "tests/data", "tool/" + name);
}

// Runs the tool in a working folder, its standard input reading input. The library's variables are removed from
// its environment unless env gives them. Windows ends console lines with CR LF; they come back as LF.
Result RunTool(const Args& args, const std::string& cwd, const Env& env = {}, const std::string& input = {}) {
  Result r = testsupport::RunProgram(NAVCONFIG_TOOL_PATH, args, cwd,
                                     {"NAVCONFIG_CONFIG_DIR", "NAVCONFIG_RUNTIME_DIR", "NAVCONFIG_HOME",
                                      "NAVCONFIG_SYSTEM_CONFIG_DIR", "NAVCONFIG_LOG", "NAVCONFIG_LOG_SWITCHES",
                                      "NAVCONFIG_MEMORY_LEVEL"},
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
  return out.empty() ? out : out + '\n';
}

// Whether the text matches the pattern, in which {*} stands for any text on its line.
bool Matches(const std::string& text, const std::string& pattern) {
  const size_t star = pattern.find("{*}");
  if (star == std::string::npos || text.compare(0, star, pattern, 0, star) != 0) return text == pattern;
  for (size_t at = star; at <= text.size(); ++at) {
    if (Matches(text.substr(at), pattern.substr(star + 3))) return true;
    if (at < text.size() && text[at] == '\n') return false;
  }
  return false;
}

// The exit code, standard output and standard error of a run, in one text.
std::string Outcome(const Result& r) { return std::to_string(r.code) + " " + r.out + r.err; }

// A scratch installation: config/, runtime/ (map layers in runtime/maps/), home/, the system's read-only layers in
// system/ and the working folder work/, where the library looks for map data at its first start; a tree of the
// test data copied in.
class Installation {
 public:
  explicit Installation(const std::string& tree = {}) {
    for (const char* d : {"config", "runtime/maps", "home", "work"}) testsupport::MakeDirs(m_dir / d);
    if (tree.empty()) return;
    // Names in UTF-8, as the helpers take them (some are not ASCII, which Windows' narrow names cannot hold).
    auto utf8 = [](const std::u8string& text) { return std::string(text.begin(), text.end()); };
    const fs::path from = DataFile(tree);
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
      const std::string to = m_dir / utf8(fs::relative(entry.path(), from).generic_u8string());
      if (entry.is_directory()) testsupport::MakeDirs(to);
      else WriteFile(to, ReadFile(utf8(entry.path().u8string())));
    }
  }
  std::string Config() const { return m_dir / "config/"; }
  std::string Work() const { return m_dir / "work/"; }
  std::string operator/(const std::string& name) const { return m_dir / name; }

  // The arguments after the installation's folders, but for those that the arguments name themselves.
  Args WithFolders(Args args) const {
    auto names = [&](const char* option) { return std::find(args.begin(), args.end(), option) != args.end(); };
    if (!names("--runtime-dir")) args.insert(args.begin(), {"--runtime-dir", m_dir / "runtime/"});
    if (!names("--config-dir")) args.insert(args.begin(), {"--config-dir", Config()});
    return args;
  }
  Result Run(const Args& args, const std::string& input = {}) const {
    return RunTool(WithFolders(args), Work(),
                   {{"NAVCONFIG_HOME", m_dir / "home"}, {"NAVCONFIG_SYSTEM_CONFIG_DIR", m_dir / "system/"}}, input);
  }
  // The marks of a transcript: {C}, {W} and {I} the configuration, working and installation folders, {/} the
  // platform's separator (as JSON writes them with json), {LF} and {CR} line breaks.
  std::string Expand(std::string text, bool json) const {
    const std::pair<const char*, std::string> marks[] = {
        {"{C}", Config()}, {"{W}", Work()}, {"{I}", m_dir.path()}, {"{/}", {testsupport::kSeparator}},
        {"{LF}", "\n"},    {"{CR}", "\r"}};
    for (const auto& [mark, value] : marks) text = Replaced(text, mark, json ? Replaced(value, "\\", "\\\\") : value);
    return text;
  }

  // Runs the transcript: for each command a line "$ ARGS" ('quoted' text is one argument), then "< " and the text
  // of its standard input, the lines of its standard output (with --json on one line, see Flat; {*} for any text
  // on its line), "! " and a line of its standard error, and "? CODE" when it does not exit with 0. Lines that
  // start with '#' are left out.
  void RunTranscript(const std::string& name) const {
    std::istringstream in(ReadFile(DataFile(name)));
    struct Case {
      Args args;
      std::string input, out, err;
      int code = 0;
    };
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("$")) {
        cases.emplace_back();
        for (size_t at = 1; (at = line.find_first_not_of(' ', at)) != std::string::npos;) {
          const bool quoted = line[at] == '\'';
          const size_t end = std::min(line.find(quoted ? '\'' : ' ', at + quoted), line.size());
          cases.back().args.push_back(Expand(line.substr(at + quoted, end - at - quoted), false));
          at = end + quoted;
        }
      } else if (line.starts_with("< ")) {
        cases.back().input = Expand(line.substr(2), false);
      } else if (line.starts_with("! ")) {
        cases.back().err += line.substr(2) + '\n';
      } else if (line.starts_with("? ")) {
        cases.back().code = std::stoi(line.substr(2));
      } else if (!line.starts_with("#")) {
        cases.back().out += line + '\n';
      }
    }
    ASSERT_GT(cases.size(), 1u) << name;
    for (const Case& c : cases) {
      SCOPED_TRACE(name + ": " + ::testing::PrintToString(c.args));
      const bool json = std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
      const Result r = Run(c.args, c.input);
      EXPECT_EQ(r.code, c.code);
      const std::string out = json ? Flat(r.out) : r.out, expected = Expand(c.out, json);
      EXPECT_TRUE(Matches(out, expected)) << out << "does not match\n" << expected;
      EXPECT_EQ(r.err, Expand(c.err, false));
    }
  }

 private:
  testsupport::TempDir m_dir;
};

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
  EXPECT_EQ(Outcome(inst.Run({"--version"})), std::string("0 navconfig ") + NAVCONFIG_VERSION_STRING + "\n");
  EXPECT_TRUE(inst.Run({"set", "--help"}).out.starts_with("store a value in the user layer"));
  inst.RunTranscript("usage.txt");
  // A folder named by a variable that does not exist, as one named by the option (in usage.txt).
  const std::string absent = inst / "absent";
  const Env env{{"NAVCONFIG_CONFIG_DIR", absent}, {"NAVCONFIG_HOME", inst / "home"}};
  EXPECT_EQ(Outcome(RunTool({"dirs"}, inst.Work(), env)),
            "2 navconfig: error: NAVCONFIG_CONFIG_DIR: Directory does not exist: " + absent + "\n");
  EXPECT_EQ(RunTool({"defaults", "Image"}, inst.Work(), env).code, 0);  // which does not need the folder

  // The sections of the catalogue with their sizes, which add up to the settings that defaults lists.
  Result r = inst.Run({"sections"});
  size_t lines = 0, sum = 0;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line) && !line.ends_with(" settings"); ++lines)
    sum += std::stoul(line.substr(line.rfind(' ') + 1));
  EXPECT_TRUE(r.out.starts_with("DistanceCache           1\nImage                   2\n") &&
              r.out.ends_with(std::to_string(lines) + " sections, " + std::to_string(sum) + " settings\n"))
      << r.out;
  r = inst.Run({"defaults"});
  EXPECT_EQ(static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')), sum);
  EXPECT_NE(r.out.find("  (integer, follows the memory level)\n"), std::string::npos);

  // None of these set the library up: nothing was written anywhere (on Windows neither beside config.dll).
  EXPECT_TRUE(fs::is_empty(inst.Work()) && fs::is_empty(inst.Config()));
  const std::string toolDir = fs::path(NAVCONFIG_TOOL_PATH).parent_path().string();
  EXPECT_FALSE(testsupport::Exists(testsupport::JoinPath(toolDir, "user.cfg")));
}

TEST(Tool, GetAndListShowTheValueInEffectAndWhereItComesFrom) { Installation("layers").RunTranscript("get.txt"); }

TEST(Tool, SetAndUnsetSayWhatTheyStoredOrRemoved) {
  Installation inst("set");
  inst.RunTranscript("set.txt");
  EXPECT_FALSE(testsupport::Exists(inst.Config() + "user.cfg.bak"));
}

TEST(Tool, ImportExportAndResetChangeALayerAsOneSetAndGetShowsEveryLayersValue) {
  Installation("changes").RunTranscript("changes.txt");
}

// An export read back by import changes nothing, gives the same values in another installation, and a damaged
// text changes no file at all.
TEST(Tool, AnExportImportedAnywhereGivesTheSameValuesAndADamagedTextChangesNothing) {
  Installation inst("changes"), other("changes");
  testsupport::RemoveAll(other.Config() + "user.cfg");
  const Result exported = inst.Run({"export"});
  EXPECT_EQ(Outcome(inst.Run({"import", "--replace", "-"}, exported.out)),
            "0 0 added, 0 changed, 0 removed (user holds the text's values already)\n");
  ASSERT_EQ(other.Run({"import", "--replace", "-"}, exported.out).code, 0);
  // The user layer holds no value equal to its default that no other layer holds: reads give the default.
  EXPECT_EQ(other.Run({"export"}).out, Replaced(exported.out, "\"AllowSquish\"=0\n", ""));
  EXPECT_EQ(other.Run({"export", "--effective"}).out, inst.Run({"export", "--effective"}).out);
  const auto before = Snapshot(inst / "");
  EXPECT_EQ(inst.Run({"import", "--replace", "damaged.cfg"}).code, 2);
  EXPECT_EQ(Snapshot(inst / ""), before);
}

TEST(Tool, ErrorsLeaveEveryFileAsItWas) {
  Installation inst("errors");
  ASSERT_EQ(inst.Run({"set", "Image", "KeepPercent", "70"}).code, 0);  // the first start is behind us
  const auto before = Snapshot(inst / "");
  inst.RunTranscript("errors.txt");
  EXPECT_EQ(Snapshot(inst / ""), before);
}

// Whatever stands in place of user.cfg (the library's reasons, links included, are tested on the library): get
// gives the default and says why (so do export and list), set fails and says why, nothing waits on a FIFO and
// what stood there stays.
TEST(Tool, WhatStandsInPlaceOfUserCfgIsNeitherWaitedOnNorReplaced) {
  for (const std::string what : {"directory", "FIFO"}) {
    SCOPED_TRACE(what);
    if (testsupport::kWindows && what == "FIFO") continue;  // kNoPosixFileKinds
    Installation inst;
    const std::string user = inst.Config() + "user.cfg";
    if (what == "FIFO") ASSERT_TRUE(testsupport::MakeFifo(user));
    else testsupport::MakeDirs(user);
    testsupport::FifoGuard guard(user);
    const std::string warning = user + " is a " + what + ", not a regular file; reads take nothing from it\n";
    EXPECT_EQ(Outcome(inst.Run({"get", "Image", "KeepPercent"})), "0 50\nnavconfig: warning: " + warning);
    for (const char* command : {"export", "list", "dirs", "status"})  // which show what memory holds, or the files
      EXPECT_EQ(inst.Run({command}).err, "navconfig: warning: " + warning) << command;
    const auto before = Snapshot(inst / "");
    EXPECT_EQ(Outcome(inst.Run({"set", "Image", "KeepPercent", "70"})),
              "1 navconfig: error: could not save " + user + ": user.cfg is a " + what + ", not a regular file\n");
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(Snapshot(inst / ""), before);
  }
  // A link to nothing: the commands that name the layers' files say so.
  Installation dangling;
  const std::string link = dangling.Config() + "user.cfg", says = "navconfig: warning: " + link +
      " is a symbolic link to a missing file; reads take nothing from it, and saves fail\n";
  EXPECT_EQ(testsupport::MakeSymlink("missing.cfg", link) ? dangling.Run({"dirs"}).err : says, says);
  // A file that is no text (UTF-16, as some editors save) is set aside by the first start's save: a read says where.
  Installation inst;
  const std::string user = inst.Config() + "user.cfg";
  testsupport::WriteFile(user, std::string("[\0I\0m\0a\0g\0e\0]\0\n\0", 16));
  EXPECT_EQ(Outcome(inst.Run({"get", "Image", "KeepPercent"})),
            "0 50\nnavconfig: warning: " + user + " was no text file; the previous file is saved as " + user + ".bak\n");
  // So does an import whose save sets one aside.
  const std::string product = inst.Config() + "product.cfg";
  testsupport::WriteFile(product, std::string("\0", 1));
  EXPECT_EQ(Outcome(inst.Run({"import", "--layer", "product", "--force", "-"}, "[Image]\n\"KeepPercent\"=60\n")),
            "0 + Image\\KeepPercent = 60\n1 added, 0 changed, 0 removed (product, written to " + product +
                ")\nnavconfig: warning: " + product + " was no text file; the previous file is saved as " + product +
                ".bak\n");
}

// The read-only layers of the system's configuration folder (POSIX only) are read where the configuration folder
// has none, and never written.
TEST(Tool, TheSystemsLayersAreReadWhereTheUsersFolderHasNone) {
  if (testsupport::kWindows) GTEST_SKIP() << "Windows has no system configuration folder";
  Installation inst("system");
  inst.RunTranscript("system.txt");
  EXPECT_EQ(ReadFile(inst / "system/product.cfg"), ReadFile(DataFile("system/system/product.cfg")));
}

TEST(Tool, StatusDirsAndMapsetsShowTheDataWithAbsolutePaths) {
  Installation inst("mapdata");
  inst.RunTranscript("data.txt");
  // Showing the status does not use up the first-run flag.
  EXPECT_EQ(ReadFile(inst.Config() + "user.cfg").find("DrivoraOutOfBoxFirstRun"), std::string::npos);
}

// A value of each type that registry set does not write stands in HKCU\Software\navconfig-types: in the library's
// store of the tree registry, and on Windows put in the system's registry with reg.exe (registry.txt deletes it).
TEST(Tool, RegistryAndAccountShowAndChangeWhatTheExportsReach) {
  Installation inst("registry");
  const Args kinds[] = {{"Big", "REG_QWORD", "42"},
                        {"Bytes", "REG_BINARY", "00ff10"},
                        {"Lines", "REG_MULTI_SZ", "a\\0b"},
                        {"Path", "REG_EXPAND_SZ", "%T%"}};
  for (const Args& kind : kinds) {
    if (!testsupport::kWindows) break;
    const Args args{"add", "HKCU\\Software\\navconfig-types", "/v", kind[0], "/t", kind[1], "/d", kind[2], "/f"};
    const char* root = std::getenv("SystemRoot");
    const std::string reg = std::string(root ? root : "C:\\Windows") + "\\System32\\reg.exe";
    ASSERT_EQ(testsupport::RunProgram(reg, args, inst.Work(), {}, {}).code, 0) << kind[0];
  }
  inst.RunTranscript("registry.txt");
}

TEST(Tool, CheckReportsEveryLineTheReaderIgnoresOrCuts) {
  Installation inst("check");
  const auto before = Snapshot(inst / "");
  inst.RunTranscript("check.txt");
  EXPECT_EQ(Snapshot(inst / ""), before);
}

// navconfig watch beside processes that save: each change is printed as list prints it (with --json on one line),
// filtered by section and key, until Ctrl-C.
TEST(Tool, WatchPrintsEachChangeAnotherProcessSavesUntilInterrupted) {
  Installation inst;
  const testsupport::ScopedEnv home("NAVCONFIG_HOME", (inst / "home").c_str()),
      system("NAVCONFIG_SYSTEM_CONFIG_DIR", (testsupport::MakeDirs(inst / "system"), inst / "system/").c_str());
  using Program = testsupport::ChildProcess::Program;
  testsupport::ChildProcess text(Program{NAVCONFIG_TOOL_PATH, inst.WithFolders({"watch", "Image"})});
  testsupport::ChildProcess json(
      Program{NAVCONFIG_TOOL_PATH, inst.WithFolders({"--json", "watch", "user\\image", "keeppercent"})});
  ASSERT_TRUE(text.Started() && json.Started());
  auto tool = [&](const Args& args) { ASSERT_EQ(inst.Run(args).code, 0) << args[0]; };
  auto next = [](testsupport::ChildProcess& watcher, int timeoutMs) {
    std::string line;
    return watcher.ReadLine(line, timeoutMs) ? line : std::string("<nothing>");
  };
  auto jsonLine = [](long value, const char* origin) {
    return R"({"setting": "Image\\KeepPercent", "type": "integer", "value": )" + std::to_string(value) +
           R"(, "hex": false, "origin": ")" + origin + R"(", "otherType": false, "skipped": [], "layer": "user", )"
           R"("unset": false})";
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
  tool({"set", "product\\Image", "KeepPercent", "40", "--force"});  // another layer
  EXPECT_EQ(next(text, kSoon), "Image\\KeepPercent = 95  (user)");
  tool({"set", "GPS", "RouteWidthAdjPixel", "9"});  // another section
  tool({"set", "Image", "MyKey", "5"});             // another key
  EXPECT_EQ(next(text, kSoon), "Image\\MyKey = 5  (user)");
  tool({"unset", "Image", "MyKey"});
  EXPECT_EQ(next(text, kSoon), "Image\\MyKey  (unset)");
  tool({"unset", "Image", "KeepPercent"});
  EXPECT_EQ(next(text, kSoon), "Image\\KeepPercent = 40  (product)");
  EXPECT_EQ(next(json, kSoon), jsonLine(40, "product"));
  // The folder removed and made again (as a reset by hand makes it): the watchers follow it.
  std::filesystem::remove_all(inst.Config());
  std::filesystem::create_directory(inst.Config());
  tool({"set", "Image", "KeepPercent", "77"});
  EXPECT_TRUE(printed(text, "Image\\KeepPercent = 77  (user)") && printed(json, jsonLine(77, "user")));
  // The system's folder (Linux), where product.cfg is read from now, is watched too.
  testsupport::WriteFile(inst / "system/product.cfg", "[Image]\n\"KeepPercent\"=41\n");
  if (!testsupport::kWindows) { EXPECT_EQ(next(text, kSoon), "Image\\KeepPercent = 77  (user)"); }

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
