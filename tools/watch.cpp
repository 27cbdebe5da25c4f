// The command watch: waits for the layer files of the configuration folder to change, has the library reload
// them, and prints every change that its listener hears, as list prints the setting, until interrupted.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_listen.h>
#include <config/directorymgr.h>

#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "folder_watch.h"
#include "tool.h"

namespace navtool {

namespace {

struct Change {
  std::string layer, section, key;
};

struct Heard {
  std::string layer;  // only changes of this layer, when not empty
  std::vector<Change> changes;
  // The settings of `changes`: a setting that changed in two layers at once is printed once, as it is now.
  std::set<SettingId> settings;
};

void OnChange(const char* layer, const char* section, const char* key, void* context) {
  auto* heard = static_cast<Heard*>(context);
  if (!heard->layer.empty() && !EqualFolded(heard->layer, layer)) return;
  if (!heard->settings.insert(IdOf(section, key)).second) return;
  heard->changes.push_back({layer, section, key});
}

// Registers the listener for the lifetime of the object.
class Listener {
 public:
  Listener(const std::string& section, const std::string& key, Heard* heard)
      : m_id(Config_AddChangeListener(section.empty() ? nullptr : section.c_str(), key.empty() ? nullptr : key.c_str(),
                                      OnChange, heard)) {}
  ~Listener() { Config_RemoveChangeListener(m_id); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

 private:
  int m_id;
};

}  // namespace

int CmdWatch(const Options& options, const std::string& section, const std::string& key) {
  // A full path names its layer and the section in it (none: the whole layer).
  Heard heard;
  std::string inLayer = section;
  if (IsFullPath(section)) {
    heard.layer = LayerOf(section);
    if (heard.layer.empty()) Fail(kExitUsage, "the section is empty");
    const size_t rest = section.find_first_not_of('\\', section.find_first_not_of(" \\") + heard.layer.size());
    inLayer = rest == std::string::npos ? std::string() : section.substr(rest);
  }
  // What is known nowhere is most likely misspelt: said before any waiting.
  RequireKnown(section, key);
  Listener listener(inLayer, key, &heard);

  // The start read the standard layers (or found them missing); a layer named by the path is read too, so that
  // its file is watched from now on.
  DirectoryMgr* dirs = GetDirectoryMgr();
  const std::string folder = dirs ? dirs->GetConfigDir().uString().str() : std::string();
  if (folder.empty()) Fail(kExitFailure, "the library has no configuration folder");
  Config_DoesKeyExist("Image", "KeepPercent");
  if (!heard.layer.empty()) Config_FindRoot(heard.layer.c_str());

  // Layers without a file in the folder are read from the system's folder or the runtime folder's maps/ (Windows
  // polls, and needs no folder named).
  FolderWatch watch(folder, {dirs->GetSystemConfigDir().str(), dirs->GetRuntimeDir().uString().str() + "maps"});
  if (!watch.Problem().empty()) Fail(kExitFailure, "cannot watch " + folder + ": " + watch.Problem());
  // What changed between the start and the watch's beginning comes first.
  do {
    heard.changes.clear();
    heard.settings.clear();
    Config_ReloadChangedLayers();
    for (const Change& c : heard.changes) ShowSetting(options, c.layer, c.section, c.key);
    std::cout.flush();
  } while (watch.Wait());
  return kExitOk;
}

}  // namespace navtool
