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
  if (tooBig || (negative && value > 0x80000000ull)) return NumberParse::OutOfRange;
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

// Edit distance counting a swap of two neighbours as one edit, on folded texts.
size_t Distance(const std::string& a, const std::string& b) {
  const size_t n = a.size(), m = b.size();
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

}  // namespace

std::string NearestOf(std::string_view text, const std::vector<std::string>& candidates) {
  const std::string folded = Folded(text);
  const size_t limit = std::max<size_t>(2, folded.size() / 5);
  size_t best = limit + 1;
  std::string found;
  for (const std::string& candidate : candidates) {
    const std::string c = Folded(candidate);
    if (c.size() > folded.size() + limit || folded.size() > c.size() + limit) continue;
    const size_t distance = Distance(folded, c);
    if (distance < best) {
      best = distance;
      found = candidate;
    }
  }
  return found;
}

std::string NearestSetting(std::string_view key) {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> out;
    for (const EffectiveDefault& e : EffectiveDefaults()) out.push_back(e.entry->key);
    return out;
  }();
  return NearestOf(key, keys);
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

std::string NearestSection(std::string_view section) { return NearestOf(section, CatalogueSections()); }

std::optional<std::string> CatalogueSection(std::string_view section) {
  for (const std::string& s : CatalogueSections())
    if (EqualFolded(s, section)) return s;
  return std::nullopt;
}

}  // namespace navtool
