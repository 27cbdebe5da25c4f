// What changed, for the change listeners: the values of a write or a deletion as the forest spells them.
#include "store/change_record.h"

#include <string>
#include <utility>
#include <vector>

#include "store/keytree.h"
#include "store/tree_index.h"

namespace navconfig {

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

void RecordValue(const Forest& forest, const char* path, const char* key, std::vector<ValueChange>& changes) {
  const TreeIndex& index = forest.IndexRef();
  ValueChange change;
  KeyRoot* section = SpellPath(index, path, change);
  SectionInfo* info = section ? index.FindSection(section) : nullptr;
  const KeyValue* value = info && key ? index.FindValue(info, key, TreeIndex::NameHash(key)) : nullptr;
  if (!value) return;
  change.key = value->name ? value->name : key;
  changes.push_back(std::move(change));
}

void RecordBranch(const Forest& forest, const char* path, std::vector<ValueChange>& changes) {
  ValueChange where;
  if (const KeyRoot* section = SpellPath(forest.IndexRef(), path, where)) AddValues(section, where, changes);
}

}  // namespace navconfig
