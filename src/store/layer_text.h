// The text of a layer's file, as the writer (cfg/format.h) makes it from the layer's tree.
#ifndef NAVCONFIG_SRC_STORE_LAYER_TEXT_H
#define NAVCONFIG_SRC_STORE_LAYER_TEXT_H

#include <config/keytree.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace navconfig {

class TreeIndex;

// The text of a layer's file from the layer's top-level section (null: an empty text). expectedSize: room to
// set aside for the text at once. With an index, each section's text is kept beside it (SectionInfo::text)
// and made again only when the section changed.
std::string LayerText(const KeyRoot* layer, size_t expectedSize = 0, TreeIndex* index = nullptr);
// The text of a layer's file made by editing the text the file holds (cfg::Document): each value of the layer is
// set (a line that holds it already keeps its bytes), each key that the layer does not hold goes, and every other
// line stays. Of a text the writer made, the same as LayerText. headerLimit: the bytes of a header's path that a
// read of the layer keeps.
std::string EditedLayerText(std::string_view fileText, const KeyRoot* layer, size_t headerLimit);

}  // namespace navconfig

#endif
