// Helpers that the commands share: names, numbers and the catalogue.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <unordered_map>

#include "tool.h"

namespace navtool {

void Warn(const std::string& message) { std::cerr << "navconfig: warning: " << message << '\n'; }
void Note(const std::string& message) { std::cerr << "navconfig: note: " << message << '\n'; }

std::string LayerOf(std::string_view path) {
  size_t start = path.find_first_not_of(" \\");
  if (start == std::string_view::npos) return std::string();
  path.remove_prefix(start);
  return std::string(path.substr(0, path.find('\\')));
}

std::string NormalPath(const std::string& path) {
  std::string out;
  for (size_t at = 0; at <= path.size();) {
    const size_t end = std::min(path.find('\\', at), path.size());
    if (end > at) {
      if (!out.empty()) out += '\\';
      out.append(path, at, end - at);
    }
    at = end + 1;
  }
  return out;
}

SettingId IdOf(const std::string& section, const std::string& key) {
  return {Folded(NormalPath(section)), Folded(key)};
}

std::string Folded(std::string_view text) {
  std::string out(text);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return out;
}

bool EqualFolded(std::string_view a, std::string_view b) { return a.size() == b.size() && Folded(a) == Folded(b); }

NumberParse ParseNumber(std::string_view text, bool hexDigits, Number* out) {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  bool hex = hexDigits;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return NumberParse::NotANumber;
  uint64_t value = 0;
  bool tooBig = false;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return NumberParse::NotANumber;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) tooBig = true, value = 0xFFFFFFFFull + 1;
  }
  if (tooBig || !FitsIn32Bits(value, negative)) return NumberParse::OutOfRange;
  const uint32_t bits = static_cast<uint32_t>(negative ? 0 - value : value);
  out->value = static_cast<long>(static_cast<int32_t>(bits));
  out->hex = hex;
  return NumberParse::Ok;
}

std::string FormatInt(long value, bool hex) {
  char text[32];
  if (hex) std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(static_cast<uint32_t>(value)));
  else std::snprintf(text, sizeof text, "%ld", value);
  return text;
}

// ---- The catalogue ----

const std::vector<Default>& AllDefaults() {
  static const std::vector<Default> all = [] {
    std::vector<Default> out;
    const int count = Config_GetDefaultCount();
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      Default d{};
      if (!Config_GetDefaultAt(i, &d.info)) continue;
      d.key = d.info.key;
      const size_t slash = d.key.find('\\');
      d.section = d.key.substr(0, slash);
      d.name = slash == std::string::npos ? std::string() : d.key.substr(slash + 1);
      out.push_back(std::move(d));
    }
    return out;
  }();
  return all;
}

const std::vector<EffectiveDefault>& EffectiveDefaults() {
  static const std::vector<EffectiveDefault> effective = [] {
    std::unordered_map<std::string, const Default*> priority;  // folded key -> the priority entry read
    for (const Default& d : AllDefaults())
      if (d.info.priority && !d.info.shadowed) priority[Folded(d.key)] = &d;
    std::vector<EffectiveDefault> out;
    std::unordered_map<std::string, bool> placed;
    for (const Default& d : AllDefaults()) {
      const std::string key = Folded(d.key);
      if (!d.info.priority) {
        if (!d.info.shadowed) {
          out.push_back({&d, nullptr});
        } else if (auto it = priority.find(key); it != priority.end() && !placed[key]) {
          out.push_back({it->second, &d});
          placed[key] = true;
        }
      } else if (!d.info.shadowed && !placed[key]) {
        out.push_back({&d, nullptr});
      }
    }
    return out;
  }();
  return effective;
}

std::optional<ConfigDefaultInfo> FindDefault(std::string_view key) {
  ConfigDefaultInfo info{};
  const std::string text(key);
  if (!Config_FindDefaultInfo(text.c_str(), &info)) return std::nullopt;
  return info;
}

namespace {

// Edit distance counting a swap of two neighbours as one edit, on folded texts; a distance above bound is given
// as bound + 1, found as soon as one row of the table holds nothing within the bound (no later row can then).
size_t Distance(std::string_view a, std::string_view b, size_t bound) {
  const size_t n = a.size(), m = b.size();
  // Three rows of the table: two back, the last, and the one being filled.
  thread_local std::vector<size_t> rows;
  rows.assign(3 * (m + 1), 0);
  size_t* twoBack = rows.data();
  size_t* last = twoBack + m + 1;
  size_t* row = last + m + 1;
  for (size_t j = 0; j <= m; ++j) last[j] = j;
  for (size_t i = 1; i <= n; ++i) {
    row[0] = i;
    size_t least = i;
    for (size_t j = 1; j <= m; ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) row[j] = std::min(row[j], twoBack[j - 2] + 1);
      least = std::min(least, row[j]);
    }
    if (least > bound) return bound + 1;
    std::swap(twoBack, last);
    std::swap(last, row);
  }
  return std::min(last[m], bound + 1);
}

// The bytes a text holds, each as one of 64 bits (bytes that share a bit count as one).
uint64_t BytesHeld(std::string_view text) {
  uint64_t bits = 0;
  for (const char c : text) bits |= uint64_t{1} << (static_cast<unsigned char>(c) & 63);
  return bits;
}

// The bits set, counted in the word itself (the baseline processor has no instruction for it).
size_t Bits(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555;
  x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<size_t>((x * 0x0101010101010101) >> 56);
}

// At most the edit distance of two texts, told from their bytes: each byte that one text holds and the other does
// not needs an edit of its own, and one edit (a substitution) serves at most one such byte of each.
size_t BytesApart(uint64_t a, uint64_t b) { return std::max(Bits(a & ~b), Bits(b & ~a)); }

// Candidates with their folded forms and bytes, made once for the catalogue's long lists.
struct Candidates {
  std::vector<std::string> names, folded;
  std::vector<uint64_t> bytes;
  explicit Candidates(std::vector<std::string> all) : names(std::move(all)) {
    for (const std::string& name : names) {
      folded.push_back(Folded(name));
      bytes.push_back(BytesHeld(folded.back()));
    }
  }
};

std::string Nearest(std::string_view text, const Candidates& candidates) {
  const std::string folded = Folded(text);
  const uint64_t bytes = BytesHeld(folded);
  const size_t limit = std::max<size_t>(2, folded.size() / 5);
  size_t best = limit + 1;
  const std::string* found = nullptr;
  for (size_t i = 0; i < candidates.names.size() && best > 0; ++i) {
    // Only a candidate nearer than the best so far counts: the first of equally near ones is kept.
    const size_t size = candidates.folded[i].size();
    if ((size > folded.size() ? size - folded.size() : folded.size() - size) >= best ||
        BytesApart(bytes, candidates.bytes[i]) >= best)
      continue;
    const size_t distance = Distance(folded, candidates.folded[i], best - 1);
    if (distance < best) {
      best = distance;
      found = &candidates.names[i];
    }
  }
  return found ? *found : std::string();
}

}  // namespace

std::string NearestOf(std::string_view text, const std::vector<std::string>& candidates) {
  return Nearest(text, Candidates(candidates));
}

std::string NearestSetting(std::string_view key) {
  static const Candidates keys = [] {
    std::vector<std::string> out;
    for (const EffectiveDefault& e : EffectiveDefaults()) out.push_back(e.entry->key);
    return Candidates(std::move(out));
  }();
  return Nearest(key, keys);
}

namespace {

const std::vector<std::string>& CatalogueSections() {
  static const std::vector<std::string> sections = [] {
    std::vector<std::string> out;
    for (const Default& d : AllDefaults())
      if (std::none_of(out.begin(), out.end(), [&](const std::string& s) { return EqualFolded(s, d.section); }))
        out.push_back(d.section);
    return out;
  }();
  return sections;
}

}  // namespace

std::string NearestSection(std::string_view section) {
  static const Candidates sections(CatalogueSections());
  return Nearest(section, sections);
}

std::optional<std::string> CatalogueSection(std::string_view section) {
  for (const std::string& s : CatalogueSections())
    if (EqualFolded(s, section)) return s;
  return std::nullopt;
}

}  // namespace navtool
