// Merging a layer with its file: building the wanted layer beside the forest, and bringing memory to it.
#include "store/layer_merge.h"

#include <doroutil/strutil.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cfg/format.h"
#include "store/keytree.h"
#include "store/layer_loader.h"
#include "store/tree_index.h"

namespace navconfig {

namespace {

int CompareNames(const char* a, const char* b) { return SpecialChar_stricmp(a ? a : "", b ? b : ""); }

// Stores every value of a section and its subsections, at the same path, into the forest.
void KeepValues(Forest& forest, const KeyRoot* section, std::string& path) {
  if (section->values) {
    KeyRoot* target = nullptr;
    if (keytree::FindOrCreatePath(&forest, forest.RootSlot(), path.c_str(), &target) && target) {
      for (const KeyValue* v = section->values; v; v = v->next)
        keytree::AddValue(&forest, target, v->name, v->type, v->intValue, v->strValue, false);
    }
  }
  for (const KeyRoot* child = section->children; child; child = child->next) {
    const size_t length = path.size();
    path += '\\';
    path += child->name ? child->name : "";
    KeepValues(forest, child, path);
    path.resize(length);
  }
}

// Brings a section in memory to the wanted one (null: none, so its values go) and its subsections alike; path
// is the section's path as the forest spells it, its first layerLength bytes the layer's name.
void SyncSection(Forest& forest, KeyRoot* memory, const KeyRoot* desired, const std::string& path,
                 size_t layerLength, std::vector<ValueChange>* changes) {
  auto report = [&](ValueChange::Kind kind, const char* key) {
    if (!changes) return;
    ValueChange change;
    change.kind = kind;
    change.layer = path.substr(0, layerLength);
    change.section = path.size() > layerLength ? path.substr(layerLength + 1) : std::string();
    change.key = key ? key : "";
    changes->push_back(std::move(change));
  };

  // Values: those that are not desired go, then every desired one is stored (both lists are sorted alike).
  std::vector<std::string> gone;
  const KeyValue* want = desired ? desired->values : nullptr;
  for (const KeyValue* have = memory->values; have; have = have->next) {
    while (want && CompareNames(want->name, have->name) < 0) want = want->next;
    if (!want || CompareNames(want->name, have->name) != 0) gone.emplace_back(have->name ? have->name : "");
  }
  for (const std::string& key : gone) {
    keytree::DeleteValue(&forest, forest.Root(), path.c_str(), key.c_str());
    report(ValueChange::Kind::Removed, key.c_str());
  }
  TreeIndex& index = forest.IndexRef();
  SectionInfo* info = index.FindSection(memory);
  for (want = desired ? desired->values : nullptr; want; want = want->next) {
    const bool existed = changes && info && index.FindValue(info, want->name ? want->name : "",
                                                            TreeIndex::NameHash(want->name ? want->name : ""));
    const bool isString = (want->type & 15) == KEYVALUE_TYPE_STRING;
    if (keytree::AddValueIn(&forest, memory, info, want->name, want->type, isString ? 0 : want->intValue,
                            isString ? want->strValue : "", false))
      report(existed ? ValueChange::Kind::Changed : ValueChange::Kind::Added, want->name);
  }

  // Subsections: one that is not desired keeps its record and loses its values; a desired one that is missing
  // is created.
  KeyRoot* have = memory->children;
  const KeyRoot* wantChild = desired ? desired->children : nullptr;
  while (have || wantChild) {
    const int order = !have ? 1 : !wantChild ? -1 : CompareNames(have->name, wantChild->name);
    KeyRoot* target = have;
    if (order > 0) {
      const char* name = wantChild->name ? wantChild->name : "";
      target = keytree::FindOrCreateChild(&forest, forest.RootSlot(), memory, name, std::strlen(name));
    }
    if (target)
      SyncSection(forest, target, order < 0 ? nullptr : wantChild, path + '\\' + (target->name ? target->name : ""),
                  layerLength, changes);
    if (order <= 0) have = have->next;
    if (order >= 0) wantChild = wantChild->next;
  }
}

}  // namespace

size_t BuildWantedLayer(Forest& scratch, const std::string& layer, const char* text, size_t length,
                        const KeyRoot* kept, const LayerJournal& journal) {
  size_t unkept = 0;
  if (length > 0) {
    const size_t mark = cfg::ByteOrderMarkLength(text, length);
    unkept = LayerLoader(scratch).Parse(layer.c_str(), text + mark, length - mark);
  }
  if (kept) {
    std::string path = layer;
    KeepValues(scratch, kept, path);
  }
  journal.ReplayOn(scratch);
  return unkept;
}

void BringLayerTo(Forest& memory, KeyRoot* layer, const KeyRoot* wanted, std::vector<ValueChange>* changes) {
  const std::string name = layer->name ? layer->name : "";
  SyncSection(memory, layer, wanted, name, name.size(), changes);
}

}  // namespace navconfig
