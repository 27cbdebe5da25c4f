// Layer names and files, and writing layers back.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cfg/format.h"
#include "common/log.h"
#include "store/configmgr.h"
#include "store/layer_text.h"

namespace navconfig {

namespace {

// The file of a layer in the configuration directory. Layer names compare without case, so the file name
// is the lower-cased name for reading and writing alike.
std::string ConfigDirFile(const std::string& configDir, const char* layerName) {
  std::string name = layerName;
  for (auto& c : name) c = FoldAscii(c);
  return configDir + name + cfg::kExtension;
}

// The first component of a path as a layer name: leading blanks and backslashes skipped, at most kMaxLayerName
// bytes.
std::string LayerNameOf(const char* path) {
  if (!path) return std::string();
  while (*path == ' ' || *path == '\\') ++path;
  size_t n = 0;
  while (path[n] && path[n] != '\\' && n < kMaxLayerName) ++n;
  return std::string(path, n);
}

}  // namespace

std::string LayerName(const char* path) { return LayerNameOf(path); }

std::string MapsLayerFile(const std::string& runtime, const std::string& layer) {
  if (runtime.empty()) return std::string();
  OROustring maps(runtime + cfg::kMapsFolder);
  maps.appendSlash();
  return maps.str() + layer + cfg::kExtension;
}

std::string FoldedLayer(const std::string& layer) {
  std::string out = layer;
  for (auto& c : out) c = FoldAscii(c);
  return out;
}

}  // namespace navconfig

using namespace navconfig;

bool CConfigMgr::SaveLayer(const char* path) {
  const std::string layer = LayerNameOf(path);
  if (layer.empty()) return false;
  // Under the lock of the file, with what other processes saved since this one last read or wrote the file
  // merged in first.
  platform::FileLock lock;
  if (!BeginSave(layer, lock)) return false;
  SectionInfo* info = FindLayerInfo(layer.c_str());
  // A layer that holds no value any more (or was deleted) is written empty, so that deleting its last value
  // lasts. The text is usually about as long as it was at the last save.
  const SaveStatus* last = LastSave(layer.c_str());
  const bool written =
      WriteLayerFile(layer, LayerText(info ? info->section : nullptr, last ? last->bytes : 0, &m_index));
  EndSave(layer, written);
  return written;
}

void CConfigMgr::RecordRefusedWrite(const std::string& layer, const std::string& reason) {
  const std::string configDir = m_env.ConfigDirectory();
  const bool named = !configDir.empty() && platform::IsSafeFileComponent(layer);
  RecordRefusedSave(layer, reason);
  if (named) m_saves[FoldedLayer(layer)].file = ConfigDirFile(configDir, layer.c_str());
}

bool CConfigMgr::WriteLayerFile(const std::string& layer, const std::string& text) {
  if (!platform::IsSafeFileComponent(layer)) {
    RecordRefusedSave(layer, kUnsafeFileName);
    return false;
  }
  const std::string configDir = m_env.ConfigDirectory();
  if (configDir.empty()) return false;
  const std::string file = ConfigDirFile(configDir, layer.c_str());
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  platform::Status status = KeepUnkeptLines(layer, file, record);
  if (status.ok) status = platform::ReplaceLockedFile(file, text.data(), text.size());
  return RecordSave(layer, file, status, text.size());
}

bool CConfigMgr::RecordSave(const std::string& layer, const std::string& file, const platform::Status& status,
                            size_t bytes) {
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  record.attempted = true;
  record.ok = status.ok;
  record.file = file;
  record.reason = status.reason;
  record.bytes = bytes;
  return status.ok;
}

void CConfigMgr::RecordRefusedSave(const std::string& layer, const std::string& reason) {
  SaveStatus& record = m_saves[FoldedLayer(layer)];
  record.attempted = true;
  record.ok = false;
  record.file = layer;
  record.reason = reason;
}

platform::Status CConfigMgr::KeepUnkeptLines(const std::string& layer, const std::string& file, SaveStatus& record) {
  const auto reading = m_layerFiles.find(FoldedLayer(layer));
  if (reading == m_layerFiles.end() || !reading->second.unkeptLines) return platform::Status::Ok();
  // A file that the save may not replace is not copied either.
  std::string target;
  if (platform::Status allowed = platform::ResolveWriteTarget(file, target); !allowed.ok) return allowed;
  char* data = nullptr;
  size_t size = 0;
  // Nothing to keep when no file stands there (a map layer's file is read from elsewhere).
  if (platform::ReadWholeFile(target, &data, &size)) {
    const std::string backup = file + kBackupExtension;
    // Private, since the file it copies may be; a link standing in its place is replaced, not followed.
    const platform::Status kept =
        platform::WriteFileAtomically(backup, data, size, /*privateToUser=*/true, platform::LinkPolicy::ReplaceLink);
    std::free(data);
    if (!kept.ok) return platform::Status::Error("could not keep the previous file: " + kept.reason);
    record.backup = backup;
    LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__,
               "%s held lines that a rewrite does not keep; the previous file is kept as %s", file.c_str(),
               backup.c_str());
  }
  reading->second.unkeptLines = false;
  return platform::Status::Ok();
}
