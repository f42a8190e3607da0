#include "host/acq/sim/byte_lookup.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

void lookupOneByOne(const std::uint8_t* index, const std::uint8_t* table, std::uint8_t* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = table[index[i]];
}

#if defined(__x86_64__)
#define COLC_BYTE_PERMUTES __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Two two-register permutes look the indices' low seven bits up in either
// half of the table; each index's top bit picks the half.
COLC_BYTE_PERMUTES inline __m512i lookup64(__m512i index, const __m512i (&table)[4]) {
  const __m512i low = _mm512_permutex2var_epi8(table[0], index, table[1]);
  const __m512i high = _mm512_permutex2var_epi8(table[2], index, table[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// The last partial block loads and stores under a mask, so nothing outside
// [0, n) is touched.
COLC_BYTE_PERMUTES void lookupByPermutes(const std::uint8_t* index, const std::uint8_t* table, std::uint8_t* out,
                                         std::size_t n) {
  const __m512i quarters[4] = {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
                               _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)};
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) _mm512_storeu_si512(out + i, lookup64(_mm512_loadu_si512(index + i), quarters));
  if (i < n) {
    const __mmask64 rest = _cvtu64_mask64(~0ULL >> (64 - (n - i)));
    _mm512_mask_storeu_epi8(out + i, rest, lookup64(_mm512_maskz_loadu_epi8(rest, index + i), quarters));
  }
}
#endif

}  // namespace

kcByteLookup kfByteLookup() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw")) return lookupByPermutes;
#endif
  return lookupOneByOne;
}
