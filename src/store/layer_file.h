// LayerFile: one layer's file as this process knows it, and the steps of a save of the layer, which keep the
// layer in memory true to its file while other processes write the same file.
//
// For each layer the manager remembers the identity of the file it last read or wrote, and a journal of this
// process's own changes to the layer since then (layer_journal.h). A save takes the lock of the file; when the
// file is no longer the one remembered, it reads the file, replays the journal on top of it (the newest write of
// a key wins; keys this process did not touch take the file's values) and brings the layer in memory to that
// state in place (layer_merge.h), before it writes. Sections are kept as records while their values come and go,
// so that a section handed out by Config_FindRoot stays valid. The journal is cleared once a save has written
// it; after a failed save it is kept, and the next save tries again. A write that changes nothing in memory goes
// into the journal (and the file) only when the file changed since it was read: then it is newer than what the
// file holds. A layer read from another configuration folder (before SU_Config named this one) keeps what memory
// holds at its first save there, with what the new folder's file holds besides; a layer without a file in the
// configuration folder is merged from its map layer file, as a read would take it.
//
// Everything runs under the manager's lock, held alone.
#ifndef NAVCONFIG_SRC_STORE_LAYER_FILE_H
#define NAVCONFIG_SRC_STORE_LAYER_FILE_H

#include <platform/file_lock.h>
#include <platform/os.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "cfg/format.h"
#include "store/forest.h"
#include "store/layer_text.h"
#include "store/layer_journal.h"
#include "store/value_change.h"

namespace navconfig {

// The outcome of the last save of a layer file.
struct SaveStatus {
  bool attempted = false;
  bool ok = true;
  std::string file;    // the file that was written
  std::string reason;  // why it failed; empty when it worked
  size_t bytes = 0;    // the length of the text
  std::string backup;  // the copy of the previous file that a save kept (see LayerFile::Replace)
};

// The reason recorded for a layer whose name cannot stand as a file name in the configuration directory.
constexpr const char* kUnsafeFileName = "not a safe file name";
// Appended to a layer file's name for the copy kept before a rewrite that would lose lines.
constexpr const char* kBackupExtension = ".bak";
// A save waits this long for the lock of a layer's file before it fails.
constexpr std::chrono::milliseconds kSaveLockTimeout{10000};

// The longest layer name that a path's first component gives; a longer component is cut.
constexpr size_t kMaxLayerName = 254;
// The layer named by a path's first component (leading blanks and backslashes skipped, at most kMaxLayerName
// bytes), and a layer name folded to lower case.
std::string LayerName(const char* path);
std::string FoldedLayer(const std::string& layer);
// The file of a layer in the configuration directory: layer names compare without case, so the file name is
// the lower-cased name for reading and writing alike. Empty when there is no configuration directory or the
// name could leave it.
std::string LayerFilePath(const std::string& configDirectory, const std::string& layer);
// Where a layer is read from when the configuration directory has no regular file of it: for user_ro and product
// the system configuration directory's file, else (and for every other layer) its map layer file in the maps
// folder below the runtime directory; empty when neither is a regular file. A save never writes there: it
// writes the configuration directory's file.
std::string FallbackLayerFile(const std::string& systemDirectory, const std::string& runtimeDirectory,
                              const std::string& layer);

class LayerFile {
 public:
  // The file last read or written (the configuration folder may change), and its identity then.
  void Remember(const std::string& path, const platform::FileIdentity& identity);
  // Whether the file at path, as it is now, is the one remembered.
  bool Holds(const std::string& path, const platform::FileIdentity& now) const {
    return m_identityKnown && m_file == path && m_identity == now;
  }
  // The identity of a file about to be read (read: false when reading it failed). Unsaved changes are not in
  // what is read: the next save merges them in whatever the file's identity.
  void NoteRead(const std::string& path, const platform::FileIdentity& identity, bool read);
  // The next save reads the file whatever its identity.
  void ForgetIdentity() { m_identityKnown = false; }
  // Whether the file at path is the one this process last read or wrote and has changed since; false when its
  // identity is not known, or another file was.
  bool ChangedSince(const std::string& path) const;
  // The text of the file just read (the next save edits it), or none: the next save reads the file again.
  void KeepText(std::string text) {
    m_text = std::move(text);
    m_textKnown = true;
    m_writtenByWriter = false;
  }
  void ForgetText() { m_textKnown = false; }

  LayerJournal& Journal() { return m_journal; }
  const LayerJournal& Journal() const { return m_journal; }

  // A save's first step: takes the lock of the file (what the save may not replace, such as a FIFO, a device or
  // a link that leads elsewhere, fails it before a lock file is left behind). The first lock that this process
  // holds removes the temporary files that writers killed without the lock left behind.
  platform::Status Lock(const std::string& path, platform::FileLock& lock, std::chrono::milliseconds timeout);
  // Reads the file (or, when it is absent, fallbackFile: see FallbackLayerFile) and brings the layer in memory to the
  // file's state with the journal replayed on top, in place; remembers the file's identity. Appends every value
  // that changed to changes when it is not null; *inMemory tells whether memory holds the layer afterwards. On
  // failure (the file cannot be read) memory is left as it was.
  platform::Status Merge(Forest& memory, const std::string& layer, const std::string& path,
                         const platform::FileIdentity& identity, const std::string& fallbackFile,
                         std::vector<ValueChange>* changes, bool* inMemory);
  // The text of the file as this process last read or wrote it, read now (under the lock) when it is not known:
  // the file's, or fallbackFile's when it is absent, or none.
  platform::Status ReadText(const std::string& path, const std::string& fallbackFile);
  // The text a save writes: that of the file edited to hold what the layer (null: deleted) holds, every other
  // line kept (EditedLayerText); the writer's text when the file is the one this process wrote from memory, or
  // cannot be taken apart as text (cfg::IsBinary). writerText gives the writer's text of the layer.
  template <typename WriterText>
  std::string TextToWrite(const KeyRoot* layer, size_t headerLimit, WriterText writerText) {
    if (m_writtenByWriter || !m_textKnown || cfg::IsBinary(m_text.data(), m_text.size())) return writerText();
    return EditedLayerText(m_text, layer, headerLimit);
  }
  // Writes text over the file. A file that cannot be taken apart as text is first kept as <file>.bak, or
  // <file>.bak.1, .2, ... when that name is taken (an earlier copy is never replaced; record.backup names it),
  // and logged, so that nothing is lost unseen; a failure to keep it fails the save. writerMade: the text is what
  // the writer makes of memory.
  platform::Status Replace(const std::string& path, const std::string& text, bool writerMade, SaveStatus& record);
  // After a save that wrote the file: remembers it and clears the journal.
  void Saved(const std::string& path);

 private:
  platform::Status KeepBinaryFile(const std::string& path, SaveStatus& record);

  std::string m_file;
  platform::FileIdentity m_identity;
  bool m_identityKnown = false;  // false: the next save reads the file whatever its identity
  LayerJournal m_journal;
  bool m_lockedOnce = false;   // a save held the lock (and removed older writers' temporary files)
  std::string m_text;              // the file's text as last read or written
  bool m_textKnown = false;
  bool m_writtenByWriter = false;  // m_text is what the writer made of memory at the last save
};

}  // namespace navconfig

#endif
