// Copies of blocks of doubles that also tell whether every value copied was
// finite. Internal to the equations: the evaluation moves its states and
// derivatives in and out of its record with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace vindrel::equations {

// Marks a value that is not finite, that is, whose exponent bits are all ones:
// adding one to an exponent field of all ones carries into the sign bit, and
// into it only. The marks of many values are combined with |, and the top bit
// of the result tells whether any was not finite. Branch-free, so that the
// compiler tests several values at once.
inline constexpr std::uint64_t kExponentBits = 0x7FF0000000000000;
inline constexpr std::uint64_t kExponentOne = 0x0010000000000000;

inline std::uint64_t non_finite_mark(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & kExponentBits) + kExponentOne;
}

inline bool marks_finite(std::uint64_t marks) { return (marks >> 63) == 0; }

// The combined marks of `count` doubles stored from `values` on.
inline std::uint64_t block_marks(const unsigned char* values, std::size_t count) {
  std::uint64_t marks = 0;
  for (std::size_t i = 0; i < count; ++i) {
    double value;
    std::memcpy(&value, values + i * sizeof value, sizeof value);
    marks |= non_finite_mark(value);
  }
  return marks;
}

// Copies kBytes bytes of doubles and returns their combined marks. A loop of
// 16-byte moves: the compiler would make a plain memcpy of this size a string
// instruction, whose start-up costs more than the whole loop; the marks cost
// nothing beside the moves.
template <std::size_t kBytes>
inline std::uint64_t copy_block(unsigned char* to, const unsigned char* from) {
  static_assert(kBytes % sizeof(double) == 0, "a block holds whole doubles");
  constexpr std::size_t kPairs = kBytes / 16;
  std::uint64_t marks = 0;
#if defined(__x86_64__)
  const __m128i exponent = _mm_set1_epi64x(static_cast<long long>(kExponentBits));
  const __m128i one = _mm_set1_epi64x(static_cast<long long>(kExponentOne));
  __m128i pair_marks = _mm_setzero_si128();
  for (std::size_t i = 0; i < kPairs; ++i) {
    const __m128d pair = _mm_loadu_pd(reinterpret_cast<const double*>(from + 16 * i));
    _mm_storeu_pd(reinterpret_cast<double*>(to + 16 * i), pair);
    pair_marks = _mm_or_si128(pair_marks,
                              _mm_add_epi64(_mm_and_si128(_mm_castpd_si128(pair), exponent), one));
  }
  marks = static_cast<std::uint64_t>(_mm_cvtsi128_si64(pair_marks)) |
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pair_marks, pair_marks)));
#else
  std::memcpy(to, from, 16 * kPairs);
  marks = block_marks(from, 2 * kPairs);
#endif
  for (std::size_t at = 16 * kPairs; at < kBytes; at += sizeof(double)) {
    double value;
    std::memcpy(&value, from + at, sizeof value);
    std::memcpy(to + at, &value, sizeof value);
    marks |= non_finite_mark(value);
  }
  return marks;
}

}  // namespace vindrel::equations
