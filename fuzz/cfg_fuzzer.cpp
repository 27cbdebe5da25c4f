// Fuzzing the .cfg reader and writer: whatever bytes a layer file holds, reading them must not crash, the
// tree must keep its lists sorted and its index true, and the text that the writer makes of the tree must
// read back to the same values of the same types in the same sections, with no line that a rewrite would
// lose, and be written the same way again. The same bytes, taken as writes through the setters' path, must
// read back from the writer's text as they were stored, whatever names and strings they hold; what the
// setters refuse must store nothing.
#include <doroutil/strutil.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cfg/format.h"
#include "store/configmgr.h"
#include "store/layer_text.h"

namespace {

// Larger inputs only cost time; the reader has no size limit of its own.
constexpr size_t kMaxInput = 64 * 1024;
constexpr const char* kLayer = "fuzz";
// The managers' environment: no folders (nothing is read or saved) and no built-in defaults.
navconfig::StoreEnvironment g_alone;

[[noreturn]] void Fail(const char* what, const std::string& first, const std::string& second) {
  std::fprintf(stderr, "%s\n--- first (%zu bytes)\n%s\n--- second (%zu bytes)\n%s\n", what, first.size(), first.c_str(),
               second.size(), second.c_str());
  std::abort();
}

// The layer's top-level section: the only one a single layer's text can create.
const KeyRoot* Layer(const CConfigMgr& mgr) {
  const KeyRoot* layer = mgr.Root();
  if (layer && (layer->next || std::strcmp(layer->name, kLayer) != 0)) Fail("a second top-level section", "", "");
  return layer;
}

// Sorted lists without equal names, and an index that finds every record.
void CheckTree(const CConfigMgr& mgr, const KeyRoot* first) {
  const navconfig::TreeIndex& index = mgr.Index();
  for (const KeyRoot* s = first; s; s = s->next) {
    if (s->next && SpecialChar_stricmp(s->name, s->next->name) >= 0) Fail("sections out of order", s->name, "");
    const navconfig::SectionInfo* info = index.FindSection(s);
    if (!info) Fail("a section missing from the index", s->name, "");
    for (const KeyValue* v = s->values; v; v = v->next) {
      if (v->next && SpecialChar_stricmp(v->name, v->next->name) >= 0) Fail("values out of order", v->name, "");
      if (index.FindValue(info, v->name, navconfig::TreeIndex::NameHash(v->name)) != v)
        Fail("a value missing from the index", v->name, "");
    }
    CheckTree(mgr, s->children);
  }
}

// Every value below the layer with its section path, type and content, one line each. Values held by the
// layer's own section (a header naming no section) have no place in a file and are left out. Strings are
// shown as the writer writes them, up to their first line break.
void Dump(const KeyRoot* section, const std::string& path, std::string& out) {
  for (const KeyRoot* s = section; s; s = s->next) {
    const std::string here = path + "\\" + s->name;
    for (const KeyValue* v = s->values; v; v = v->next) {
      out += here + " | " + v->name + " | " + std::to_string(v->type) + " | ";
      if ((v->type & 15) == KEYVALUE_TYPE_INTEGER) out += std::to_string(v->intValue);
      else if (v->strValue) out += "\"" + std::string(v->strValue, std::strcspn(v->strValue, "\r\n")) + "\"";
      out += '\n';
    }
    Dump(s->children, here, out);
  }
}

std::string TreeOf(const KeyRoot* layer) {
  std::string out;
  if (layer) Dump(layer->children, layer->name, out);
  return out;
}

// The tree read back from the text that the writer makes of it, against the tree as it is.
void CheckWrittenTextReadsBack(CConfigMgr& mgr) {
  const std::string tree = TreeOf(Layer(mgr));
  const std::string first = navconfig::LayerText(Layer(mgr));
  // The texts kept beside the sections give the same file, when made and when taken again.
  for (int round = 0; round < 2; ++round) {
    if (mgr.LayerText(kLayer) != first)
      Fail("the kept section texts differ from the written text", first, "");
  }

  // A line that the reader ignored would be missing from the second text.
  mgr.ReleaseTrees();
  mgr.ReadLayerText(kLayer, first.data(), first.size());
  CheckTree(mgr, mgr.Root());
  const std::string treeAgain = TreeOf(Layer(mgr));
  if (tree != treeAgain) Fail("the written text does not read back to the same tree", tree, treeAgain);
  const std::string second = navconfig::LayerText(Layer(mgr));
  if (first != second) Fail("the tree read back is written differently", first, second);
}

// Writes through the setters' path, their sections, keys and strings made of any bytes. A name that the
// checks refuse (a NUL byte counts: a caller holding names with lengths passes them whole) stores nothing
// and leaves a failed save with a reason; what they accept must read back from the file.
void CheckSetterWrites(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  CConfigMgr mgr(g_alone);
  mgr.SetSaveOnChange(false);
  while (in.remaining_bytes() > 0) {
    const std::string sections = in.ConsumeRandomLengthString(48);
    const std::string key = in.ConsumeRandomLengthString(48);
    const std::string value = in.ConsumeRandomLengthString(64);
    const int kind = in.ConsumeIntegralInRange(0, 2);
    const auto number = in.ConsumeIntegral<int32_t>();
    // A path naming the layer and no section in it is refused as well: the writer writes sections only.
    const bool refused = sections.find_first_not_of('\\') == std::string::npos ||
                         navconfig::cfg::SectionNamesFault(sections.data(), sections.size()) ||
                         navconfig::cfg::KeyNameFault(key.data(), key.size());
    if (sections.find('\0') != std::string::npos || key.find('\0') != std::string::npos) {
      if (!refused) Fail("a name holding a NUL byte is accepted", sections, key);
      continue;  // a C string cannot carry it
    }
    const std::string path = std::string(kLayer) + "\\" + sections;
    const std::string before = TreeOf(Layer(mgr));
    const long type = kind == 0 ? KEYVALUE_TYPE_STRING : KEYVALUE_TYPE_INTEGER | (kind == 2 ? KEYVALUE_FLAG_HEX : 0);
    const platform::Status stored = mgr.StoreValue(path.c_str(), key.c_str(), type, number, value.c_str(), nullptr);
    const navconfig::SaveStatus* status = mgr.LastSave(kLayer);
    if (refused) {
      if (TreeOf(Layer(mgr)) != before) Fail("a refused write stored something", path, key);
      if (stored.ok || stored.reason.empty() || !status || status->ok || status->reason != stored.reason)
        Fail("a refused write is not reported", path, key);
      continue;
    }
    if (!stored.ok || !mgr.FindValue(path.c_str(), key.c_str())) Fail("an accepted write stored nothing", path, key);
  }
  CheckTree(mgr, mgr.Root());
  CheckWrittenTextReadsBack(mgr);
}

}  // namespace

// The one-pass scanner of whole texts takes every line apart as the line parser does.
void CheckScanner(const char* text, size_t size) {
  std::vector<navconfig::cfg::ParsedLine> fast, reference;
  navconfig::cfg::ScanLines(text, size, fast);
  navconfig::cfg::ScanLinesOneByOne(text, size, reference);
  if (fast.size() != reference.size()) Fail("the scanner finds another number of lines", "", "");
  for (size_t i = 0; i < fast.size(); ++i) {
    const auto& a = fast[i];
    const auto& b = reference[i];
    if (a.kind != b.kind || a.name != b.name || a.nameLength != b.nameLength || a.isString != b.isString ||
        a.text != b.text || a.textLength != b.textLength || a.number != b.number || a.hex != b.hex)
      Fail("the scanner takes a line apart differently", std::string(b.name ? b.name : "", b.nameLength), "");
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  CheckScanner(reinterpret_cast<const char*>(data), size);
  CConfigMgr mgr(g_alone);
  mgr.ReadLayerText(kLayer, reinterpret_cast<const char*>(data), size);
  CheckTree(mgr, mgr.Root());
  CheckWrittenTextReadsBack(mgr);
  CheckSetterWrites(data, size);
  return 0;
}
