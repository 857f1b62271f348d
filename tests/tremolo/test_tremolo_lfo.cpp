#include "tremolo/ExtLFO.h"
#include "tremolo/MidiTempo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const double kPi = 3.141592653589793;

// An LFO with every shape value set, as the plug-in leaves it after its first
// parameter pass.
ExtLFO makeLfo(double hz, double sr, double form, double symmetry, double phase) {
  ExtLFO lfo;
  lfo.setSampleRate(sr);
  lfo.setFrequency(hz);
  lfo.setSymmetry(symmetry);
  lfo.setForm(form);
  lfo.setPhase(phase);
  return lfo;
}

std::vector<double> run(ExtLFO& lfo, int n) {
  std::vector<double> out(n);
  lfo.generate(out, n, true);
  return out;
}

std::vector<double> plot(ExtLFO& lfo, int n) {
  std::vector<double> out(n);
  lfo.generate(out, n, false);
  return out;
}

int countStrictlyBetween(const std::vector<double>& v, double lo, double hi) {
  return static_cast<int>(std::count_if(v.begin(), v.end(), [&](double x) { return x > lo && x < hi; }));
}

}  // namespace

TEST(ExtLFOPlot, CosineCycleStartsAtTopReachesZeroHalfwayAndReturns) {
  ExtLFO lfo = makeLfo(6.0, 44100.0, 0.0, 0.5, 0.0);
  std::vector<double> v = plot(lfo, 200);
  EXPECT_DOUBLE_EQ(v[0], 1.0);
  EXPECT_NEAR(v[199], 1.0, 1e-12);
  auto lowest = std::min_element(v.begin(), v.end());
  EXPECT_NEAR(*lowest, 0.0, 1e-3);
  // The trough sits at x = pi, between points 99 and 100 of 200.
  int at = static_cast<int>(lowest - v.begin());
  EXPECT_TRUE(at == 99 || at == 100) << "trough at point " << at;
}

TEST(ExtLFOPlot, SymmetricCosineAndTriangleMatchTheirClosedForms) {
  // With d = 0.5 both halves of the cosine are cos(x), and the triangle is
  // |1 - x / pi|; 201 points put x on multiples of pi / 100.
  ExtLFO cosine = makeLfo(3.0, 44100.0, 0.0, 0.5, 0.0);
  ExtLFO triangle = makeLfo(3.0, 44100.0, 1.0, 0.5, 0.0);
  std::vector<double> c = plot(cosine, 201);
  std::vector<double> t = plot(triangle, 201);
  for (int i = 0; i < 201; ++i) {
    double x = i * kPi / 100.0;
    EXPECT_NEAR(c[i], (std::cos(x) + 1.0) * 0.5, 1e-12) << "point " << i;
    EXPECT_NEAR(t[i], std::fabs(1.0 - i / 100.0), 1e-12) << "point " << i;
  }
}

TEST(ExtLFOPlot, LeavesTheRunningStateAlone) {
  ExtLFO a = makeLfo(5.0, 48000.0, 0.7, 0.3, 1.5);
  ExtLFO b = a;
  std::vector<double> first = run(a, 100);
  run(b, 100);
  plot(b, 200);
  EXPECT_EQ(run(a, 100), run(b, 100));
  EXPECT_EQ(first.size(), 100u);
}

TEST(ExtLFORunning, TwoBlocksOf64EqualOneBlockOf128) {
  for (double form : {0.0, 0.5, 1.0, 1.5, 2.0}) {
    ExtLFO split = makeLfo(7.3, 44100.0, form, 0.2, 1.3);
    ExtLFO whole = split;
    std::vector<double> a = run(split, 64);
    std::vector<double> b = run(split, 64);
    a.insert(a.end(), b.begin(), b.end());
    std::vector<double> c = run(whole, 128);
    for (int i = 0; i < 128; ++i) EXPECT_NEAR(a[i], c[i], 1e-12) << "form " << form << " sample " << i;
  }
}

TEST(ExtLFORunning, RepeatsWithThePeriodOfItsRate) {
  // 6 Hz at 48 kHz is exactly 8000 samples per cycle.
  for (double form : {0.0, 1.0, 1.5, 2.0}) {
    ExtLFO lfo = makeLfo(6.0, 48000.0, form, 0.35, 0.5);
    std::vector<double> v = run(lfo, 24000);
    for (int i = 0; i < 16000; i += 37) EXPECT_NEAR(v[i], v[i + 8000], 1e-9) << "form " << form << " sample " << i;
    // And not with half of it (the wave is not symmetric at 0.35).
    double maxDiff = 0.0;
    for (int i = 0; i < 4000; ++i) maxDiff = std::max(maxDiff, std::fabs(v[i] - v[i + 4000]));
    EXPECT_GT(maxDiff, 0.1) << "form " << form;
  }
}

TEST(ExtLFORunning, SampleRateChangeStretchesThePeriod) {
  ExtLFO lfo = makeLfo(6.0, 48000.0, 1.0, 0.5, 0.0);
  lfo.setSampleRate(96000.0);
  std::vector<double> v = run(lfo, 32000);
  for (int i = 0; i < 16000; i += 101) EXPECT_NEAR(v[i], v[i + 16000], 1e-9);
  EXPECT_GT(std::fabs(v[0] - v[8000]), 0.5);
}

TEST(ExtLFORunning, SymmetricTriangleFallsForHalfACycleThenRises) {
  // Phase 0 starts at the top: falling for 4000 samples, rising for 4000.
  ExtLFO lfo = makeLfo(6.0, 48000.0, 1.0, 0.5, 0.0);
  std::vector<double> v = run(lfo, 8001);
  for (int i = 1; i < 4000; ++i) ASSERT_LT(v[i], v[i - 1]) << "sample " << i;
  for (int i = 4001; i <= 8000; ++i) ASSERT_GT(v[i], v[i - 1]) << "sample " << i;
  EXPECT_NEAR(v[4000], 0.0, 1e-9);
  EXPECT_NEAR(v[8000], 1.0, 1e-9);
}

TEST(ExtLFORunning, TriangleAtSymmetryZeroFallsForOneEdgeTime) {
  // 2 Hz at 48 kHz: a cycle of 24000 samples, an 8 ms fall of 384 samples.
  ExtLFO lfo = makeLfo(2.0, 48000.0, 1.0, 0.0, 0.0);
  std::vector<double> v = run(lfo, 24001);
  int falling = 0;
  for (int i = 1; i <= 24000; ++i)
    if (v[i] < v[i - 1]) ++falling;
  EXPECT_NEAR(falling, 384, 2);
  EXPECT_NEAR(lfo.getEffSymmetry(), 0.016, 1e-15);
}

TEST(ExtLFOShape, SquareIsZeroOrOneExceptOnEdgesOfOneEdgeTime) {
  ExtLFO lfo = makeLfo(2.0, 48000.0, 2.0, 0.5, 0.5);
  std::vector<double> v = run(lfo, 24000);
  int onEdges = countStrictlyBetween(v, 0.0, 1.0);
  EXPECT_NEAR(onEdges, 2 * 384, 4);
  int high = static_cast<int>(std::count(v.begin(), v.end(), 1.0));
  int low = static_cast<int>(std::count(v.begin(), v.end(), 0.0));
  // Each plateau holds (1 - 2t) * d of the cycle, t = 0.016.
  EXPECT_NEAR(high, 24000 * (1 - 0.032) * 0.5, 3);
  EXPECT_NEAR(low, 24000 * (1 - 0.032) * 0.5, 3);
}

TEST(ExtLFOShape, SquarePlateausFollowTheSymmetry) {
  ExtLFO lfo = makeLfo(2.0, 48000.0, 2.0, 0.25, 0.5);
  std::vector<double> v = run(lfo, 24000);
  double d = lfo.getEffSymmetry();
  EXPECT_NEAR(d, 0.25 * (1 - 0.032) + 0.016, 1e-12);
  EXPECT_NEAR(std::count(v.begin(), v.end(), 1.0), 24000 * (1 - 0.032) * d, 3);
  EXPECT_NEAR(std::count(v.begin(), v.end(), 0.0), 24000 * (1 - 0.032) * (1 - d), 3);
}

TEST(ExtLFOShape, TrapezoidHasFlatTopsAndEdgesBetweenTriangleAndSquare) {
  ExtLFO trap = makeLfo(2.0, 48000.0, 1.5, 0.5, 0.5);
  ExtLFO tri = makeLfo(2.0, 48000.0, 1.0, 0.5, 0.5);
  std::vector<double> a = run(trap, 24000);
  std::vector<double> b = run(tri, 24000);
  auto steepest = [](const std::vector<double>& v) {
    double m = 0.0;
    for (size_t i = 1; i < v.size(); ++i) m = std::max(m, std::fabs(v[i] - v[i - 1]));
    return m;
  };
  EXPECT_GT(steepest(a), 1.5 * steepest(b));
  EXPECT_GT(countStrictlyBetween(a, 0.0, 1.0), 4 * 384);
  EXPECT_GT(std::count(a.begin(), a.end(), 1.0), 1000);
  EXPECT_GT(std::count(a.begin(), a.end(), 0.0), 1000);
  for (double x : a) ASSERT_TRUE(x >= 0.0 && x <= 1.0);
}

TEST(ExtLFOShape, FormThresholdsSelectPureCosineAndPureTriangle) {
  auto plotAt = [](double form) {
    ExtLFO lfo = makeLfo(4.0, 44100.0, form, 0.3, 1.0);
    return plot(lfo, 200);
  };
  std::vector<double> cosine = plotAt(0.0), triangle = plotAt(1.0);
  EXPECT_EQ(plotAt(0.005), cosine);
  EXPECT_EQ(plotAt(0.01), cosine);
  EXPECT_EQ(plotAt(0.99), triangle);
  EXPECT_EQ(plotAt(1.005), triangle);
  EXPECT_EQ(plotAt(1.01), triangle);
  EXPECT_NE(plotAt(0.02), cosine);
  EXPECT_NE(plotAt(1.02), triangle);
}

TEST(ExtLFOShape, MiddleFormsBlendCosineAndTriangleLinearly) {
  auto plotAt = [](double form) {
    ExtLFO lfo = makeLfo(4.0, 44100.0, form, 0.7, 1.0);
    return plot(lfo, 200);
  };
  std::vector<double> cosine = plotAt(0.0), triangle = plotAt(1.0), mix = plotAt(0.25);
  for (int i = 0; i < 200; ++i) EXPECT_NEAR(mix[i], 0.75 * cosine[i] + 0.25 * triangle[i], 1e-12);
}

TEST(ExtLFOPhase, RaisingPhaseByOneShiftsByHalfACycle) {
  for (double form : {0.0, 1.0, 2.0}) {
    ExtLFO a = makeLfo(4.0, 44100.0, form, 0.3, 0.6);
    ExtLFO b = makeLfo(4.0, 44100.0, form, 0.3, 1.6);
    std::vector<double> p = plot(a, 201), q = plot(b, 201);
    for (int i = 0; i + 100 < 201; ++i) EXPECT_NEAR(q[i], p[i + 100], 1e-9) << "form " << form << " point " << i;
  }
}

TEST(ExtLFOPhase, SyncPhaseOfHalfACycleEqualsPhasePlusOne) {
  ExtLFO a = makeLfo(5.0, 44100.0, 0.4, 0.2, 1.5);
  ExtLFO b = makeLfo(5.0, 44100.0, 0.4, 0.2, 0.5);
  b.setSyncPhase(0.5);
  std::vector<double> p = run(a, 500), q = run(b, 500);
  for (int i = 0; i < 500; ++i) EXPECT_NEAR(p[i], q[i], 1e-9);
}

TEST(ExtLFOPhase, SyncPhaseOnlyMovesTheRunningWaveNotThePlot) {
  ExtLFO a = makeLfo(5.0, 44100.0, 1.0, 0.5, 1.0);
  ExtLFO b = a;
  b.setSyncPhase(0.25);
  EXPECT_EQ(plot(a, 200), plot(b, 200));
  EXPECT_NE(run(a, 10), run(b, 10));
}

TEST(ExtLFOPhase, NegativeSyncPhaseWrapsIntoTheCycle) {
  // A position before the bar gives a negative fraction; the wave must stay
  // the same periodic function instead of running its ramps past the top.
  ExtLFO neg = makeLfo(5.0, 44100.0, 1.0, 0.5, 0.5);
  ExtLFO pos = neg;
  neg.setSyncPhase(-0.5);
  pos.setSyncPhase(0.5);
  std::vector<double> a = run(neg, 3000), b = run(pos, 3000);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_TRUE(a[i] >= 0.0 && a[i] <= 1.0) << "sample " << i << " = " << a[i];
    EXPECT_NEAR(a[i], b[i], 1e-9);
  }
}

TEST(ExtLFOPhase, LoweringThePhaseMovesTheNextBlockBackAndKeepsInternalPhaseInRange) {
  ExtLFO lfo = makeLfo(3.0, 44100.0, 1.0, 0.5, 2.5);
  run(lfo, 100);
  ExtLFO reference = lfo;
  lfo.setPhase(0.5);
  std::vector<double> moved = run(lfo, 50);
  EXPECT_GE(lfo.InternalPhase(), 0.0);
  EXPECT_LE(lfo.InternalPhase(), 2 * kPi);
  // Lowering by 2 half cycles is a whole cycle back: the same values.
  std::vector<double> same = run(reference, 50);
  for (int i = 0; i < 50; ++i) EXPECT_NEAR(moved[i], same[i], 1e-9);

  // Lowering by half a half cycle shows the value a quarter cycle earlier:
  // half a cycle after starting at 3 pi / 2 the triangle stands at pi / 2
  // (0.5); a quarter cycle earlier is the top (1).
  ExtLFO a = makeLfo(3.0, 44100.0, 1.0, 0.5, 1.5);
  run(a, 7350);  // half a cycle at 3 Hz
  ExtLFO unchanged = a;
  a.setPhase(1.0);
  EXPECT_NEAR(run(unchanged, 1)[0], 0.5, 1e-6);
  EXPECT_NEAR(run(a, 1)[0], 1.0, 1e-6);
  EXPECT_GE(a.InternalPhase(), 0.0);
}

TEST(ExtLFOHighRates, EveryTempoUpTo999BpmStaysFiniteAndInRange) {
  MidiTempo tempo;
  std::vector<double> out(2048);
  for (double bpm : {20.0, 120.0, 300.0, 480.0, 700.0, 999.0}) {
    tempo.setTempo(bpm);
    for (int note = 0; note < 7; ++note) {
      for (int prefix = 0; prefix < 3; ++prefix) {
        tempo.setNote(note);
        tempo.setPrefix(prefix);
        for (double form : {0.0, 0.5, 1.0, 1.5, 2.0}) {
          for (double sym : {0.0, 0.5, 1.0}) {
            ExtLFO lfo = makeLfo(tempo.generateFrequency(), 44100.0, form, sym, 1.5);
            lfo.setFrequency(tempo.generateFrequency());
            lfo.generate(out, 2048, true);
            double d = lfo.getEffSymmetry();
            ASSERT_TRUE(d > 0.0 && d < 1.0) << bpm << " BPM note " << note;
            for (double x : out)
              ASSERT_TRUE(std::isfinite(x) && x >= 0.0 && x <= 1.0)
                  << bpm << " BPM note " << note << " prefix " << prefix << " form " << form << " value " << x;
          }
        }
      }
    }
  }
}

TEST(ExtLFOHighRates, AboveHalfACycleOfEdgeTheSquareBecomesTheTriangle) {
  // 200 Hz: 8 ms edges would be 1.6 cycles. Capped at half a cycle each, the
  // square has no plateau left and d stays centred.
  ExtLFO sq = makeLfo(200.0, 44100.0, 2.0, 0.0, 0.5);
  ExtLFO tri = makeLfo(200.0, 44100.0, 1.0, 0.0, 0.5);
  EXPECT_DOUBLE_EQ(sq.getEffSymmetry(), 0.5);
  std::vector<double> a = plot(sq, 200), b = plot(tri, 200);
  for (int i = 0; i < 200; ++i) EXPECT_NEAR(a[i], b[i], 1e-9);
}

TEST(ExtLFOHighRates, JustBelowTheCapTheSquareKeepsShortPlateaus) {
  // 60 Hz: t = 0.48, plateaus of 4 % of a cycle in total.
  ExtLFO lfo = makeLfo(60.0, 48000.0, 2.0, 0.5, 0.5);
  std::vector<double> v = run(lfo, 800);
  int flat = static_cast<int>(std::count(v.begin(), v.end(), 1.0) + std::count(v.begin(), v.end(), 0.0));
  EXPECT_NEAR(flat, 800 * 0.04, 3);
}

TEST(ExtLFOInput, UndersizedOutputAndEmptyCountsWriteNothing) {
  ExtLFO lfo = makeLfo(5.0, 44100.0, 1.0, 0.5, 1.0);
  double before = lfo.InternalPhase();
  std::vector<double> small(10, -7.0);
  lfo.generate(small, 11, true);
  lfo.generate(small, 0, true);
  lfo.generate(small, -3, true);
  lfo.generate(small, 1, false);
  for (double x : small) EXPECT_EQ(x, -7.0);
  EXPECT_EQ(lfo.InternalPhase(), before);
}

TEST(ExtLFOInput, NonPositiveRatesAndSampleRatesAreIgnored) {
  ExtLFO a = makeLfo(5.0, 44100.0, 1.0, 0.5, 1.0);
  ExtLFO b = a;
  b.setFrequency(0.0);
  b.setFrequency(-3.0);
  b.setSampleRate(0.0);
  b.setFrequency(std::nan(""));
  EXPECT_EQ(run(a, 300), run(b, 300));
}

TEST(ExtLFOInput, SymmetryAndFormOutsideTheirRangesAreClamped) {
  // Unclamped, symmetry 1.5 would put d past 1 and divide by zero.
  ExtLFO wild = makeLfo(5.0, 44100.0, 3.0, 1.5, 1.0);
  ExtLFO edge = makeLfo(5.0, 44100.0, 2.0, 1.0, 1.0);
  EXPECT_EQ(plot(wild, 200), plot(edge, 200));
  wild.setSymmetry(-2.0);
  wild.setForm(-1.0);
  edge.setSymmetry(0.0);
  edge.setForm(0.0);
  EXPECT_EQ(run(wild, 300), run(edge, 300));
}

TEST(ExtLFOStream, RunsMatchTheSampleBySampleFormulasOverLongStreams) {
  // Every shape rule, the extreme symmetries, free and tempo rates, uneven
  // block lengths (one, a few, host sizes, one longer than a re-seed) and a
  // phase change on the way: a minute at 48 kHz each.
  const int blocks[] = {1, 7, 64, 512, 333, 4096, 1025};
  for (double form : {0.0, 0.5, 1.0, 1.5, 2.0})
    for (double sym : {0.0, 0.37, 1.0})
      for (double hz : {0.1, 6.0, 31.0}) {
        ExtLFO fast = makeLfo(hz, 48000.0, form, sym, 0.25), exact = fast;
        std::vector<double> a(4096), b(4096);
        double worst = 0.0;
        for (int done = 0, n = 0; done < 48000 * 60; done += blocks[n % 7], ++n) {
          if (n == 900) {
            fast.setPhase(-0.7);
            exact.setPhase(-0.7);
          }
          const int len = blocks[n % 7];
          fast.generate(a, len, true);
          exact.generateExact(b, len, true);
          for (int i = 0; i < len; ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
        }
        EXPECT_LT(worst, 1e-9) << "form " << form << " symmetry " << sym << " " << hz << " Hz";
        EXPECT_NEAR(fast.InternalPhase(), exact.InternalPhase(), 1e-8) << form << " " << sym << " " << hz;
      }
}
