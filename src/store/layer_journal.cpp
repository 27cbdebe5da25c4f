// LayerJournal: recording a layer's changes and making them again in another forest.
#include "store/layer_journal.h"

#include "store/forest.h"
#include "store/keytree.h"

namespace navconfig {

LayerEdit SetEdit(const char* path, const char* key, uint32_t type, long intValue, const char* strValue,
                  bool isDefault) {
  LayerEdit e;
  e.path = path;
  e.key = key;
  e.type = type;
  e.intValue = static_cast<int32_t>(static_cast<uint32_t>(intValue));
  e.strValue = strValue ? strValue : "";
  e.isDefault = isDefault;
  return e;
}

LayerEdit DeleteValueEdit(const char* path, const char* key) {
  LayerEdit e;
  e.kind = LayerEdit::Kind::DeleteValue;
  e.path = path;
  e.key = key;
  return e;
}

LayerEdit DeleteBranchEdit(const char* path) {
  LayerEdit e;
  e.kind = LayerEdit::Kind::DeleteBranch;
  e.path = path;
  return e;
}

void LayerJournal::ReplayOn(Forest& forest) const {
  for (const LayerEdit& edit : m_edits) {
    switch (edit.kind) {
      case LayerEdit::Kind::Set: {
        KeyRoot* section = nullptr;
        if (keytree::FindOrCreatePath(&forest, forest.RootSlot(), edit.path.c_str(), &section) && section)
          keytree::AddValue(&forest, section, edit.key.c_str(), edit.type, edit.intValue, edit.strValue.c_str(),
                            edit.isDefault);
        break;
      }
      case LayerEdit::Kind::DeleteValue:
        keytree::DeleteValue(&forest, forest.Root(), edit.path.c_str(), edit.key.c_str());
        break;
      case LayerEdit::Kind::DeleteBranch:
        keytree::DeleteBranch(&forest, forest.RootSlot(), edit.path.c_str());
        break;
    }
  }
}

}  // namespace navconfig
