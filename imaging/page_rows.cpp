// The row operations of the page road: tone, gray values, the histogram
// count, the sharpening of one row, and the end of a finished row (written
// back into the page, or packed one bit a dot for the print head).  Each
// works on one row, so the road holds only a few rows at a time.
#include "page_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QUILLET_BYTE_SHUFFLE 1
#endif

#include "imaging_util.h"

using imaging_util::clampByte;

namespace page_rows {

// Table lookup of n bytes (`to` may be `from`) through a table of byte
// pairs: half the lookups, and the pair table stays in the second-level
// cache.  Returns true when every byte was white paper (255, which the
// table keeps).
static bool lookUp(const unsigned char *from, unsigned char *to, int64_t n, const uint8_t lut[256],
            const uint16_t *pairs) {
  const bool whiteStays = lut[255] == 255, blackStays = lut[0] == 0;
  bool blank = whiteStays;
  int64_t i = 0;
  for (; i + 32 <= n; i += 32) {
    // Runs of white paper or black ink, most of a page, map to themselves;
    // blocks of 32 bytes keep the test rarely mispredicted.
    uint64_t word[4];
    std::memcpy(word, from + i, 32);
    const uint64_t both = word[0] & word[1] & word[2] & word[3];
    const uint64_t either = word[0] | word[1] | word[2] | word[3];
    if ((both == ~uint64_t{0} && whiteStays) || (either == 0 && blackStays)) {
      std::memcpy(to + i, word, 32);
      blank = blank && either != 0;
      continue;
    }
    blank = false;
    for (int64_t j = i; j < i + 32; j += 8) {
      uint16_t a, b, c, d;
      std::memcpy(&a, from + j, 2);
      std::memcpy(&b, from + j + 2, 2);
      std::memcpy(&c, from + j + 4, 2);
      std::memcpy(&d, from + j + 6, 2);
      a = pairs[a]; b = pairs[b]; c = pairs[c]; d = pairs[d];
      std::memcpy(to + j, &a, 2);
      std::memcpy(to + j + 2, &b, 2);
      std::memcpy(to + j + 4, &c, 2);
      std::memcpy(to + j + 6, &d, 2);
    }
  }
  for (; i < n; ++i) {
    blank = blank && from[i] == 255;
    to[i] = lut[from[i]];
  }
  return blank;
}

// The pair table of a byte table: entry k, read as two bytes, holds the
// table's values of k's two bytes.
void buildPairs(const uint8_t lut[256], uint16_t *pairs) {
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b) {
      const unsigned char in[2] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b)};
      const unsigned char out[2] = {lut[a], lut[b]};
      uint16_t k;
      std::memcpy(&k, in, 2);
      std::memcpy(&pairs[k], out, 2);
    }
}

// Gamma table on the three colour bytes of every pixel of row `from`,
// written to `to` (which may be `from`); other bytes are copied.  `pairs`
// (or null) is the table's pair table.  Returns true when the row is
// known to be blank paper, before and after.
bool toneRow(const Page &pg, const unsigned char *from, unsigned char *to, const uint8_t lut[256],
             const uint16_t *pairs) {
  if (pg.bpp == 3 && pairs) return lookUp(from, to, 3 * pg.width, lut, pairs);
  for (int64_t x = 0; x < pg.width; ++x, from += pg.bpp, to += pg.bpp) {
    to[0] = lut[from[0]];
    to[1] = lut[from[1]];
    to[2] = lut[from[2]];
    for (int64_t k = 3; k < pg.bpp; ++k) to[k] = from[k];
  }
  return false;
}

// Gamma table on n bytes in place; returns true when all were white
// paper (255, which the table keeps).
bool toneBytes(unsigned char *bytes, int64_t n, const uint8_t lut[256], const uint16_t *pairs) {
  if (pairs) return lookUp(bytes, bytes, n, lut, pairs);
  bool blank = lut[255] == 255;
  for (int64_t i = 0; i < n; ++i) {
    blank = blank && bytes[i] == 255;
    bytes[i] = lut[bytes[i]];
  }
  return blank;
}

#ifdef QUILLET_BYTE_SHUFFLE
// Whether the processor has the byte shuffle of grayWide; asked once at
// start.  (A 32-byte form of the sharpening measured slower than the
// 16-byte one here, so there is none.)
static bool shufflePresent() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3");
}
const bool kShuffle = shufflePresent();

// Shuffle masks that gather colour c of sixteen 3-byte pixels from the
// k-th 16 bytes of their 48.
struct ColourPicks {
  __m128i mask[3][3];  // [colour][16-byte part]
};

static __attribute__((target("ssse3"))) ColourPicks colourPicks() {
  alignas(16) signed char pick[3][3][16];
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 16; ++i) {
        const int j = 3 * i + c - 16 * k;
        pick[c][k][i] = static_cast<signed char>(j >= 0 && j < 16 ? j : -128);
      }
  ColourPicks picks;
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k)
      picks.mask[c][k] = _mm_load_si128(reinterpret_cast<const __m128i *>(pick[c][k]));
  return picks;
}

// The three colours of sixteen 3-byte pixels at p, one register each.
static inline __attribute__((target("ssse3"))) void splitColours(const unsigned char *p,
                                                          const ColourPicks &picks,
                                                          __m128i colour[3]) {
  __m128i part[3];
  for (int k = 0; k < 3; ++k) part[k] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
  for (int c = 0; c < 3; ++c)
    colour[c] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(part[0], picks.mask[c][0]),
                                          _mm_shuffle_epi8(part[1], picks.mask[c][1])),
                             _mm_shuffle_epi8(part[2], picks.mask[c][2]));
}

// The gray values of 3-byte pixels, sixteen at a time; returns the pixels
// done.
static __attribute__((target("ssse3"))) int64_t grayWide(const unsigned char *row, int64_t w,
                                                  unsigned char *gray) {
  const ColourPicks picks = colourPicks();
  int64_t x = 0;
  for (; x + 16 <= w; x += 16) {
    __m128i colour[3];
    splitColours(row + 3 * x, picks, colour);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(gray + x),
                     _mm_min_epu8(_mm_min_epu8(colour[0], colour[1]), colour[2]));
  }
  return x;
}

// neutralRow sixteen pixels at a time; returns the pixels done, or -1 at
// the first group holding a coloured pixel.
static __attribute__((target("ssse3"))) int64_t neutralWide(const unsigned char *row, int64_t w,
                                                     unsigned char *one) {
  const ColourPicks picks = colourPicks();
  int64_t x = 0;
  for (; x + 16 <= w; x += 16) {
    __m128i colour[3];
    splitColours(row + 3 * x, picks, colour);
    const __m128i same = _mm_and_si128(_mm_cmpeq_epi8(colour[0], colour[1]),
                                       _mm_cmpeq_epi8(colour[1], colour[2]));
    if (_mm_movemask_epi8(same) != 0xFFFF) return -1;
    _mm_storeu_si128(reinterpret_cast<__m128i *>(one + x), colour[0]);
  }
  return x;
}
#endif

// The darkest colour byte of every pixel of a row of w pixels.
void grayOfRow(const unsigned char *__restrict row, int64_t w, int64_t bpp,
               unsigned char *__restrict gray) {
  int64_t x = 0;
#ifdef QUILLET_BYTE_SHUFFLE
  if (bpp == 3 && kShuffle) x = grayWide(row, w, gray);
#endif
  for (; x < w; ++x) {
    const unsigned char *p = row + x * bpp;
    const unsigned char m = p[0] < p[1] ? p[0] : p[1];
    gray[x] = m < p[2] ? m : p[2];
  }
}

// True when every pixel of a 3-byte row is neutral (its three colour
// bytes equal); their values then go to `one`, one byte a pixel.
bool neutralRow(const unsigned char *__restrict row, int64_t w, unsigned char *__restrict one) {
  int64_t x = 0;
#ifdef QUILLET_BYTE_SHUFFLE
  if (kShuffle) {
    x = neutralWide(row, w, one);
    if (x < 0) return false;
  }
#endif
  for (; x < w; ++x) {
    const unsigned char *p = row + 3 * x;
    if (p[0] != p[1] || p[1] != p[2]) return false;
    one[x] = p[0];
  }
  return true;
}

// A row of one byte a pixel written out as 3-byte neutral pixels.
void expandRow(const unsigned char *__restrict one, int64_t w, unsigned char *__restrict row) {
  for (int64_t x = 0; x < w; ++x, row += 3) row[0] = row[1] = row[2] = one[x];
}

// Counts a gray row into four interleaved histograms, so that a run of one
// value does not wait on its own previous increment; sixteen equal values
// (blank paper, solid black) count at once.
void countRow(const unsigned char *gray, int64_t w, uint64_t hist[4][256]) {
  int64_t x = 0;
  while (x + 16 <= w) {
#ifdef __SSE2__
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(gray + x));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(gray[x])))) == 0xFFFF) {
      hist[0][gray[x]] += 16;
      x += 16;
      continue;
    }
#endif
    for (const int64_t end = x + 16; x < end; x += 4) {
      ++hist[0][gray[x]];
      ++hist[1][gray[x + 1]];
      ++hist[2][gray[x + 2]];
      ++hist[3][gray[x + 3]];
    }
  }
  for (; x < w; ++x) ++hist[0][gray[x]];
}

// Mirror and negative of a row whose pixels are final.
void finishRow(const Page &pg, unsigned char *row, bool mirror, bool negative) {
  if (mirror) imaging_util::mirrorRow(row, pg.width, pg.bpp, pg.lineBytes);
  if (negative)
    for (int64_t b = 0; b < pg.lineBytes; ++b) row[b] = static_cast<unsigned char>(~row[b]);
}

// Mirror and negative of the bytes after the last row: the mirror leaves
// them white, the negative inverts them.
void finishTail(const Page &pg, bool mirror, bool negative) {
  unsigned char *tail = pg.pixels + pg.height * pg.lineBytes;
  int64_t n = pg.imageSize - pg.height * pg.lineBytes;
  if (mirror) std::memset(tail, 255, static_cast<size_t>(n));
  if (negative)
    for (int64_t i = 0; i < n; ++i) tail[i] = static_cast<unsigned char>(~tail[i]);
}

// Packs a row of values (white from `least` up) as the print head takes
// it: dot 8k + i at bit 7 - i of byte k, 1 white, pad bits white.  The
// values are reversed in place for the mirror.
static void packRow(unsigned char *values, int64_t w, int least, const Sink &sink, unsigned char *out) {
  if (sink.mirror) std::reverse(values, values + w);
  const unsigned flip = sink.negative ? 0xFFu : 0u;
  int64_t k = 0;
#ifdef __SSE2__
  // Sixteen dots at a time: the byte mask comes out first dot lowest, so
  // each half is bit-reversed through a table.
  static const struct Reversed {
    unsigned char of[256];
    Reversed() {
      for (unsigned v = 0; v < 256; ++v) {
        unsigned r = 0;
        for (int i = 0; i < 8; ++i) r |= ((v >> i) & 1u) << (7 - i);
        of[v] = static_cast<unsigned char>(r);
      }
    }
  } reversed;
  if (least <= 255) {
    const __m128i floor = _mm_set1_epi8(static_cast<char>(least));
    for (; 8 * k + 16 <= w; k += 2) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(values + 8 * k));
      const unsigned white =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, floor), v)));
      out[k] = static_cast<unsigned char>(reversed.of[white & 0xFFu] ^ flip);
      out[k + 1] = static_cast<unsigned char>(reversed.of[white >> 8] ^ flip);
    }
  }
#endif
  for (; 8 * k + 8 <= w; ++k) {
    const unsigned char *v = values + 8 * k;
    unsigned bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 1) | (v[i] >= least ? 1u : 0u);
    out[k] = static_cast<unsigned char>(bits ^ flip);
  }
  if (8 * k < w) {
    const int n = static_cast<int>(w - 8 * k);
    unsigned bits = 0;
    for (int i = 0; i < n; ++i) bits = (bits << 1) | (values[8 * k + i] >= least ? 1u : 0u);
    const unsigned pad = (1u << (8 - n)) - 1u;
    out[k++] = static_cast<unsigned char>((((bits << (8 - n)) ^ flip) & ~pad) | pad);
  }
  if (k < sink.bytesPerRow) std::memset(out + k, 0xFF, static_cast<size_t>(sink.bytesPerRow - k));
}

// Finished row y of black (below `least`) and white values: packed into
// the sink, or written back as colour bytes and mirrored and inverted.
void emitRow(const Page &pg, const Sink &sink, int64_t y, unsigned char *values, int least) {
  if (sink.bits) {
    packRow(values, pg.width, least, sink, sink.bits + y * sink.bytesPerRow);
    return;
  }
  unsigned char *p = pg.row(y);
  for (int64_t x = 0; x < pg.width; ++x, p += pg.bpp)
    p[0] = p[1] = p[2] = values[x] >= least ? 255 : 0;
  finishRow(pg, pg.row(y), sink.mirror, sink.negative);
}

// One sharpened row: 5 x centre less the four neighbours of every byte of
// the interior pixels, clamped; the edge pixels are copied.
void sharpenRow(const unsigned char *__restrict above, const unsigned char *__restrict here,
                const unsigned char *__restrict below, unsigned char *__restrict out,
                int64_t rowBytes, int64_t bpp) {
  std::memcpy(out, here, static_cast<size_t>(bpp));
  std::memcpy(out + rowBytes - bpp, here + rowBytes - bpp, static_cast<size_t>(bpp));
  int64_t at = bpp;
  const int64_t end = rowBytes - bpp;
#ifdef __SSE2__
  // Sixteen bytes at a time in 16-bit lanes; the saturating pack clamps.
  const __m128i zero = _mm_setzero_si128();
  auto load = [](const unsigned char *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  };
  // 5 x centre less the four neighbours, in 16-bit lanes.
  auto lanes = [](__m128i c, __m128i n, __m128i s, __m128i l, __m128i r) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(n, s), _mm_add_epi16(l, r));
    return _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(c, 2), c), sum);
  };
  for (; at + 16 <= end; at += 16) {
    const __m128i c = load(here + at), n = load(above + at), s = load(below + at);
    const __m128i l = load(here + at - bpp), r = load(here + at + bpp);
    // Blank paper among blank paper stays as it is (5 x 255 - 4 x 255).
    const __m128i all = _mm_and_si128(_mm_and_si128(_mm_and_si128(c, n), _mm_and_si128(s, l)), r);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(all, _mm_cmpeq_epi8(zero, zero))) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + at), c);
      continue;
    }
    const __m128i low = lanes(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(n, zero),
                              _mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(l, zero),
                              _mm_unpacklo_epi8(r, zero));
    const __m128i high = lanes(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(n, zero),
                               _mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(l, zero),
                               _mm_unpackhi_epi8(r, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + at), _mm_packus_epi16(low, high));
  }
#endif
  for (; at < end; ++at)
    out[at] = clampByte(5 * here[at] - (above[at] + below[at] + here[at - bpp] + here[at + bpp]));
}

}  // namespace page_rows
