// LayerFile: one layer's file as this process knows it, and the steps of a save of the layer, which keep the
// layer in memory true to its file while other processes write the same file.
//
// For each layer the manager remembers the identity of the file it last read or wrote, and a journal of this
// process's own changes to the layer that the file may not hold yet (layer_journal.h). A save takes the lock of
// the file; when the file is no longer the one remembered (or that is not known), it reads the file, replays the
// journal on top of it (the newest write of a key wins; keys this process did not touch take the file's values)
// and brings the layer in memory to that state in place (layer_merge.h), before it writes. Sections are kept as
// records while their values come and go, so that a section handed out by Config_FindRoot stays valid. The
// journal's entries that a save wrote are dropped; after a failed save they are kept, and the next save tries
// again, save those that another process's later write of the same key outlived (layer_journal.h). A write that
// changes nothing in memory goes into the journal (and the file) only when the file changed since it was read,
// or that is not known: then it may be newer than what the file holds. A layer read from
// another configuration folder (before SU_Config named this one) keeps what memory holds at its first save
// there, with what the new folder's file holds besides; a layer without a file in the configuration folder is
// merged from its fallback file (a map layer, a read-only layer of the system), as a read would take it.
//
// LayerFile runs under the manager's lock, held alone; the free functions touch files only and run without it.
#ifndef NAVCONFIG_SRC_STORE_LAYER_FILE_H
#define NAVCONFIG_SRC_STORE_LAYER_FILE_H

#include <platform/file_lock.h>
#include <platform/os.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "cfg/format.h"
#include "store/forest.h"
#include "store/layer_journal.h"
#include "store/layer_text.h"
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
// The reason recorded for a save while no configuration directory is set (SU_Config("")): the layer stays in memory.
constexpr const char* kNoConfigDirectory = "no configuration folder is set";
// Appended to a layer file's name for the copy kept before a file that is no text is replaced (and then ".1",
// ".2", ... when that name is taken).
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

// The text of a layer's file, as a merge takes it in (malloc'd, freed with the object).
struct FileText {
  char* data = nullptr;
  size_t length = 0;
  bool read = false;  // false: not read (nothing was there to read, or it was not asked for)
  platform::FileIdentity fallback;  // of the fallback file read in place of an absent one (taken before reading)
  FileText() = default;
  ~FileText();
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;
};

// Reads what a merge of the layer takes in: the file at path (whose identity was just taken), or, when nothing
// stands there, the layer's fallback file (the system's read-only layer or the map layer, as a read would take
// it; empty: none). Fails when the file is not a regular file or cannot be read.
platform::Status ReadLayerSource(const std::string& path, const platform::FileIdentity& identity,
                                 const std::string& fallback, FileText* text);
// A save's first step: takes the lock of the file, beside the file that the save replaces (through a link, the
// file it names, so that writers that reach one file through several folders share its lock); what the save may
// not replace, such as a FIFO, a device or a link that leads elsewhere, fails it before a lock file is left
// behind. *firstLock (the process's first lock of the file) removes the temporary files that writers killed
// without the lock left behind, and is then cleared.
platform::Status LockLayerFile(const std::string& path, platform::FileLock& lock, std::chrono::milliseconds timeout,
                               bool* firstLock);
// The lock file of a layer file: beside the file a write to path replaces, or beside path when none may be.
std::string LayerLockFile(const std::string& path);
// Writes text over the file, under its lock. With keepPrevious (the file is no text: cfg::IsBinary), first keeps
// the file as it stands as <file>.bak, or <file>.bak.1, .2, ... when that name is taken (an earlier copy is never
// replaced; *backup names it), and logs it, so that nothing is lost unseen; a failure to keep it fails the save.
platform::Status ReplaceLayerFile(const std::string& path, const std::string& text, bool keepPrevious,
                                  std::string* backup);

// The saves of one layer by threads of this process, one at a time in the order they came (a ticket lock): the
// thread whose turn it is takes the file's lock and writes, while the others wait for their turn holding no
// lock of the manager. Turns are passed on in order, so no saver of the process waits behind later ones.
class SaveQueue {
 public:
  SaveQueue() = default;
  SaveQueue(const SaveQueue&) = delete;
  SaveQueue& operator=(const SaveQueue&) = delete;

  // Waits for its turn from construction to destruction.
  class Turn {
   public:
    explicit Turn(SaveQueue& queue);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

   private:
    SaveQueue& m_queue;
  };

  // Whether this process has not yet held the lock of the file (its first lock clears old temporary files);
  // used by whoever has the turn.
  bool firstLock = true;

 private:
  std::mutex m_mutex;
  std::condition_variable m_turnChanged;
  uint64_t m_next = 0;     // the ticket of the next saver to come
  uint64_t m_serving = 0;  // the ticket whose turn it is
};

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
  // The same after a flush dropped the branch at path (a full path) from memory, counted: a save that wrote the
  // file meanwhile, from memory before the flush, leaves the identity forgotten (else the next save would take
  // memory for the file's state).
  void Flushed(const std::string& path);
  uint64_t Flushes() const { return m_flushes; }
  // After a merge of the file as it is now (identity), whose changes from index first on are told: those of
  // flushed branches are not, when the file is still the one memory held before the flush (they only come back).
  void ForgetFlushes(const platform::FileIdentity& identity, std::vector<ValueChange>* changes, size_t first);
  // The identity of the fallback file that was read when the file was absent (Absent when none was): another
  // process (an administrator) that changes it changes the layer as well.
  void NoteFallback(const platform::FileIdentity& identity) { m_fallback = identity; }
  const platform::FileIdentity& Fallback() const { return m_fallback; }
  // The file remembered, and its identity (meaningful when IdentityKnown).
  const std::string& File() const { return m_file; }
  const platform::FileIdentity& Identity() const { return m_identity; }
  bool IdentityKnown() const { return m_identityKnown; }
  // Whether a write that changes nothing in memory is still newer than what the file holds: the file at path
  // changed since this process last read or wrote it, or that is not known (then every write counts, and the
  // next save reads the file first).
  bool ChangedSince(const std::string& path) const;
  // The text of the file as this process last read or wrote it, which the next save edits (none: the save reads
  // the file again). A text read is kept by a merge, and by the first reading of a file of usual size.
  void KeepText(std::string text) {
    m_text = std::move(text);
    m_textKnown = true;
    m_writtenByWriter = false;
    ++m_textGeneration;
  }
  // Counts the texts kept, so that a save can tell that the text it knew is still the one kept.
  uint64_t TextGeneration() const { return m_textGeneration; }
  void ForgetText() { m_textKnown = false; }
  bool TextKnown() const { return m_textKnown; }
  // The file cannot be taken apart as text (cfg::IsBinary): the save writes the writer's text and keeps a copy.
  bool TextIsBinary() const { return m_textKnown && cfg::IsBinary(m_text.data(), m_text.size()); }
  // The text a save writes: that of the file edited to hold what the layer (null: deleted) holds, every other
  // line kept (EditedLayerText); the writer's text (writerText()) when the file is one that the writer made
  // or no text. headerLimit: the bytes of a header's path that a read of the layer keeps.
  template <typename WriterText>
  std::string TextToWrite(const KeyRoot* layer, size_t headerLimit, WriterText writerText) const {
    if (m_writtenByWriter || !m_textKnown || TextIsBinary()) return writerText();
    return EditedLayerText(m_text, layer, headerLimit);
  }

  LayerJournal& Journal() { return m_journal; }
  const LayerJournal& Journal() const { return m_journal; }
  // The journal's entries up to this number are in the file: a save that worked wrote them.
  uint64_t SavedThrough() const { return m_savedThrough; }

  // Brings the layer in memory to the file's state (text, as ReadLayerSource read it) with the journal replayed
  // on top, in place, and remembers the file's identity. Appends every value that changed to changes when it is
  // not null; *inMemory tells whether memory holds the layer afterwards.
  void Merge(Forest& memory, const std::string& layer, const std::string& path,
             const platform::FileIdentity& identity, const FileText& text, std::vector<ValueChange>* changes,
             bool* inMemory);
  // After a save that wrote the file (whose identity is now that) with the journal up to through: remembers
  // the file and its text (writerMade: what the writer made of memory) and drops those entries.
  void Saved(const std::string& path, const platform::FileIdentity& identity, uint64_t through, std::string text,
             bool writerMade);
  // After a save that could not write the file, which held the text kept (when it is still the one of
  // textGeneration) after the journal's entries up to through were made: notes in the journal what the file held.
  void WriteFailed(const std::string& layer, uint64_t textGeneration, uint64_t through);
  // After the file was erased (Config_RestoreDefaults): what this process changed before is dropped, and the
  // next save starts from the file (none) with the changes made from now on, not from what memory holds.
  void Erased();

 private:
  std::string m_file;
  platform::FileIdentity m_identity;
  bool m_identityKnown = false;  // false: the next save reads the file whatever its identity
  platform::FileIdentity m_fallback;
  LayerJournal m_journal;
  uint64_t m_savedThrough = 0;
  std::string m_text;  // the file's text as last read or written
  bool m_textKnown = false;
  uint64_t m_textGeneration = 0;
  bool m_writtenByWriter = false;  // m_text is what the writer made of memory at a save
  uint64_t m_flushes = 0;
  std::vector<std::string> m_flushedPaths;  // folded, since the last merge, when the file then was known
  platform::FileIdentity m_flushedFrom;     // the file memory held before the first of them
};

}  // namespace navconfig

#endif
