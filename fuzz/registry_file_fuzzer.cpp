// Fuzzing the registry store's file reader: whatever bytes a store file holds, reading them must not crash;
// a text that it takes must be written into one that reads back to the same tree, and that tree must be
// written the same way again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "registry_file.h"

namespace {

// Larger inputs only cost time; the reader has no size limit of its own.
constexpr size_t kMaxInput = 64 * 1024;

[[noreturn]] void Fail(const char* what, const std::string& first, const std::string& second) {
  std::fprintf(stderr, "%s\n--- first (%zu bytes)\n%s\n--- second (%zu bytes)\n%s\n", what, first.size(), first.c_str(),
               second.size(), second.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform::reg::storefile;
  if (size > kMaxInput) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Node root;
  size_t badLine = 0;
  if (!Parse(text, root, badLine)) {
    if (badLine == 0) Fail("a refused text without the number of its bad line", std::string(text), "");
    return 0;
  }
  const std::string first = Serialize(root);
  Node again;
  if (!Parse(first, again, badLine)) Fail("the written text is refused", std::string(text), first);
  const std::string second = Serialize(again);
  if (first != second) Fail("the tree read back is written differently", first, second);
  return 0;
}
