// Merging a layer with its file: the layer as a save wants it is built in a scratch forest from the file's
// text, with this process's journal on top, and the layer in memory is then brought to it in place.
#ifndef NAVCONFIG_SRC_STORE_LAYER_MERGE_H
#define NAVCONFIG_SRC_STORE_LAYER_MERGE_H

#include <config/keytree.h>

#include <cstddef>
#include <string>
#include <vector>

#include "store/forest.h"
#include "store/layer_journal.h"
#include "store/value_change.h"

namespace navconfig {

// Reads the text (after any byte order mark) into the scratch forest as the layer.
void ReadLayerText(Forest& scratch, const std::string& layer, const char* text, size_t length);
// Reads the text as ReadLayerText does, puts the values of kept (a layer's top-level section, when not null) on
// top at the same paths, and then replays the journal (which drops the changes that give way to the file's).
void BuildWantedLayer(Forest& scratch, const std::string& layer, const char* text, size_t length,
                      const KeyRoot* kept, LayerJournal& journal);

// Brings the layer in memory (its top-level section) to the wanted one (null: none, so that every value goes)
// in place: sections stay as records, so that a section handed out earlier stays valid, while values are added,
// changed and removed. Each value that changed is appended to changes when it is not null.
void BringLayerTo(Forest& memory, KeyRoot* layer, const KeyRoot* wanted, std::vector<ValueChange>* changes);

}  // namespace navconfig

#endif
