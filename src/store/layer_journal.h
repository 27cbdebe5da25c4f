// LayerJournal: this process's own changes to one layer since the layer's file was last read or written
// (values set, values deleted, branches deleted, in order). A save that finds the file changed by another
// process replays them on top of what the file holds, so that the newest write of a key wins; once a save has
// written them the journal is cleared, and after a failed save it is kept for the next one.
#ifndef NAVCONFIG_SRC_STORE_LAYER_JOURNAL_H
#define NAVCONFIG_SRC_STORE_LAYER_JOURNAL_H

#include <cstdint>
#include <string>
#include <utility>
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
};

LayerEdit SetEdit(const char* path, const char* key, uint32_t type, long intValue, const char* strValue,
                  bool isDefault);
LayerEdit DeleteValueEdit(const char* path, const char* key);
LayerEdit DeleteBranchEdit(const char* path);

class LayerJournal {
 public:
  void Add(LayerEdit edit) { m_edits.push_back(std::move(edit)); }
  bool Empty() const { return m_edits.empty(); }
  void Clear() { m_edits.clear(); }
  // Makes each change again, in order, in the forest.
  void ReplayOn(Forest& forest) const;

 private:
  std::vector<LayerEdit> m_edits;
};

}  // namespace navconfig

#endif
