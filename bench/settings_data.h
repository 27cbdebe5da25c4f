// Deterministic settings files shaped like real ones, for the benchmarks of loading and reading layers.
//
// Every section holds 20 keys. Sections are nested two levels ("[Map\Night]": groups of 10 subsections) or
// plain ("[MapNight]"). Values: about 45 % decimal integers, 15 % hexadecimal ones, 40 % strings of 5 to 40
// characters. Names are CamelCase words. The text is in the order the library's writer produces (names
// compared without case), and is made section by section, so that a file of 100 MB never sits in memory.
#ifndef NAVCONFIG_BENCH_SETTINGS_DATA_H
#define NAVCONFIG_BENCH_SETTINGS_DATA_H

#include <doroutil/strutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace benchdata {

constexpr int kKeysPerSection = 20;
constexpr int kSubsectionsPerGroup = 10;

// A read of one value: the section as a read names it ("Map\Night" or "MapNight") and the key.
struct Read {
  std::string section;
  std::string key;
};

inline const char* const kWords[] = {
    "Map",     "Night",  "Route",   "Speed",   "Cache",  "Display", "Poi",     "Walk",   "Mode",    "Lane",
    "Guide",   "Zoom",   "Traffic", "Voice",   "Level",  "Warning", "Icon",    "Enable", "Max",     "Min",
    "Color",   "Scheme", "Font",    "Size",    "Grid",   "Tile",    "Render",  "Label",  "Street",  "Name",
    "Gps",     "Trail",  "Timeout", "Buffer",  "Detail", "Auto",    "Show",    "Hide",   "Limit",   "Camera",
    "Search",  "Radius", "Update",  "Server",  "Port",   "Sound",   "Volume",  "Track",  "History", "Units"};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];

inline bool LessNoCase(const std::string& a, const std::string& b) {
  return SpecialChar_stricmp(a.c_str(), b.c_str()) < 0;
}

inline std::string Folded(std::string s) {
  for (auto& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

// count names of minWords to maxWords words, distinct without regard to case, sorted as the writer sorts.
inline std::vector<std::string> UniqueNames(std::mt19937& rng, int count, int minWords, int maxWords) {
  std::set<std::string> seen;
  std::vector<std::string> names;
  while (static_cast<int>(names.size()) < count) {
    std::string name;
    const int words = minWords + static_cast<int>(rng() % static_cast<unsigned>(maxWords - minWords + 1));
    for (int w = 0; w < words; ++w) name += kWords[rng() % kWordCount];
    // Short names run out; a number keeps them apart as in "Display2".
    if (seen.count(Folded(name))) name += std::to_string(rng() % 1000);
    if (seen.insert(Folded(name)).second) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), LessNoCase);
  return names;
}

inline std::string ValueText(std::mt19937& rng) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-:/\\";
  const unsigned kind = rng() % 100;
  if (kind < 45) return std::to_string(static_cast<int>(rng() % 200000) - (rng() % 10 == 0 ? 100000 : 0));
  if (kind < 60) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(rng()));
    return hex;
  }
  std::string s = "\"";
  const int length = 5 + static_cast<int>(rng() % 36);
  for (int i = 0; i < length; ++i) s += kChars[rng() % (sizeof kChars - 1)];
  return s + "\"";
}

// The header and value lines of one section; its reads go to reads when given.
inline void SectionText(std::mt19937& rng, const std::string& header, std::string& out, std::vector<Read>* reads) {
  out += "[" + header + "]\n";
  for (const std::string& key : UniqueNames(rng, kKeysPerSection, 2, 4)) {
    out += "\"" + key + "\"=" + ValueText(rng) + "\n";
    if (reads) reads->push_back({header, key});
  }
  out += "\n";
}

// Makes a file of nestedKeys keys in nested sections and plainKeys keys in plain ones and hands it on in
// pieces of about a section group each. The reads of every value go to reads when given.
inline void MakeSettings(long nestedKeys, long plainKeys, uint32_t seed,
                         const std::function<void(const std::string&)>& sink, std::vector<Read>* reads = nullptr) {
  const long groups = nestedKeys / (kKeysPerSection * kSubsectionsPerGroup);
  const long plains = plainKeys / kKeysPerSection;
  std::mt19937 names(seed);
  std::vector<std::string> tops = UniqueNames(names, static_cast<int>(groups + plains), 1, 3);
  // Which top-level names are groups: spread over the sorted list, as real files mix them.
  std::vector<bool> isGroup(tops.size(), false);
  std::vector<size_t> order(tops.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), names);
  for (long g = 0; g < groups; ++g) isGroup[order[static_cast<size_t>(g)]] = true;

  std::string piece;
  for (size_t t = 0; t < tops.size(); ++t) {
    std::mt19937 rng(seed * 1000003u + static_cast<uint32_t>(t));
    piece.clear();
    if (!isGroup[t]) {
      SectionText(rng, tops[t], piece, reads);
    } else {
      for (const std::string& sub : UniqueNames(rng, kSubsectionsPerGroup, 1, 2))
        SectionText(rng, tops[t] + "\\" + sub, piece, reads);
    }
    sink(piece);
  }
}

inline std::string MakeSettingsText(long nestedKeys, long plainKeys, uint32_t seed, std::vector<Read>* reads = nullptr) {
  std::string text;
  MakeSettings(nestedKeys, plainKeys, seed, [&](const std::string& piece) { text += piece; }, reads);
  return text;
}

// The same settings as a text in the library's order, in an order a person might give them: the keys of each
// section shuffled, one section in eight split in two headers of its own, and the sections in random order.
// Without shuffleKeys the keys of each header stay in the library's order (sections moved about by hand).
inline std::string HandOrder(const std::string& text, uint32_t seed, bool shuffleKeys = true) {
  std::mt19937 rng(seed);
  std::vector<std::vector<std::string>> sections;  // each a header line and its value lines
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] == '[') sections.emplace_back();
    if (!sections.empty()) sections.back().push_back(line);
  }
  std::vector<std::vector<std::string>> blocks;
  for (auto& s : sections) {
    if (shuffleKeys) std::shuffle(s.begin() + 1, s.end(), rng);
    const size_t split = rng() % 8 == 0 ? 1 + (s.size() - 1) / 2 : s.size();
    blocks.emplace_back(s.begin(), s.begin() + static_cast<long>(split));
    if (split < s.size()) {
      blocks.push_back({s[0]});
      blocks.back().insert(blocks.back().end(), s.begin() + static_cast<long>(split), s.end());
    }
  }
  std::shuffle(blocks.begin(), blocks.end(), rng);
  std::string out;
  for (const auto& b : blocks) {
    for (const auto& line : b) out += line + "\n";
    out += "\n";
  }
  return out;
}

// One section of that many keys, in the library's order; the keys go to keys when given.
inline std::string OneSectionText(const std::string& header, int count, uint32_t seed,
                                  std::vector<std::string>* keys = nullptr) {
  std::mt19937 rng(seed);
  std::string out = "[" + header + "]\n";
  for (const std::string& key : UniqueNames(rng, count, 2, 4)) {
    out += "\"" + key + "\"=" + ValueText(rng) + "\n";
    if (keys) keys->push_back(key);
  }
  return out + "\n";
}

}  // namespace benchdata

#endif
