// Combine modes: every combiner checked exhaustively over 8-bit channel pairs
// (and a grid of weights including the exact ones, extrapolating ones and
// negative ones) against reference formulas written out here in floating
// point, plus the exact figures the design fixes and the selection rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "raster/lice_combine.h"

namespace {

// Integer division truncating toward zero, computed independently of C++'s
// operator / (which the implementation relies on).
long long Trunc(double num, double den) { return (long long)std::trunc(num / den); }
int Clamp(long long v) { return v < 0 ? 0 : (v > 255 ? 255 : (int)v); }
int Low8(long long v) { return (int)(((v % 256) + 256) % 256); }

const int kWeights[] = {1, 2, 31, 63, 64, 65, 100, 127, 128, 129, 191, 192, 193, 255, 256, 257, 300, 512, -1, -64, -256};

// Reference per-channel results (d destination, s source, w weight).
int RefCopy(int d, int s, int w) { return Low8(s + Trunc((double)(d - s) * (256 - w), 256)); }
int RefCopyClamp(int d, int s, int w) { return Clamp(s + Trunc((double)(d - s) * (256 - w), 256)); }
int RefAdd(int d, int s, int w) { return Clamp(d + Trunc((double)s * w, 256)); }
int RefDodge(int d, int s, int w) {
  const long long v = Trunc((double)s * w, 256);
  if (v <= 254) return Clamp(Trunc((double)d * 256, (double)(256 - v)));
  return Clamp((long long)d * 256);
}
int RefMul(int d, int s, int w) {
  const double factor = (double)s * w + (256.0 - w) * 256.0;
  return Low8((long long)std::floor(d * factor / 65536.0));
}
int RefMulClamp(int d, int s, int w) {
  const double t = d * ((double)s * w + (256.0 - w) * 256.0);
  if (t < 0) return 0;
  if (t >= 16777216.0) return 255;
  return (int)std::floor(t / 65536.0);
}
int RefOverlay(int d, int s, int w) {
  const double k = (double)s * w + (256.0 - w) * 128.0;
  const double t = ((double)Trunc((32768.0 - k) * d, 256) + k) * d;
  if (t < 0) return 0;
  if (t >= 8388608.0) return 255;
  return (int)std::floor(t / 32768.0);
}
int SourceWeight(int w, int a) { return (int)Trunc((double)w * (a + 1), 256); }

// Four (d, s) pairs per test, one per channel, so a channel mix-up shows.
struct Quad {
  int d[4];  // A, R, G, B
  int s[4];
};
Quad MakeQuad(int d, int s) {
  return Quad{{d, 255 - d, (d + 85) & 255, (d * 7 + 3) & 255}, {s, (s + 170) & 255, 255 - s, (s * 13 + 1) & 255}};
}

typedef std::function<void(LICE_pixel_chan*, int, int, int, int, int)> Combiner;
typedef std::function<int(int d, int s, int w)> Reference;

// Runs a per-channel combiner over all 65536 (d, s) pairs at weight w and
// compares every channel with the reference. Returns the number of
// mismatches (reporting the first few).
int CheckPerChannel(const char* name, const Combiner& fn, const Reference& ref, int w) {
  int bad = 0;
  for (int d = 0; d < 256; ++d)
    for (int s = 0; s < 256; ++s) {
      const Quad q = MakeQuad(d, s);
      LICE_pixel_chan px[4];
      for (int c = 0; c < 4; ++c) px[c] = (LICE_pixel_chan)q.d[c];
      fn(px, q.s[LICE_PIXEL_R], q.s[LICE_PIXEL_G], q.s[LICE_PIXEL_B], q.s[LICE_PIXEL_A], w);
      for (int c = 0; c < 4; ++c) {
        const int want = ref(q.d[c], q.s[c], w);
        if (px[c] != want && ++bad <= 3)
          ADD_FAILURE() << name << ": d=" << q.d[c] << " s=" << q.s[c] << " w=" << w << " channel " << c << " gave "
                        << (int)px[c] << ", expected " << want;
      }
    }
  return bad;
}

template <class C>
Combiner Fn() {
  return [](LICE_pixel_chan* d, int r, int g, int b, int a, int w) { C::doPix(d, r, g, b, a, w); };
}

TEST(CombinePlain, EveryPerChannelCombinerMatchesItsReferenceOverAllChannelPairs) {
  struct Case {
    const char* name;
    Combiner fn;
    Reference ref;
  } cases[] = {
      {"CopyNoClamp", Fn<_LICE_CombinePixelsCopyNoClamp>(), RefCopy},
      {"CopyClamp", Fn<_LICE_CombinePixelsCopyClamp>(), RefCopyClamp},
      {"Add", Fn<_LICE_CombinePixelsAdd>(), RefAdd},
      {"ColorDodge", Fn<_LICE_CombinePixelsColorDodge>(), RefDodge},
      {"MulNoClamp", Fn<_LICE_CombinePixelsMulNoClamp>(), RefMul},
      {"MulClamp", Fn<_LICE_CombinePixelsMulClamp>(), RefMulClamp},
      {"Overlay", Fn<_LICE_CombinePixelsOverlay>(), RefOverlay},
      {"ClobberNoClamp", Fn<_LICE_CombinePixelsClobberNoClamp>(), [](int, int s, int) { return s; }},
      {"ClobberClamp", Fn<_LICE_CombinePixelsClobberClamp>(), [](int, int s, int) { return s; }},
      {"HalfMixNoClamp", Fn<_LICE_CombinePixelsHalfMixNoClamp>(), [](int d, int s, int) { return (d + s) / 2; }},
  };
  for (const Case& c : cases)
    for (int w : kWeights) EXPECT_EQ(CheckPerChannel(c.name, c.fn, c.ref, w), 0) << c.name << " at w=" << w;
}

typedef std::function<void(const Quad&, int w, int out[4], bool& untouched)> QuadReference;

// The source-alpha form of a per-channel reference: every channel at the
// weight scaled by the source alpha; a fully transparent source leaves the
// destination alone when `skipTransparent`.
QuadReference ScaledBySourceAlpha(int (*ref)(int, int, int), bool skipTransparent) {
  return [=](const Quad& q, int w, int out[4], bool& untouched) {
    untouched = skipTransparent && q.s[0] == 0;
    for (int c = 0; c < 4; ++c) out[c] = ref(q.d[c], q.s[c], SourceWeight(w, q.s[0]));
  };
}

// Source-alpha forms: the source alpha byte a (channel 0 of the quad) scales
// the weight. The copy forms treat the alpha channel differently.
TEST(CombineSourceAlpha, EverySourceAlphaCombinerMatchesItsReferenceOverAllPairs) {
  struct Case {
    const char* name;
    Combiner fn;
    QuadReference ref;
  } cases[] = {
      {"CopySourceAlphaNoClamp", Fn<_LICE_CombinePixelsCopySourceAlphaNoClamp>(),
       [](const Quad& q, int w, int out[4], bool& untouched) {
         const int a = q.s[0];
         untouched = a == 0;
         const int ws = SourceWeight(w, a);
         for (int c = 1; c < 4; ++c) out[c] = RefCopy(q.d[c], q.s[c], ws);
         out[0] = Low8(std::min(255, q.d[0] + ws));
       }},
      {"CopySourceAlphaIgnoreAlphaParmNoClamp", Fn<_LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(),
       [](const Quad& q, int, int out[4], bool& untouched) {
         const int a = q.s[0];
         untouched = a == 0;
         for (int c = 1; c < 4; ++c)
           out[c] = a == 255 ? q.s[c] : Low8(q.s[c] + Trunc((double)(q.d[c] - q.s[c]) * (255 - a), 256));
         out[0] = a == 255 ? 255 : std::min(255, q.d[0] + a);
       }},
      {"CopySourceAlphaIgnoreAlphaParmClamp", Fn<_LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp>(),
       [](const Quad& q, int, int out[4], bool& untouched) {
         const int a = q.s[0];
         untouched = a == 0;
         for (int c = 1; c < 4; ++c)
           out[c] = a == 255 ? q.s[c] : Clamp(q.s[c] + Trunc((double)(q.d[c] - q.s[c]) * (255 - a), 256));
         out[0] = a == 255 ? 255 : std::min(255, q.d[0] + a);
       }},
      {"AddSourceAlpha", Fn<_LICE_CombinePixelsAddSourceAlpha>(), ScaledBySourceAlpha(RefAdd, true)},
      {"ColorDodgeSourceAlpha", Fn<_LICE_CombinePixelsColorDodgeSourceAlpha>(), ScaledBySourceAlpha(RefDodge, false)},
      {"MulSourceAlphaNoClamp", Fn<_LICE_CombinePixelsMulSourceAlphaNoClamp>(), ScaledBySourceAlpha(RefMul, true)},
      {"OverlaySourceAlpha", Fn<_LICE_CombinePixelsOverlaySourceAlpha>(), ScaledBySourceAlpha(RefOverlay, false)},
  };
  for (const auto& c : cases)
    for (int w : {1, 64, 128, 200, 255, 256, 300, -128}) {
      int bad = 0;
      for (int d = 0; d < 256; ++d)
        for (int s = 0; s < 256; ++s) {
          const Quad q = MakeQuad(d, s);
          LICE_pixel_chan px[4];
          for (int k = 0; k < 4; ++k) px[k] = (LICE_pixel_chan)q.d[k];
          c.fn(px, q.s[1], q.s[2], q.s[3], q.s[0], w);
          int want[4];
          bool untouched = false;
          c.ref(q, w, want, untouched);
          for (int k = 0; k < 4; ++k) {
            const int expect = untouched ? q.d[k] : want[k];
            if (px[k] != expect && ++bad <= 3)
              ADD_FAILURE() << c.name << ": d=" << q.d[k] << " s=" << q.s[k] << " a=" << q.s[0] << " w=" << w
                            << " channel " << k << " gave " << (int)px[k] << ", expected " << expect;
          }
        }
      EXPECT_EQ(bad, 0) << c.name << " at w=" << w;
    }
}

// ---------------------------------------------------------------------------
// The figures the design states.

LICE_PackedPixel Apply(LICE_CombineFunc fn, LICE_PackedPixel dest, LICE_PackedPixel src, int w) {
  fn((LICE_pixel_chan*)&dest, LICE_PixelR(src), LICE_PixelG(src), LICE_PixelB(src), LICE_PixelA(src), w);
  return dest;
}

TEST(CombineFigures, CopyAtFullWeightIsTheSourceAndAtHalfWeightRoundsTowardTheSource) {
  EXPECT_EQ(LICE_CombinePixels(0x01020304u, 0xA1B2C3D4u, 1.0f, LICE_COMBINE_COPY), 0xA1B2C3D4u);
  EXPECT_EQ(_LICE_CombinePixelsCopyNoClamp::mix(0, 255, 128), 128);
  EXPECT_EQ(_LICE_CombinePixelsCopyNoClamp::mix(255, 0, 128), 127);
}

TEST(CombineFigures, AddClampsMultiplyTreats256AsOneAndOverlayAt128IsNeutral) {
  EXPECT_EQ(_LICE_CombinePixelsAdd::mix(100, 200, 256), 255);
  EXPECT_EQ(_LICE_CombinePixelsMulNoClamp::mix(200, 255, 256), 199);
  for (int w = 0; w <= 256; ++w)
    for (int d = 0; d < 256; ++d) ASSERT_EQ(_LICE_CombinePixelsOverlay::mix(d, 128, w), d) << "w=" << w;
}

TEST(CombineFigures, DodgeAtFullSourceSaturatesEveryNonZeroChannel) {
  EXPECT_EQ(_LICE_CombinePixelsColorDodge::mix(0, 255, 256), 0);
  EXPECT_EQ(_LICE_CombinePixelsColorDodge::mix(1, 255, 256), 255);
  EXPECT_EQ(_LICE_CombinePixelsColorDodge::mix(100, 0, 256), 100);
}

TEST(CombineFigures, SourceAlphaCopyLeavesTransparentSourcesAloneAndCopiesOpaqueOnes) {
  LICE_pixel_chan px[4] = {7, 8, 9, 10};
  _LICE_CombinePixelsCopySourceAlphaNoClamp::doPix(px, 200, 201, 202, 0, 256);
  EXPECT_EQ(0, memcmp(px, "\x07\x08\x09\x0A", 4)) << "alpha 0 must not touch even the alpha byte";
  _LICE_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(px, 0, 0, 0, 0, 256);
  EXPECT_EQ(0, memcmp(px, "\x07\x08\x09\x0A", 4));
  EXPECT_EQ(LICE_CombinePixels(LICE_MakePixel(1, 2, 3, 0), LICE_MakePixel(50, 60, 70, 255), 1.0f,
                               LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA),
            LICE_MakePixel(50, 60, 70, 255));
  // Translucent source on an opaque buffer keeps it opaque; on a transparent
  // one it builds coverage.
  EXPECT_EQ(LICE_PixelA(LICE_CombinePixels(LICE_MakePixel(0, 0, 0, 255), LICE_MakePixel(255, 255, 255, 100), 0.5f,
                                           LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA)),
            255);
  EXPECT_EQ(LICE_PixelA(LICE_CombinePixels(LICE_MakePixel(0, 0, 0, 0), LICE_MakePixel(255, 255, 255, 100), 1.0f,
                                           LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA)),
            100);
}

TEST(CombineFigures, ReciprocalTableHasTheStatedEntries) {
  EXPECT_EQ(_LICE_RGB2HSV_invtab[0], 0);
  EXPECT_EQ(_LICE_RGB2HSV_invtab[1], 65535);
  EXPECT_EQ(_LICE_RGB2HSV_invtab[2], 32767);
  EXPECT_EQ(_LICE_RGB2HSV_invtab[3], 21844);
  EXPECT_EQ(_LICE_RGB2HSV_invtab[255], 256);
  for (int k = 1; k < 256; ++k) EXPECT_EQ(_LICE_RGB2HSV_invtab[k], (int)std::floor(65536.0 / k) - 1);
}

// ---------------------------------------------------------------------------
// HSV adjust.

// Reference HSV adjust, written from the description with a hue of 0..383.
LICE_PackedPixel RefHsv(LICE_PackedPixel dest, int r, int g, int b, int a, int w) {
  const int R = LICE_PixelR(dest), G = LICE_PixelG(dest), B = LICE_PixelB(dest);
  auto inv = [](int k) { return k == 0 ? 0 : (int)std::floor(65536.0 / k) - 1; };
  int mx, mn, base, n;
  if (G > R && G > B) {
    mx = G, mn = std::min(R, B), base = 128, n = B - R;
  } else if (R > B) {
    mx = R, mn = std::min(G, B), n = G - B, base = G < B ? 383 : 0;
  } else {
    mx = B, mn = std::min(R, G), base = 256, n = R - G;
  }
  const int delta = mx - mn;
  long long H = base + Trunc((double)n * (inv(delta) + 1), 1024);
  long long S = Trunc((double)delta * inv(mx), 256);
  long long V = mx;
  H += Trunc((double)(r + r / 2 - 192) * w, 256);
  if (H < 0)
    H += 384;
  else if (H > 383)
    H -= 384;
  S = Clamp(S + Trunc((double)(g - 128) * w, 128));
  V = Clamp(V + Trunc((double)(b - 128) * w, 128));
  const long long p = Trunc((double)(256 - S) * V, 256);
  auto q = [&](long long x) { return Trunc((double)V * (16384 - x * S), 16384); };
  long long oR, oG, oB;
  if (H < 64)
    oR = V, oG = q(64 - H), oB = p;
  else if (H < 128)
    oR = q(H - 64), oG = V, oB = p;
  else if (H < 192)
    oR = p, oG = V, oB = q(192 - H);
  else if (H < 256)
    oR = p, oG = q(H - 192), oB = V;
  else if (H < 320)
    oR = q(320 - H), oG = p, oB = V;
  else
    oR = V, oG = p, oB = q(H - 320);
  return LICE_MakePixel((int)oR, (int)oG, (int)oB, a);
}

TEST(CombineHsv, PureRedWithNeutralAdjustmentComesBackPureRedWithTheNewAlpha) {
  LICE_PackedPixel px = LICE_MakePixel(255, 0, 0, 255);
  _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&px, 128, 128, 128, 77, 256);
  EXPECT_EQ(px, LICE_MakePixel(255, 0, 0, 77));
}

TEST(CombineHsv, GreyStaysGreyAndOnlyTheValueAdjustmentApplies) {
  for (int v = 0; v < 256; v += 5) {
    LICE_PackedPixel px = LICE_MakePixel(v, v, v, 255);
    _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&px, 0, 255, 192, 255, 256);
    // Hue and saturation shifts act on a colourless pixel only through S,
    // which starts at 0 and is raised here; the value rises by 64 * 2.
    const int V = std::min(255, v + 128);
    EXPECT_EQ(LICE_PixelR(px), V) << v;
    px = LICE_MakePixel(v, v, v, 255);
    _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&px, 200, 128, 100, 255, 256);
    const int V2 = std::max(0, v - 56);
    EXPECT_EQ(px, LICE_MakePixel(V2, V2, V2, 255)) << "grey " << v;
  }
}

TEST(CombineHsv, MatchesTheReferenceOnARandomSampleOfColoursAdjustmentsAndWeights) {
  std::mt19937 rng(42);
  int bad = 0;
  for (int i = 0; i < 400000; ++i) {
    const LICE_PackedPixel dest = rng();
    const int r = rng() & 255, g = rng() & 255, b = rng() & 255, a = rng() & 255;
    const int w = (int)(rng() % 257);
    LICE_PackedPixel px = dest;
    _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&px, r, g, b, a, w);
    const LICE_PackedPixel want = RefHsv(dest, r, g, b, a, w);
    if (px != want && ++bad <= 5)
      ADD_FAILURE() << std::hex << "dest " << dest << " adj " << r << "," << g << "," << b << " w " << std::dec << w
                    << ": got " << std::hex << px << " want " << want;
    // The source-alpha form is the same with the scaled weight.
    LICE_PackedPixel pa = dest;
    _LICE_CombinePixelsHSVAdjustSourceAlpha::doPix((LICE_pixel_chan*)&pa, r, g, b, a, w);
    if (pa != RefHsv(dest, r, g, b, a, SourceWeight(w, a)) && ++bad <= 5) ADD_FAILURE() << "source-alpha form";
  }
  EXPECT_EQ(bad, 0);
}

TEST(CombineHsv, NeutralAdjustmentRoundTripsEveryColourClosely) {
  int worst = 0;
  for (int R = 0; R < 256; R += 3)
    for (int G = 0; G < 256; G += 5)
      for (int B = 0; B < 256; B += 7) {
        LICE_PackedPixel px = LICE_MakePixel(R, G, B, 9);
        _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&px, 128, 128, 128, 9, 256);
        worst = std::max({worst, std::abs(LICE_PixelR(px) - R), std::abs(LICE_PixelG(px) - G),
                          std::abs(LICE_PixelB(px) - B)});
        ASSERT_LE(worst, 6) << R << "," << G << "," << B;
      }
}

TEST(CombineHsv, WeightsBeyondFullStrengthStillWrapTheHueIntoRange) {
  // Far beyond 256 a single wrap is not enough; the pixel must still come out
  // as a proper colour of full value and saturation for a saturated input.
  for (int w : {1024, 4096, LICE_WEIGHT_LIMIT, -LICE_WEIGHT_LIMIT}) {
    LICE_PackedPixel px = LICE_MakePixel(255, 0, 0, 255);
    _LICE_CombinePixelsHSVAdjust::doPix((LICE_pixel_chan*)&px, 255, 128, 128, 255, w);
    const int mx = std::max({LICE_PixelR(px), LICE_PixelG(px), LICE_PixelB(px)});
    const int mn = std::min({LICE_PixelR(px), LICE_PixelG(px), LICE_PixelB(px)});
    EXPECT_EQ(mx, 255) << w;
    EXPECT_EQ(mn, 0) << w;
  }
}

// ---------------------------------------------------------------------------
// Packed (FAST) combiners.

TEST(CombineFast, PackedMixesFollowTheirShiftAndMaskDefinitionsAndStayNearTheGeneralCopy) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const LICE_PackedPixel d = rng(), c = rng();
    LICE_PackedPixel q = d, h = d, h2 = d, t = d, cl = d;
    _LICE_CombinePixelsQuarterMix2FAST::doPix(&q, _LICE_CombinePixelsQuarterMix2FAST::prepare(c));
    _LICE_CombinePixelsHalfMixFAST::doPix(&h, c);
    _LICE_CombinePixelsHalfMix2FAST::doPix(&h2, _LICE_CombinePixelsHalfMix2FAST::prepare(c));
    _LICE_CombinePixelsThreeQuarterMix2FAST::doPix(&t, _LICE_CombinePixelsThreeQuarterMix2FAST::prepare(c));
    _LICE_CombinePixelsClobberFAST::doPix(&cl, _LICE_CombinePixelsClobberFAST::prepare(c));
    ASSERT_EQ(cl, c);
    ASSERT_EQ(h, h2);
    for (int k = 0; k < 4; ++k) {
      const int dk = (d >> (8 * k)) & 255, ck = (c >> (8 * k)) & 255;
      ASSERT_EQ((int)((q >> (8 * k)) & 255), ck / 4 + dk / 4 + dk / 2);
      ASSERT_EQ((int)((h >> (8 * k)) & 255), ck / 2 + dk / 2);
      ASSERT_EQ((int)((t >> (8 * k)) & 255), ck / 2 + ck / 4 + dk / 4);
      // Within dropped-bit rounding of the general formula.
      ASSERT_LE(std::abs((int)((q >> (8 * k)) & 255) - RefCopy(dk, ck, 64)), 2);
      ASSERT_LE(std::abs((int)((h >> (8 * k)) & 255) - RefCopy(dk, ck, 128)), 1);
      ASSERT_LE(std::abs((int)((t >> (8 * k)) & 255) - RefCopy(dk, ck, 192)), 2);
    }
  }
}

// ---------------------------------------------------------------------------
// Weights and selection.

TEST(CombineSelection, WeightsTruncateTowardZeroAndSaturateOutsideTheSafeRange) {
  EXPECT_EQ(LICE_AlphaToWeight(1.0f), 256);
  EXPECT_EQ(LICE_AlphaToWeight(0.5f), 128);
  EXPECT_EQ(LICE_AlphaToWeight(0.999f), 255);
  EXPECT_EQ(LICE_AlphaToWeight(0.001f), 0);
  EXPECT_EQ(LICE_AlphaToWeight(-0.5f), -128);
  EXPECT_EQ(LICE_AlphaToWeight(-0.001f), 0);
  EXPECT_EQ(LICE_AlphaToWeight(std::nanf("")), 0);
  EXPECT_EQ(LICE_AlphaToWeight(1e30f), LICE_WEIGHT_LIMIT);
  EXPECT_EQ(LICE_AlphaToWeight(-1e30f), -LICE_WEIGHT_LIMIT);
  EXPECT_EQ(LICE_AlphaToWeightD(0.25), 64);
  EXPECT_EQ(LICE_AlphaToWeightD(1e300), LICE_WEIGHT_LIMIT);
}

TEST(CombineSelection, WholePixelCombineFollowsTheBlitChoiceOfCombiner) {
  std::mt19937 rng(3);
  const float alphas[] = {1.0f, 0.5f, 0.25f, 0.7f, 1.5f, -0.5f};
  const int ops[] = {0, 1, 2, 3, 4, 5};
  for (int i = 0; i < 2000; ++i) {
    const LICE_PackedPixel d = rng(), s = rng();
    for (float alpha : alphas)
      for (int op : ops)
        for (int flag : {0, LICE_COMBINE_SOURCE_ALPHA}) {
          const int mode = op | flag | LICE_COMBINE_FILTER;  // the filter field must not matter
          const int w = LICE_AlphaToWeight(alpha);
          LICE_PackedPixel want = d;
          LICE_CombineFunc fn = LICE_GetBlitCombineFunc(mode, w);
          if (op == 0 && !flag && w < 0) {
            EXPECT_EQ(fn, nullptr);
          } else {
            ASSERT_NE(fn, nullptr) << "mode " << mode << " w " << w;
            want = Apply(fn, d, s, w);
          }
          if (op == 0 && !flag && w == 256) {
            EXPECT_EQ(want, s);
          }
          EXPECT_EQ(LICE_CombinePixels(d, s, alpha, mode), want) << "mode " << mode << " alpha " << alpha;
          LICE_PackedPixel in = d;
          LICE_CombinePixels2(&in, LICE_PixelR(s), LICE_PixelG(s), LICE_PixelB(s), LICE_PixelA(s), w, mode);
          EXPECT_EQ(in, want) << "mode " << mode << " w " << w;
        }
  }
}

TEST(CombineSelection, ZeroWeightAndUnknownOperationsDrawNothing) {
  const LICE_PackedPixel d = 0x11223344u, s = 0xAABBCCDDu;
  for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10005}) {
    EXPECT_EQ(LICE_CombinePixels(d, s, 0.0f, mode), d);
    EXPECT_EQ(LICE_CombinePixels(d, s, 0.003f, mode), d) << "weight truncates to 0";
    EXPECT_EQ(LICE_GetBlitCombineFunc(mode, 0), nullptr);
  }
  for (int mode : {6, 7, 0xFF, 0x10006, 0x100FF}) {
    EXPECT_EQ(LICE_CombinePixels(d, s, 1.0f, mode), d) << mode;
    EXPECT_EQ(LICE_GetBlitCombineFunc(mode, 256), nullptr) << mode;
    LICE_PackedPixel in = d;
    LICE_CombinePixels2(&in, 1, 2, 3, 4, 256, mode);
    EXPECT_EQ(in, d);
  }
  LICE_CombinePixels2(nullptr, 1, 2, 3, 4, 256, 0);  // ignored, no crash
  bool called = false;
  EXPECT_FALSE(LICE_WithOperationCombiner(LICE_COMBINE_COPY, 256, [&](auto) { called = true; }));
  EXPECT_FALSE(LICE_WithOperationCombiner(6, 256, [&](auto) { called = true; }));
  EXPECT_FALSE(LICE_WithOperationCombiner(LICE_COMBINE_ADD, 0, [&](auto) { called = true; }));
  EXPECT_FALSE(called);
}

TEST(CombineSelection, ClampingVariantKeepsOutOfRangeGradientColoursInRange) {
  LICE_PackedPixel px = LICE_MakePixel(10, 20, 30, 40);
  LICE_CombinePixels2Clamp(&px, 300, -20, 1000, 255, 256, LICE_COMBINE_COPY);
  EXPECT_EQ(px, LICE_MakePixel(255, 0, 255, 255));
  px = LICE_MakePixel(100, 100, 100, 100);
  LICE_CombinePixels2Clamp(&px, 100000, -100000, 100, 100, 128, LICE_COMBINE_COPY);
  EXPECT_EQ(px, LICE_MakePixel(255, 0, 100, 100));
  // Without clamping the same store wraps; the clamped form must differ.
  LICE_PackedPixel raw = LICE_MakePixel(10, 20, 30, 40);
  LICE_CombinePixels2(&raw, 300, -20, 1000, 255, 256, LICE_COMBINE_COPY);
  EXPECT_NE(raw, LICE_MakePixel(255, 0, 255, 255));
}

}  // namespace
