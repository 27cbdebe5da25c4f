// LayerLoader: reads a layer's text into a forest in one pass over its lines (cfg/scanner.h), whole or from its
// file in pieces, making the layer's sections as headers name them and linking values into their lists. Values
// in the order the writer gives them are appended without a search and without indexing (a section's table is
// made when it is first needed); any other line is stored as a write would store it.
#ifndef NAVCONFIG_SRC_STORE_LAYER_LOADER_H
#define NAVCONFIG_SRC_STORE_LAYER_LOADER_H

#include <platform/os.h>

#include <cstddef>
#include <string>

#include "store/forest.h"

namespace navconfig {

class LayerLoader {
 public:
  explicit LayerLoader(Forest& forest) : m_forest(forest) {}

  // A whole text (a byte order mark before it skipped), carved from a block of its own.
  void LoadText(const char* layerName, const char* text, size_t length);
  // An open file, read in pieces into a block of its own. When the file cannot be read to its end, what was
  // read of a layer that was not in memory before is dropped again, so that a save does not write the part.
  // text (when not null) receives the file's bytes.
  platform::Status LoadFile(const char* layerName, platform::FileReader& reader, std::string* text = nullptr);
  // A text's lines (after any byte order mark) into the forest, carved from the current block when there is
  // one, else from the heap.
  void Parse(const char* layerName, const char* text, size_t length);

 private:
  Forest& m_forest;
};

}  // namespace navconfig

#endif
