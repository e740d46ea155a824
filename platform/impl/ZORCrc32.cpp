#include "platform/impl/ZORCrc32.h"

#include <zlib.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZOR_CRC32_FOLDS 1
#include <immintrin.h>
#endif

namespace {

std::uint32_t Continue(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

#ifdef ZOR_CRC32_FOLDS

// Folding (Gopal et al., "Fast CRC computation for generic polynomials using PCLMULQDQ"): the
// message is a polynomial over GF(2), bit-reflected, and the CRC its remainder mod P. Four
// 128-bit lanes run 512 bits apart; a lane moves d bits on by two carry-less products of its
// halves with x^(d+32) mod P and x^(d-32) mod P, xored into the block d bits further. The lanes
// then fold into one (d = 128), the 128 bits into 64, and a Barrett reduction by P and
// mu = floor(x^64 / P) leaves the 32-bit remainder. Every constant is 33 bits, reflected.
struct FoldConstants {
  alignas(16) std::uint64_t by512[2] = {0x0154442bd4, 0x01c6e41596};
  alignas(16) std::uint64_t by128[2] = {0x01751997d0, 0x00ccaa009e};
  alignas(16) std::uint64_t to64[2] = {0x0163cd6124, 0x0000000000};
  alignas(16) std::uint64_t barrett[2] = {0x01db710641, 0x01f7011641};  // P, mu
};

__attribute__((target("pclmul,sse4.1"))) __m128i Load(const unsigned char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// One lane moved by the distance k holds and added to the block that follows it.
__attribute__((target("pclmul,sse4.1"))) __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// The bare register state (zlib's value complemented) over size bytes, size a multiple of 16 and
// at least 64.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldBlocks(const unsigned char* data,
                                                                  std::size_t size,
                                                                  std::uint32_t state) {
  static const FoldConstants k;
  __m128i lanes[4] = {Load(data), Load(data + 16), Load(data + 32), Load(data + 48)};
  lanes[0] = _mm_xor_si128(lanes[0], _mm_cvtsi32_si128(static_cast<int>(state)));
  const __m128i by512 = _mm_load_si128(reinterpret_cast<const __m128i*>(k.by512));
  std::size_t at = 64;
  for (; at + 64 <= size; at += 64)
    for (int lane = 0; lane < 4; ++lane)
      lanes[lane] = Fold(lanes[lane], by512, Load(data + at + 16 * lane));
  const __m128i by128 = _mm_load_si128(reinterpret_cast<const __m128i*>(k.by128));
  __m128i x = lanes[0];
  for (int lane = 1; lane < 4; ++lane) x = Fold(x, by128, lanes[lane]);
  for (; at + 16 <= size; at += 16) x = Fold(x, by128, Load(data + at));
  // 128 bits to 64: the low half moved by 64 bits onto the high half, then the low 32 bits of
  // that moved by 32.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x = _mm_xor_si128(_mm_srli_si128(x, 8), _mm_clmulepi64_si128(x, by128, 0x10));
  const __m128i to64 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k.to64));
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), to64, 0x00),
                    _mm_srli_si128(x, 4));
  // Barrett: q = floor(x mu), then x - q P; the remainder sits in the second 32-bit word.
  const __m128i barrett = _mm_load_si128(reinterpret_cast<const __m128i*>(k.barrett));
  __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10);
  q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), barrett, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, q), 1));
}

bool CanFold() {
  static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return can;
}

#endif

}  // namespace

std::uint32_t ZORCrc32::Of(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint32_t crc = Continue(0, nullptr, 0);
#ifdef ZOR_CRC32_FOLDS
  if (size >= 64 && CanFold()) {
    const std::size_t folded = size & ~std::size_t{15};
    crc = ~FoldBlocks(bytes, folded, ~crc);
    bytes += folded;
    size -= folded;
  }
#endif
  return Continue(crc, bytes, size);
}

std::uint32_t ZORCrc32::OfPortable(const void* data, std::size_t size) {
  return Continue(Continue(0, nullptr, 0), static_cast<const unsigned char*>(data), size);
}
