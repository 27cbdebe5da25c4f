// FoldedHash: the hash of a name with ASCII letters folded to lower case, so that names that are equal without
// regard to case hash alike. The store's index and the defaults tables key their names with it. Inline: every
// lookup hashes its names.
#ifndef NAVCONFIG_SRC_COMMON_FOLDED_HASH_H
#define NAVCONFIG_SRC_COMMON_FOLDED_HASH_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace navconfig {

namespace hash_detail {

constexpr uint64_t kMul = 0x9E3779B97F4A7C15ULL;

inline uint64_t Mix(uint64_t h) {
  h ^= h >> 32;
  h *= kMul;
  h ^= h >> 29;
  return h;
}

inline uint64_t NonZero(uint64_t h) { return h ? h : 1; }

}  // namespace hash_detail

// Never 0, so that tables may mark a free slot with 0. seed: a different hash of the same names.
inline uint64_t FoldedHash(const char* text, size_t length, uint64_t seed = 0) {
  // Bit 5 of every byte set: that folds ASCII letters to lower case (and a few other bytes onto each other,
  // which only makes such names share a hash), in one operation per word.
  constexpr uint64_t kFold = 0x2020202020202020ULL;
  // The last sixteen bytes (the first and last eight, overlapping, in a shorter name) and every sixteen bytes
  // before them: a name of up to sixteen bytes is hashed without a loop.
  uint64_t h = seed ^ (length * hash_detail::kMul);
  uint64_t a = 0, b = 0;
  if (length > 16) {
    for (size_t i = 0; i + 16 < length; i += 16) {
      uint64_t w0, w1;
      std::memcpy(&w0, text + i, 8);
      std::memcpy(&w1, text + i + 8, 8);
      h = std::rotl((h ^ (w0 | kFold)) * hash_detail::kMul ^ (w1 | kFold), 29) * hash_detail::kMul;
    }
    std::memcpy(&a, text + length - 16, 8);
    std::memcpy(&b, text + length - 8, 8);
  } else if (length >= 8) {
    std::memcpy(&a, text, 8);
    std::memcpy(&b, text + length - 8, 8);
  } else if (length >= 4) {
    uint32_t lo, hi;
    std::memcpy(&lo, text, 4);
    std::memcpy(&hi, text + length - 4, 4);
    a = lo;
    b = hi;
  } else if (length > 0) {
    a = static_cast<unsigned char>(text[0]) | static_cast<uint64_t>(static_cast<unsigned char>(text[length / 2])) << 8 |
        static_cast<uint64_t>(static_cast<unsigned char>(text[length - 1])) << 16;
  }
  h = (h ^ (a | kFold)) * hash_detail::kMul;
  h = std::rotl(h, 31) ^ (b | kFold);
  return hash_detail::NonZero(hash_detail::Mix(h * hash_detail::kMul));
}

}  // namespace navconfig

#endif
