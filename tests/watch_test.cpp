// Changes that another process saves, seen from a running application: Config_ReloadChangedLayers takes in
// what the tool saved and tells the listeners, and `navconfig watch` prints each change as it is saved.
#include <config/config_api.h>
#include <config/config_listen.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "store_env.h"
#include "support/test_support.h"

namespace {

using Calls = std::vector<std::string>;

void Record(const char* layer, const char* section, const char* key, void* context) {
  static_cast<Calls*>(context)->push_back(std::string(layer) + '|' + section + '|' + key);
}

Calls Taken(Calls& calls) {
  Calls out = std::move(calls);
  calls.clear();
  std::sort(out.begin(), out.end());
  return out;
}

// The tool on the test's configuration, beside this process.
class ToolAlongside : public storetest::StoreTest {
 protected:
  std::vector<std::string> Args(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--config-dir", configDir, "--runtime-dir", runtimeDir});
    return args;
  }
  void Tool(std::vector<std::string> args) const {
    const auto r = testsupport::RunProgram(NAVCONFIG_TOOL_PATH, Args(args), tmp.path(),
                                           {"NAVCONFIG_LOG", "NAVCONFIG_LOG_SWITCHES"}, {{"NAVCONFIG_HOME", homeDir}});
    ASSERT_EQ(r.code, 0) << args[0] << ": " << r.err;
  }
  testsupport::ChildProcess::Program Watch(std::vector<std::string> args) const {
    return {NAVCONFIG_TOOL_PATH, Args(std::move(args))};
  }
};

}  // namespace

TEST_F(ToolAlongside, AReloadTakesInWhatTheToolSavedAndTellsTheListeners) {
  EXPECT_EQ(Config_GetIntVal("Image", "KeepPercent"), 50);  // user_ro and product have no file: reads skip them
  Calls heard;
  const int id = Config_AddChangeListener(nullptr, nullptr, Record, &heard);
  struct Step {
    std::vector<std::string> tool;
    Calls heard;
    const char* section;
    const char* key;
    long reads;
  };
  const Step steps[] = {
      {{"set", "Image", "KeepPercent", "75"}, {"user|Image|KeepPercent"}, "Image", "KeepPercent", 75},
      {{"set", "GPS", "RouteWidthAdjPixel", "9"}, {"user|GPS|RouteWidthAdjPixel"}, "GPS", "RouteWidthAdjPixel", 9},
      {{"set", "product\\Image", "AllowSquish", "3", "--force"}, {"product|Image|AllowSquish"}, "Image", "AllowSquish",
       3},
      {{"unset", "Image", "KeepPercent"}, {"user|Image|KeepPercent"}, "Image", "KeepPercent", 50},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.tool[0] + " " + step.tool[1]);
    Tool(step.tool);
    EXPECT_EQ(Config_ReloadChangedLayers(), static_cast<int>(step.heard.size()));
    EXPECT_EQ(Taken(heard), step.heard);
    EXPECT_EQ(Config_GetIntVal(step.section, step.key), step.reads);
    EXPECT_EQ(Config_ReloadChangedLayers(), 0);
    EXPECT_EQ(Taken(heard), Calls{});
  }
  Config_RemoveChangeListener(id);
}

TEST_F(ToolAlongside, WatchPrintsEachChangeAnotherProcessSavesUntilInterrupted) {
  testsupport::ChildProcess text(Watch({"watch", "Image"}));
  testsupport::ChildProcess json(Watch({"--json", "watch", "user\\image", "keeppercent"}));
  ASSERT_TRUE(text.Started() && json.Started());
  auto next = [](testsupport::ChildProcess& watcher, int timeoutMs) {
    std::string line;
    return watcher.ReadLine(line, timeoutMs) ? line : std::string("<nothing>");
  };
  auto jsonLine = [](long value, const char* origin) {
    return "{\"setting\": \"Image\\\\KeepPercent\", \"type\": \"integer\", \"value\": " + std::to_string(value) +
           ", \"hex\": false, \"origin\": \"" + origin +
           "\", \"otherType\": false, \"skipped\": [], \"layer\": \"user\", \"unset\": false}";
  };

  // A watcher hears what is saved once it has read the files: a new value is saved until both print it.
  auto printed = [&](testsupport::ChildProcess& watcher, const std::string& wanted) {
    for (std::string line = next(watcher, 300); line != "<nothing>"; line = next(watcher, 300))
      if (line == wanted) return true;
    return false;
  };
  bool ready = false;
  for (long value = 60; value < 90 && !ready; ++value) {
    Tool({"set", "Image", "KeepPercent", std::to_string(value)});
    const bool textReady = printed(text, "Image\\KeepPercent = " + std::to_string(value) + "  (user)");
    ready = printed(json, jsonLine(value, "user")) && textReady;
  }
  ASSERT_TRUE(ready) << "the watchers printed nothing";

  constexpr int kSoon = 2000;
  Tool({"set", "Image", "KeepPercent", "95"});
  EXPECT_EQ(next(text, kSoon), "Image\\KeepPercent = 95  (user)");
  EXPECT_EQ(next(json, kSoon), jsonLine(95, "user"));
  Tool({"set", "GPS", "RouteWidthAdjPixel", "9"});  // another section
  Tool({"set", "Image", "MyKey", "5"});             // another key
  EXPECT_EQ(next(text, kSoon), "Image\\MyKey = 5  (user)");
  Tool({"unset", "Image", "MyKey"});
  EXPECT_EQ(next(text, kSoon), "Image\\MyKey  (unset)");
  Tool({"unset", "Image", "KeepPercent"});
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
