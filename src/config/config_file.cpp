// Layer names and files, and writing layers back.
#include <doroutil/files.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "cfg_format.h"
#include "config_log.h"
#include "configmgr.h"

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

// Appends a name up to its first line break, so that no stored text can start a line of its own.
void AppendLineSafe(std::string& out, const char* text) {
  if (!text) return;
  const size_t length = std::strlen(text);
  out.append(text, cfg::FindAny3(text, length, '\r', '\n', '\n'));
}

// Whether a section name, written up to its first line break, reads back as itself from a header. An empty
// name would give a header that names the section above (or none, so that its values would join the section
// written before it), and the reader ends a header's name at a bracket.
bool IsWritableSectionName(const char* name) {
  if (!name) return false;
  const size_t n = std::strcspn(name, "\r\n");
  return n > 0 && std::string_view(name, n).find_first_of("[]") == std::string_view::npos;
}

// The header line and value lines of one section (nothing for a section without values).
void AppendSectionText(std::string& out, const KeyRoot* s, const std::string& header) {
  if (!s->values) return;
  out += header;
  out += cfg::kHeaderClose;
  out += '\n';
  char number[32];
  for (const KeyValue* v = s->values; v; v = v->next) {
    if (v->type & KEYVALUE_TYPE_INTEGER) {
      out += '"';
      AppendLineSafe(out, v->name);
      // The formats "%s"=0x%08lx and "%s"=%ld, written without printf.
      char* p = number;
      *p++ = '"';
      *p++ = '=';
      if ((v->type & 0xF0) == KEYVALUE_FLAG_HEX) {
        const auto bits = static_cast<uint32_t>(v->intValue);
        *p++ = '0';
        *p++ = 'x';
        for (int shift = 28; shift >= 0; shift -= 4) *p++ = "0123456789abcdef"[(bits >> shift) & 15];
      } else {
        p = std::to_chars(p, number + sizeof number, static_cast<long>(v->intValue)).ptr;
      }
      *p++ = '\n';
      out.append(number, static_cast<size_t>(p - number));
    } else if ((v->type & KEYVALUE_TYPE_STRING) && v->strValue) {
      out += '"';
      AppendLineSafe(out, v->name);
      out += "\"=\"";
      AppendLineSafe(out, v->strValue);
      out += "\"\n";
    }
  }
  out += '\n';
}

// The text of every subsection of section. With an index, the text of a section that did not change since
// the last save is taken as it was then.
void WriteLayerText(std::string& out, const KeyRoot* section, const std::string& prefix, TreeIndex* index) {
  for (const KeyRoot* s = section->children; s; s = s->next) {
    // Such a section cannot be carried by the format: it is left out with everything below it rather than
    // adding its values to another section.
    if (!IsWritableSectionName(s->name)) continue;
    std::string header = prefix;
    if (prefix.size() > 1) header += cfg::kPathSeparator;
    AppendLineSafe(header, s->name);
    if (header.size() > keytree::kMaxPath) header.resize(keytree::kMaxPath);
    SectionInfo* info = index ? index->FindSection(s) : nullptr;
    if (!info) {
      AppendSectionText(out, s, header);
    } else {
      if (!info->textValid) {
        info->text.clear();
        AppendSectionText(info->text, s, header);
        info->textValid = true;
      }
      out += info->text;
    }
    WriteLayerText(out, s, header, index);
  }
}

}  // namespace

std::string LayerName(const char* path) { return LayerNameOf(path); }

std::string FallbackLayerFile(const std::string& layer) {
  const std::string name = FoldedLayer(layer);
  if (const std::string system = SystemConfigDirectory(); !system.empty() && (name == "user_ro" || name == "product")) {
    const std::string file = system + name + cfg::kExtension;
    if (platform::IsRegularFile(file)) return file;
  }
  const std::string runtime = RuntimeDirectory();
  if (runtime.empty()) return std::string();
  OROustring maps(runtime + cfg::kMapsFolder);
  maps.appendSlash();
  const std::string file = maps.str() + layer + cfg::kExtension;
  return platform::IsRegularFile(file) ? file : std::string();
}

std::string LayerText(const KeyRoot* layer, size_t expectedSize, TreeIndex* index) {
  std::string text;
  text.reserve(expectedSize + expectedSize / 8 + 1024);
  if (layer) WriteLayerText(text, layer, std::string(1, cfg::kHeaderOpen), index);
  return text;
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
  const std::string configDir = ConfigDirectory();
  const bool named = !configDir.empty() && platform::IsSafeFileComponent(layer);
  RecordRefusedSave(layer, reason);
  if (named) m_saves[FoldedLayer(layer)].file = ConfigDirFile(configDir, layer.c_str());
}

bool CConfigMgr::WriteLayerFile(const std::string& layer, const std::string& text) {
  if (!platform::IsSafeFileComponent(layer)) {
    RecordRefusedSave(layer, kUnsafeFileName);
    return false;
  }
  const std::string configDir = ConfigDirectory();
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
