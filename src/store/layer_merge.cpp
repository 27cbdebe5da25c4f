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

// Brings sections of a layer in memory to the wanted ones, and tells the values that changed.
class SectionSync {
 public:
  // layerLength: the length of the layer's name, which every path below starts with.
  SectionSync(Forest& forest, size_t layerLength, std::vector<ValueChange>* changes)
      : m_forest(forest), m_layerLength(layerLength), m_changes(changes) {}

  // Brings a section in memory to the wanted one (null: none, so its values go) and its subsections alike; path
  // is the section's path as the forest spells it.
  void Section(KeyRoot* memory, const KeyRoot* wanted, const std::string& path) {
    Values(memory, wanted, path);
    Subsections(memory, wanted, path);
  }

 private:
  void Report(const std::string& path, const char* key) {
    if (!m_changes) return;
    ValueChange change;
    change.layer = path.substr(0, m_layerLength);
    change.section = path.size() > m_layerLength ? path.substr(m_layerLength + 1) : std::string();
    change.key = key ? key : "";
    m_changes->push_back(std::move(change));
  }

  // The values in one walk of both lists, which are sorted alike.
  void Values(KeyRoot* memory, const KeyRoot* wanted, const std::string& path) {
    m_path = &path;
    keytree::SyncValues(&m_forest, memory, m_forest.IndexRef().FindSection(memory), wanted ? wanted->values : nullptr,
                        m_changes ? &SectionSync::Heard : nullptr, this);
  }
  static void Heard(void* self, const char* key) {
    auto* sync = static_cast<SectionSync*>(self);
    sync->Report(*sync->m_path, key);
  }

  // A subsection that is not wanted keeps its record and loses its values; a wanted one that is missing is
  // created.
  void Subsections(KeyRoot* memory, const KeyRoot* wanted, const std::string& path) {
    KeyRoot* have = memory->children;
    const KeyRoot* want = wanted ? wanted->children : nullptr;
    while (have || want) {
      const int order = !have ? 1 : !want ? -1 : CompareNames(have->name, want->name);
      KeyRoot* target = have;
      if (order > 0) {
        const char* name = want->name ? want->name : "";
        target = keytree::FindOrCreateChild(&m_forest, m_forest.RootSlot(), memory, name, std::strlen(name));
      }
      if (target) Section(target, order < 0 ? nullptr : want, path + '\\' + (target->name ? target->name : ""));
      if (order <= 0) have = have->next;
      if (order >= 0) want = want->next;
    }
  }

  Forest& m_forest;
  const size_t m_layerLength;
  std::vector<ValueChange>* m_changes;
  const std::string* m_path = nullptr;  // of the section whose values are brought
};

}  // namespace

void ReadLayerText(Forest& scratch, const std::string& layer, const char* text, size_t length) {
  if (length == 0) return;
  const size_t mark = cfg::ByteOrderMarkLength(text, length);
  LayerLoader(scratch).Parse(layer.c_str(), text + mark, length - mark);
}

void BuildWantedLayer(Forest& scratch, const std::string& layer, const char* text, size_t length,
                      const KeyRoot* kept, LayerJournal& journal) {
  ReadLayerText(scratch, layer, text, length);
  if (kept) {
    std::string path = layer;
    KeepValues(scratch, kept, path);
  }
  journal.ReplayOn(scratch);
}

void BringLayerTo(Forest& memory, KeyRoot* layer, const KeyRoot* wanted, std::vector<ValueChange>* changes) {
  const std::string name = layer->name ? layer->name : "";
  SectionSync(memory, name.size(), changes).Section(layer, wanted, name);
}

}  // namespace navconfig
