// LayerFile: the identity of a layer's file, and the steps of a save: the file's lock, the merge with what
// other processes saved, and the replacement of the file.
#include "store/layer_file.h"

#include <doroutil/strutil.h>
#include <platform/file_lock.h>
#include <platform/os.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "cfg/format.h"
#include "common/folded_names.h"
#include "common/log.h"
#include "store/keytree.h"
#include "store/layer_merge.h"
#include "store/tree_index.h"

namespace navconfig {

namespace {

std::string FileNameOf(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !platform::IsPathSeparator(path[cut - 1])) --cut;
  return path.substr(cut);
}

// Temporary files that writers without the lock gave unique names (".user.cfg.tmp.<suffix>"); a writer killed
// while saving left them behind.
void RemoveOldTemporaryFiles(const std::string& file) {
  const std::string name = FileNameOf(file);
  const std::string dir = file.substr(0, file.size() - name.size());
  const std::string prefix = "." + name + ".tmp.";
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(dir.empty() ? std::string(".") : dir, entries)) return;
  for (const auto& e : entries)
    if (!e.isDirectory && e.name.compare(0, prefix.size(), prefix) == 0) platform::RemoveFile(dir + e.name);
}

// The top-level section of that name in a sibling list, or null.
KeyRoot* FindTopLevel(KeyRoot* first, const std::string& name) {
  for (KeyRoot* s = first; s; s = s->next)
    if (SpecialChar_stricmp(s->name ? s->name : "", name.c_str()) == 0) return s;
  return nullptr;
}

}  // namespace

// ---- Layer names and files ----

std::string LayerName(const char* path) {
  if (!path) return std::string();
  while (*path == ' ' || *path == '\\') ++path;
  size_t n = 0;
  while (path[n] && path[n] != '\\' && n < kMaxLayerName) ++n;
  return std::string(path, n);
}

std::string FoldedLayer(const std::string& layer) { return FoldedText(layer); }

std::string LayerFilePath(const std::string& configDirectory, const std::string& layer) {
  if (layer.empty() || !platform::IsSafeFileComponent(layer) || configDirectory.empty()) return std::string();
  return configDirectory + FoldedLayer(layer) + cfg::kExtension;
}

std::string FallbackLayerFile(const std::string& systemDirectory, const std::string& runtime,
                              const std::string& layer) {
  const std::string name = FoldedLayer(layer);
  if (!systemDirectory.empty() && (name == "user_ro" || name == "product")) {
    const std::string file = systemDirectory + name + cfg::kExtension;
    if (platform::IsRegularFile(file)) return file;
  }
  if (runtime.empty()) return std::string();
  OROustring maps(runtime + cfg::kMapsFolder);
  maps.appendSlash();
  const std::string file = maps.str() + layer + cfg::kExtension;
  return platform::IsRegularFile(file) ? file : std::string();
}

// ---- The queue of saves ----

SaveQueue::Turn::Turn(SaveQueue& queue) : m_queue(queue) {
  std::unique_lock<std::mutex> guard(queue.m_mutex);
  const uint64_t ticket = queue.m_next++;
  queue.m_turnChanged.wait(guard, [&] { return queue.m_serving == ticket; });
}

SaveQueue::Turn::~Turn() {
  {
    std::lock_guard<std::mutex> guard(m_queue.m_mutex);
    ++m_queue.m_serving;
  }
  m_queue.m_turnChanged.notify_all();
}

// ---- Identity ----

void LayerFile::Remember(const std::string& path, const platform::FileIdentity& identity) {
  m_file = path;
  m_identity = identity;
  m_identityKnown = true;
}

void LayerFile::NoteRead(const std::string& path, const platform::FileIdentity& identity, bool read) {
  // What was noted of another folder's file says nothing of this one.
  if (read && path != m_file) m_journal.ForgetFileState();
  if (read) Remember(path, identity);
  m_identityKnown = read && m_journal.Empty();
}

bool LayerFile::ChangedSince(const std::string& path) const {
  if (path.empty()) return false;
  if (!m_identityKnown || m_file != path) return true;
  return platform::IdentifyFile(path) != m_identity;
}

void LayerFile::Erased() {
  m_journal.Clear();
  m_identityKnown = false;
  m_textKnown = false;
}

// ---- Saves ----

FileText::~FileText() { std::free(data); }

platform::Status ReadLayerSource(const std::string& path, const platform::FileIdentity& identity,
                                 const std::string& fallback, FileText* text) {
  if (identity.kind == platform::FileIdentity::Kind::Other)
    return platform::Status::Error("read " + FileNameOf(path) + ": not a regular file");
  // Without a file in the configuration directory, the layer is what a read would take: the system's or its map
  // layer file.
  const std::string source = identity.kind == platform::FileIdentity::Kind::Absent ? fallback : path;
  if (source.empty()) return platform::Status::Ok();
  if (source == fallback) text->fallback = platform::IdentifyFile(source);
  if (!platform::ReadWholeFile(source, &text->data, &text->length))
    return platform::Status::Error("read " + FileNameOf(source) + ": the file cannot be read");
  text->read = true;
  return platform::Status::Ok();
}

std::string LayerLockFile(const std::string& path) {
  std::string target;
  return platform::LockFileOf(platform::ResolveWriteTarget(path, target).ok ? target : path);
}

platform::Status LockLayerFile(const std::string& path, platform::FileLock& lock, std::chrono::milliseconds timeout,
                               bool* firstLock) {
  std::string target;
  platform::Status status = platform::ResolveWriteTarget(path, target);
  if (status.ok) status = lock.Acquire(platform::LockFileOf(target), timeout);
  if (status.ok && *firstLock) {
    RemoveOldTemporaryFiles(target);
    *firstLock = false;
  }
  return status;
}

void LayerFile::Merge(Forest& memory, const std::string& layer, const std::string& path,
                      const platform::FileIdentity& identity, const FileText& text, std::vector<ValueChange>* changes,
                      bool* inMemory) {
  *inMemory = false;
  SectionInfo* info = memory.FindLayer(layer.c_str());
  KeyRoot* memoryLayer = info ? info->section : nullptr;
  // A layer read from another configuration folder: what memory holds stays and is added to this folder's file,
  // since neither is older than the other.
  const bool otherFolder = !m_file.empty() && m_file != path;
  // What was noted of the other folder's file says nothing of this one.
  if (otherFolder) m_journal.ForgetFileState();
  Forest wanted;
  BuildWantedLayer(wanted, layer, text.data, text.length, otherFolder ? memoryLayer : nullptr, m_journal);
  // The save that follows edits this text.
  KeepText(text.read ? std::string(text.data, text.length) : std::string());

  const KeyRoot* wantedLayer = FindTopLevel(wanted.Root(), layer);
  // A file that exists is a layer in memory, also when it holds no section.
  if (!memoryLayer && (wantedLayer || text.read))
    memoryLayer = keytree::FindOrCreateChild(&memory, memory.RootSlot(), nullptr, layer.c_str(), layer.size());
  if (memoryLayer) {
    BringLayerTo(memory, memoryLayer, wantedLayer, changes);
    *inMemory = true;
  }
  Remember(path, identity);
  NoteFallback(text.fallback);
}

platform::Status ReplaceLayerFile(const std::string& path, const std::string& text, bool keepPrevious,
                                  std::string* backup) {
  if (keepPrevious) {
    // A file that the save may not replace is not copied either.
    std::string target;
    if (platform::Status allowed = platform::ResolveWriteTarget(path, target); !allowed.ok) return allowed;
    char* data = nullptr;
    size_t size = 0;
    // Nothing to keep when no file stands there (a map layer's file is read from elsewhere).
    if (platform::ReadWholeFile(target, &data, &size)) {
      // The first free name: an earlier copy is never replaced.
      std::string copy = path + kBackupExtension;
      for (int n = 1; platform::IdentifyFile(copy).kind != platform::FileIdentity::Kind::Absent; ++n)
        copy = path + kBackupExtension + "." + std::to_string(n);
      // Private, since the file it copies may be; a link standing in its place is replaced, not followed.
      const platform::Status kept =
          platform::WriteFileAtomically(copy, data, size, /*privateToUser=*/true, platform::LinkPolicy::ReplaceLink);
      std::free(data);
      if (!kept.ok) return platform::Status::Error("could not keep the previous file: " + kept.reason);
      *backup = copy;
      LogMessage(kLogCategoryGeneral, kLogLevelError, "configmain", __LINE__,
                 "%s is not a text file; the previous file is kept as %s", path.c_str(),
                 copy.c_str());
    }
  }
  return platform::ReplaceLockedFile(path, text.data(), text.size());
}

void LayerFile::Saved(const std::string& path, const platform::FileIdentity& identity, uint64_t through,
                      std::string text, bool writerMade) {
  Remember(path, identity);
  m_fallback = {};  // the file stands for the layer now
  m_journal.DropThrough(through);
  if (through > m_savedThrough) m_savedThrough = through;
  KeepText(std::move(text));
  m_writtenByWriter = writerMade;
}

void LayerFile::Flushed(const std::string& path) {
  if (m_identityKnown && m_flushedPaths.empty()) m_flushedFrom = m_identity;
  TreeIndex::PathKey key;
  if ((m_identityKnown || !m_flushedPaths.empty()) && TreeIndex::MakePathKey(path.c_str(), key))
    m_flushedPaths.emplace_back(key.folded, key.length);
  ForgetIdentity();
  ++m_flushes;
}

void LayerFile::ForgetFlushes(const platform::FileIdentity& identity, std::vector<ValueChange>* changes,
                              size_t first) {
  if (changes && !m_flushedPaths.empty() && identity == m_flushedFrom) {
    const auto flushed = [&](const ValueChange& c) {
      TreeIndex::PathKey key;
      TreeIndex::MakeLayeredKey(c.layer.c_str(), c.section.c_str(), key);
      const std::string_view path(key.folded, key.length);
      for (const std::string& p : m_flushedPaths)
        if (path == p || (path.size() > p.size() && path.starts_with(p) && path[p.size()] == cfg::kPathSeparator))
          return true;
      return false;
    };
    changes->erase(std::remove_if(changes->begin() + static_cast<long>(first), changes->end(), flushed),
                   changes->end());
  }
  m_flushedPaths.clear();
}

void LayerFile::WriteFailed(const std::string& layer, uint64_t textGeneration, uint64_t through) {
  // A text that cannot be taken apart says nothing of what another process may write in its place.
  if (!m_textKnown || m_textGeneration != textGeneration || TextIsBinary()) return;
  Forest file;
  ReadLayerText(file, layer, m_text.data(), m_text.size());
  m_journal.NoteFileState(file, through);
}

}  // namespace navconfig
