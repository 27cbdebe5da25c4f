// The registry store's tree of keys and values, and the text of its files (one file per root).
//
// The file, line by line (UTF-8):
//   ; navconfig registry 1                    the first line, always
//   [Software\Acme]                          a key: its path from the root (%XXXX for '%', '[', ']',
//                                             control characters and unpaired surrogates); every key has a
//                                             line, parents first, in name order; [] is the root itself
//   "Count"=dword:0000002a                    a REG_DWORD value of the key above
//   "Name"=sz:Route \"Nord\"\n2nd line        a REG_SZ value: \\ \" \r \n \0 escaped, \uXXXX for other
//                                             control characters and unpaired surrogates
//   ""=hex(3):00ff10                          any other type as raw bytes (the empty name is the default value)
// Lines starting with ';' are comments. An empty file is an empty store; anything else is a damaged file.
#ifndef NAVCONFIG_PLATFORM_POSIX_REGISTRY_FILE_H
#define NAVCONFIG_PLATFORM_POSIX_REGISTRY_FILE_H

#include <platform/registry.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::reg::storefile {

struct Value {
  std::u16string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> bytes;  // REG_SZ: UTF-16 units, always ending in one terminator
};

struct Node {
  std::u16string name;
  std::map<std::u16string, std::unique_ptr<Node>> children;  // by folded name
  std::map<std::u16string, Value> values;                    // by folded name
};

// Key names folded as the registry compares them (ASCII letters to lower case).
std::u16string Fold(std::u16string_view s);
// A sub-key path split at backslashes, empty parts left out.
std::vector<std::u16string> SplitPath(const char16_t* subKey);
Node* Child(Node* node, const std::u16string& name);
// The key at path (from the index from on) below node, or null.
Node* Walk(Node* node, const std::vector<std::u16string>& path, size_t from = 0);
// The key of that name below node, made when missing (*created tells).
Node* EnsureChild(Node* node, const std::u16string& name, bool* created = nullptr);
// The bytes a value of the type is kept as (REG_SZ always ends in a terminator); false for data that does not
// fit the type.
bool NormalizeData(uint32_t type, const uint8_t* data, uint32_t size, std::vector<uint8_t>& bytes);
// UTF-16 units of REG_SZ bytes.
std::u16string Units(const std::vector<uint8_t>& bytes);

// The text of a store file, and back; Parse is false (with the line number) for a damaged file.
std::string Serialize(const Node& root);
bool Parse(std::string_view text, Node& root, size_t& badLine);

}  // namespace platform::reg::storefile

#endif
