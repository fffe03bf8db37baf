#include "ChecksumLoops.h"

#include <zlib.h>

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#define PLINDAR_X86_64 1
#endif

namespace accuraterip {

namespace {

#ifdef PLINDAR_X86_64
#define PLINDAR_CLMUL __attribute__((target("pclmul,sse4.1")))

PLINDAR_CLMUL __m128i Load(const void *at) {
  return _mm_loadu_si128(static_cast<const __m128i *>(at));
}

// a folded forward by the distance the constants k stand for, plus b.
PLINDAR_CLMUL __m128i Fold(__m128i a, __m128i k, __m128i b) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), b);
}

// CRC-32 by folding 64 bytes at a time with carry-less multiplication (the method of Intel's
// paper on CRC computation with PCLMULQDQ), constants for the reflected polynomial 0xEDB88320.
// size is a multiple of 16, at least 64; crc is the register, not the inverted result.
PLINDAR_CLMUL uint32_t FoldCrc(const uint8_t *p, std::size_t size, uint32_t crc) {
  alignas(16) static const uint64_t Fold4[2] = {0x0154442bd4, 0x01c6e41596};
  alignas(16) static const uint64_t Fold1[2] = {0x01751997d0, 0x00ccaa009e};
  alignas(16) static const uint64_t To64[2] = {0x0163cd6124, 0};
  alignas(16) static const uint64_t Barrett[2] = {0x01db710641, 0x01f7011641};
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += 64;
  size -= 64;
  __m128i k = Load(Fold4);
  for (; size >= 64; p += 64, size -= 64) {
    x1 = Fold(x1, k, Load(p));
    x2 = Fold(x2, k, Load(p + 16));
    x3 = Fold(x3, k, Load(p + 32));
    x4 = Fold(x4, k, Load(p + 48));
  }
  k = Load(Fold1);
  x1 = Fold(Fold(Fold(x1, k, x2), k, x3), k, x4);
  for (; size >= 16; p += 16, size -= 16)
    x1 = Fold(x1, k, Load(p));
  // 128 bits to 64, then Barrett reduction to 32.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
  k = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(To64));
  x1 =
      _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), _mm_srli_si128(x1, 4));
  k = Load(Barrett);
  __m128i reduced = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10);
  reduced = _mm_clmulepi64_si128(_mm_and_si128(reduced, low32), k, 0x00);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, reduced), 1));
}

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}
#endif

} // namespace

uint32_t Crc32(uint32_t crc, const uint8_t *data, std::size_t size) {
#ifdef PLINDAR_X86_64
  if (size >= 64 && HasCarrylessMultiply()) {
    const std::size_t folded = size & ~std::size_t{15};
    crc = ~FoldCrc(data, folded, ~crc);
    data += folded;
    size -= folded;
  }
#endif
  return static_cast<uint32_t>(crc32_z(crc, data, size));
}

void SumSamples(const uint8_t *data, std::size_t count, uint32_t weight, TSampleSums &sums) {
  std::size_t i = 0;
  uint32_t low = 0, high = 0;
  int32_t largest = sums.Largest, smallest = sums.Smallest;
#ifdef PLINDAR_X86_64
  // Four samples at a time (SSE2, which every x86-64 processor has): the 64-bit products of
  // the even and the odd samples, their low and high halves summed in separate 32-bit lanes.
  __m128i sumsOf = _mm_setzero_si128(), most = _mm_setzero_si128(), least = _mm_setzero_si128();
  __m128i even = _mm_set_epi32(0, int(weight + 2), 0, int(weight));
  __m128i odd = _mm_set_epi32(0, int(weight + 3), 0, int(weight + 1));
  const __m128i four = _mm_set_epi32(0, 4, 0, 4);
  for (; i + 4 <= count; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 4 * i));
    sumsOf = _mm_add_epi32(
        sumsOf, _mm_add_epi32(_mm_mul_epu32(v, even), _mm_mul_epu32(_mm_srli_epi64(v, 32), odd)));
    even = _mm_add_epi32(even, four);
    odd = _mm_add_epi32(odd, four);
    most = _mm_max_epi16(most, v);
    least = _mm_min_epi16(least, v);
  }
  alignas(16) uint32_t lanes[4];
  alignas(16) int16_t mosts[8], leasts[8];
  _mm_store_si128(reinterpret_cast<__m128i *>(lanes), sumsOf);
  _mm_store_si128(reinterpret_cast<__m128i *>(mosts), most);
  _mm_store_si128(reinterpret_cast<__m128i *>(leasts), least);
  low = lanes[0] + lanes[2];
  high = lanes[1] + lanes[3];
  largest = std::max<int32_t>(largest, *std::max_element(mosts, mosts + 8));
  smallest = std::min<int32_t>(smallest, *std::min_element(leasts, leasts + 8));
#endif
  for (; i < count; ++i) {
    const uint8_t *at = data + 4 * i;
    const uint32_t sample =
        at[0] | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
    const uint64_t product = uint64_t{sample} * (weight + static_cast<uint32_t>(i));
    low += static_cast<uint32_t>(product);
    high += static_cast<uint32_t>(product >> 32);
    for (const int16_t value : {static_cast<int16_t>(sample), static_cast<int16_t>(sample >> 16)}) {
      largest = std::max<int32_t>(largest, value);
      smallest = std::min<int32_t>(smallest, value);
    }
  }
  sums.Low += low;
  sums.High += high;
  sums.Largest = largest;
  sums.Smallest = smallest;
}

} // namespace accuraterip
