// The text of a layer's file from its tree: each section that holds values, depth first in list order, with
// the text of a section that did not change since the last save taken as it was then.
#include "store/layer_text.h"

#include <string>

#include "cfg/document.h"
#include "cfg/format.h"
#include "store/keytree.h"
#include "store/tree_index.h"

namespace navconfig {

namespace {

static_assert(cfg::kMaxHeaderText == keytree::kMaxPath, "a header is cut where a path is");

// The header line and value lines of one section (nothing for a section without values).
void AppendSectionText(std::string& out, const KeyRoot* s, const std::string& header) {
  if (!s->values) return;
  cfg::AppendHeaderLine(out, header);
  for (const KeyValue* v = s->values; v; v = v->next) {
    if (v->type & KEYVALUE_TYPE_INTEGER)
      cfg::AppendIntegerLine(out, v->name, v->intValue, (v->type & 0xF0) == KEYVALUE_FLAG_HEX);
    else if ((v->type & KEYVALUE_TYPE_STRING) && v->strValue)
      cfg::AppendStringLine(out, v->name, v->strValue);
  }
  cfg::AppendSectionEnd(out);
}

// The text of every subsection of section, whose header text is parent.
void AppendSubsections(std::string& out, const KeyRoot* section, const std::string& parent, TreeIndex* index) {
  std::string header;
  for (const KeyRoot* s = section->children; s; s = s->next) {
    if (!cfg::SubsectionHeader(parent, s->name, header)) continue;
    SectionInfo* info = index ? index->FindSection(s) : nullptr;
    if (!info) {
      AppendSectionText(out, s, header);
    } else {
      if (!info->textValid) {
        info->text.clear();
        AppendSectionText(info->text, s, header);
        info->textValid = true;
      }
      out += info->text;
    }
    AppendSubsections(out, s, header, index);
  }
}

// Keeps every subsection of section (whose header text is parent) and sets each of their values that the writer
// would write.
void SetSubsections(cfg::Document& document, const KeyRoot* section, const std::string& parent) {
  std::string header;
  for (const KeyRoot* s = section->children; s; s = s->next) {
    if (!cfg::SubsectionHeader(parent, s->name, header)) continue;
    const std::string_view path = std::string_view(header).substr(1);  // as a read of the header takes it
    document.KeepSection(path);
    for (const KeyValue* v = s->values; v; v = v->next) {
      const char* name = v->name ? v->name : "";
      if (v->type & KEYVALUE_TYPE_INTEGER)
        document.SetInteger(path, name, v->intValue, (v->type & 0xF0) == KEYVALUE_FLAG_HEX);
      else if ((v->type & KEYVALUE_TYPE_STRING) && v->strValue)
        document.SetString(path, name, v->strValue);
    }
    SetSubsections(document, s, header);
  }
}

}  // namespace

std::string EditedLayerText(std::string_view fileText, const KeyRoot* layer, size_t headerLimit) {
  // A deleted layer's file is emptied.
  if (!layer) return {};
  cfg::Document document(fileText, headerLimit);
  document.Sync();
  SetSubsections(document, layer, cfg::kLayerHeader);
  document.DropUnset();
  return document.Text();
}

std::string LayerText(const KeyRoot* layer, size_t expectedSize, TreeIndex* index) {
  std::string text;
  text.reserve(expectedSize + expectedSize / 8 + 1024);
  if (layer) AppendSubsections(text, layer, cfg::kLayerHeader, index);
  return text;
}

}  // namespace navconfig
