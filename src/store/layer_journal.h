// LayerJournal: this process's own changes to one layer that its file may not hold yet (values set, values
// deleted, branches deleted). A save that finds the file changed by another process replays them on top of what
// the file holds, so that the newest write of a key wins.
//
// The journal keeps one entry per key: a later set or deletion of a key replaces the earlier entry, and a
// branch deletion replaces every entry at or below the branch, so its size is bounded by the number of
// distinct keys and branches changed, however often saves fail. Entries are numbered as they are made; a save
// that wrote the journal up to a number drops the entries up to it (later ones stay for the next save), and
// once the journal is empty its memory is given back.
//
// A save that knew what the file held but could not write it notes, for each entry made before, what the file
// held of its key or branch then. A later file that holds something else there was written by another process
// after the change was made: that write is the newer one. The change then gives way to it: a value set or
// deleted is dropped, and a branch deletion deletes only the values below it that the other process left as
// they were.
#ifndef NAVCONFIG_SRC_STORE_LAYER_JOURNAL_H
#define NAVCONFIG_SRC_STORE_LAYER_JOURNAL_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace navconfig {

class Forest;

// One change of this process to a layer, as its caller made it.
struct LayerEdit {
  enum class Kind { Set, DeleteValue, DeleteBranch };
  Kind kind = Kind::Set;
  std::string path;  // the section path as given, the layer first
  std::string key;   // Set and DeleteValue
  uint32_t type = 0;
  int32_t intValue = 0;
  std::string strValue;
  bool isDefault = false;  // Set: the value equals its built-in default (an absent value is then not added)
  uint64_t number = 0;     // given by the journal
};

LayerEdit SetEdit(const char* path, const char* key, uint32_t type, long intValue, const char* strValue,
                  bool isDefault);
LayerEdit DeleteValueEdit(const char* path, const char* key);
LayerEdit DeleteBranchEdit(const char* path);

class LayerJournal {
 public:
  // Records a change in place of the entries it supersedes (see above) and returns its number, which is higher
  // than every number given before, also across Clear.
  uint64_t Add(LayerEdit edit);
  bool Empty() const { return m_edits.empty(); }
  size_t Size() const { return m_edits.size(); }
  // The number of the newest entry (0 before any).
  uint64_t Last() const { return m_last; }
  // Drops the entries up to and including that number.
  void DropThrough(uint64_t number);
  void Clear() { DropThrough(m_last); }
  // The file held what the forest holds (a layer read from its text) after the entries up to through were made:
  // notes it for each of them that has no note yet.
  void NoteFileState(const Forest& file, uint64_t through);
  // Forgets what was noted: the next file is one of another folder.
  void ForgetFileState();
  // Makes each change again, in order, in the forest (a layer read from its file), after the changes that gave
  // way to a newer write of another process, as the notes tell, were dropped.
  void ReplayOn(Forest& forest);

 private:
  struct Entry {
    std::string subject;  // what it is about: its section path, and its key, folded as lookups fold them
    LayerEdit edit;
    // What a file held after the change was made: a value's state (FileState), or those of the values below a
    // branch, sorted; none when nothing is noted.
    bool noted = false;
    std::vector<std::string> seen;
  };
  static std::string Subject(const LayerEdit& edit);
  static std::vector<std::string> FileState(const Forest& file, const LayerEdit& edit);

  std::list<Entry> m_edits;  // in the order made, so with ascending numbers
  std::unordered_map<std::string_view, std::list<Entry>::iterator> m_bySubject;  // views of Entry::subject
  uint64_t m_last = 0;
};

}  // namespace navconfig

#endif
