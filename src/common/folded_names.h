// Names that compare without regard to ASCII case: their hash (FoldedHash, names equal without regard to case
// hash alike) and their comparison a word (eight bytes) at a time. The store's index and the defaults tables
// key and compare their names with them. Inline, and the comparisons always so: every lookup hashes and compares
// names, and a call would cost more than the work.
#ifndef NAVCONFIG_SRC_COMMON_FOLDED_NAMES_H
#define NAVCONFIG_SRC_COMMON_FOLDED_NAMES_H

#include <doroutil/strutil.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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

// Whether the first n bytes of two texts agree, compared eight bytes at a time by same(wordOfA, wordOfB) (both
// texts hold at least n bytes). A last piece shorter than a word overlaps the word before it; texts shorter
// than a word are compared as words padded with zero bytes, so same must hold for equal padding.
template <typename Same>
inline bool EqualWords(const char* a, const char* b, size_t n, Same same) {
  uint64_t wa = 0, wb = 0;
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&wa, a + i, 8);
      std::memcpy(&wb, b + i, 8);
      if (!same(wa, wb)) return false;
    }
    std::memcpy(&wa, a + n - 8, 8);
    std::memcpy(&wb, b + n - 8, 8);
    return same(wa, wb);
  }
  if (n >= 4) {
    uint32_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 4);
    std::memcpy(&a1, a + n - 4, 4);
    std::memcpy(&b0, b, 4);
    std::memcpy(&b1, b + n - 4, 4);
    return same(uint64_t{a0} << 32 | a1, uint64_t{b0} << 32 | b1);
  }
  std::memcpy(&wa, a, n);
  std::memcpy(&wb, b, n);
  return same(wa, wb);
}
// A copy of the text with its ASCII letters folded to lower case, as names are compared and kept in tables.
inline std::string FoldedText(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldAscii(c);
  return out;
}

// Whether the first n bytes of two texts are equal without regard to ASCII case (both hold at least n bytes).
// Inline, a word at a time: lookups compare names with it, and names usually agree byte for byte, so that a
// word is folded only where the two differ.
inline bool EqualsIgnoringCase(const char* a, const char* b, size_t n) {
  // Equal, or apart only in bit 5 (0x20) of bytes that are letters in either case.
  return EqualWords(a, b, n, [](uint64_t wa, uint64_t wb) {
    const uint64_t apart = wa ^ wb;
    if (apart == 0) return true;
    constexpr uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    if (apart & ~(0x20 * ones)) return false;
    const uint64_t lower = (wa | 0x20 * ones) & ~highs;
    const uint64_t letter = (lower + (0x80 - 'a') * ones) & ~(lower + (0x80 - 'z' - 1) * ones) & ~wa & highs;
    return ((apart << 2) & ~letter) == 0;
  });
}

}  // namespace navconfig

#endif
