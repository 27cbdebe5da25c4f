// What changed, for the change listeners: the values that a write, a deletion or a reload changed, named as
// the forest spells them; and reloading the layers whose files changed on disk.
#include <platform/file_lock.h>
#include <platform/os.h>

#include <string>
#include <vector>

#include "store/configmgr.h"

using namespace navconfig;

namespace {

// The section at path, found through the index one component after the other; the layer's name and the path
// inside it, as the forest spells them, go to change.
KeyRoot* SpellPath(const TreeIndex& index, const char* path, ValueChange& change) {
  const keytree::SplitPath split(path);
  KeyRoot* section = nullptr;
  std::string prefix;
  for (int i = 0; i < split.count; ++i) {
    if (i > 0) prefix += '\\';
    prefix.append(split.parts[i], split.lengths[i]);
    TreeIndex::PathKey key;
    const SectionInfo* info = TreeIndex::MakePathKey(prefix.c_str(), key) ? index.FindSection(key) : nullptr;
    if (!info || !info->section) return nullptr;
    section = info->section;
    const char* name = section->name ? section->name : "";
    if (i == 0) {
      change.layer = name;
    } else {
      if (i > 1) change.section += '\\';
      change.section += name;
    }
  }
  return section;
}

void AddValues(const KeyRoot* section, const ValueChange& where, std::vector<ValueChange>& out) {
  for (const KeyValue* v = section->values; v; v = v->next) {
    ValueChange change = where;
    change.key = v->name ? v->name : "";
    out.push_back(std::move(change));
  }
  for (const KeyRoot* child = section->children; child; child = child->next) {
    ValueChange inner = where;
    if (!inner.section.empty()) inner.section += '\\';
    inner.section += child->name ? child->name : "";
    AddValues(child, inner, out);
  }
}

}  // namespace

void CConfigMgr::RecordChange(const char* path, const char* key, ValueChange::Kind kind) {
  ValueChange change;
  change.kind = kind;
  KeyRoot* section = SpellPath(m_index, path, change);
  SectionInfo* info = section ? m_index.FindSection(section) : nullptr;
  const KeyValue* value = info && key ? m_index.FindValue(info, key, TreeIndex::NameHash(key)) : nullptr;
  if (!value) return;
  change.key = value->name ? value->name : key;
  m_changes.push_back(std::move(change));
}

void CConfigMgr::RecordBranch(const char* path) {
  ValueChange where;
  where.kind = ValueChange::Kind::Removed;
  if (const KeyRoot* section = SpellPath(m_index, path, where)) AddValues(section, where, m_changes);
}

int CConfigMgr::ReloadChangedLayers() {
  const std::string dir = m_env.ConfigDirectory();
  if (dir.empty()) return 0;
  // Every layer read from the configuration folder has a record of its file, and so has one whose file was
  // found missing or holding no section. With nothing changed, each costs one status call.
  std::vector<std::string> changed;
  std::string file = dir;
  for (const auto& [folded, state] : m_layerFiles) {
    if (!platform::IsSafeFileComponent(folded)) continue;
    file.resize(dir.size());
    file += folded;
    file += cfg::kExtension;
    if (!state.Holds(file, platform::IdentifyFile(file))) changed.push_back(folded);
  }
  std::vector<ValueChange> changes;
  for (std::string& layer : changed) {
    // A layer in memory by its name as the forest spells it.
    if (SectionInfo* info = FindLayerInfo(layer.c_str()); info && info->section->name) layer = info->section->name;
    SyncLayerWithFile(layer, &changes);
  }
  const int count = static_cast<int>(changes.size());
  if (RecordingChanges())
    m_changes.insert(m_changes.end(), std::make_move_iterator(changes.begin()), std::make_move_iterator(changes.end()));
  return count;
}
