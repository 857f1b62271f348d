// ExtLFO: the tremolo's low-frequency oscillator.
//
// One waveform that morphs with `form` from a skewed cosine (0) through a
// triangle (1) to a square with soft edges (2). `symmetry` moves the trough
// inside the cycle, `phase` (in half cycles) and `syncPhase` (in cycles) shift
// the wave. Values are written as 0..1 into a caller-sized vector, either as a
// continuous audio-rate stream (running mode, phase carried from block to
// block) or as one whole cycle over a fixed number of points (plot mode).
//
// All phase arithmetic is in radians; one cycle is 2*pi. The shape
// coefficients depend only on frequency, symmetry and form and are recomputed
// when those change. The audio stream costs a few vector multiply-adds per
// value (see generate); the plot takes one cosine per point. Neither
// allocates.
//
// Not thread-safe: the owner serialises every call.
#pragma once

#include <vector>

class ExtLFO {
 public:
  // Starts at 8 Hz, 44100 Hz sample rate, symmetry 0.5, form 0, all phases 0,
  // edge time 8 ms, with every shape coefficient computed.
  ExtLFO();

  // Sets the rate in Hz and recomputes the increment, the effective symmetry
  // and the square coefficients. A rate that is not positive and finite is
  // ignored (the last one stays).
  void setFrequency(double hz);
  // Recomputes `increment` from the stored rate and sample rate; returns it
  // (radians per sample).
  double updateIncrement();
  // Sets the sample rate in Hz; only the increment changes. A rate that is
  // not positive and finite is ignored.
  void setSampleRate(double sr);
  // Sets the raw symmetry, 0..1 (0 fast fall, 0.5 symmetric, 1 fast rise);
  // clamped into that range, non-finite values give 0.5.
  void setSymmetry(double s);
  // Sets the waveform morph, 0..2 (0 cosine, 1 triangle, 2 square); clamped
  // into that range, non-finite values give 0.
  void setForm(double f);
  // Phase offset in half cycles (units of pi).
  void setPhase(double p) { phase = p; }
  // Running position in radians, net of the offsets; 0..2*pi.
  void setInternalPhase(double p) { internalPhase = p; }
  // Tempo-sync phase offset in cycles, -1..1.
  void setSyncPhase(double p) { syncPhase = p; }

  // Waveform morph, 0..2.
  double getform() const { return form; }
  // Running position in radians, 0..2*pi, net of the offsets.
  double InternalPhase() const { return internalPhase; }
  // Rate in Hz.
  double getFrequency() const { return frequency; }
  // Sample rate in Hz.
  double getSampleRate() const { return sampleRate; }
  // Tempo-sync offset in cycles.
  double getSyncPhase() const { return syncPhase; }
  // Raw symmetry, 0..1.
  double getSymmetry() const { return symmetry; }
  // Phase offset in half cycles.
  double getPhase() const { return phase; }
  // Symmetry after the edge-time correction (d), strictly inside 0..1.
  double getEffSymmetry() const { return effSymmetry; }

  // Recomputes d and the triangle coefficients, and the square ones too when
  // form > 1. Called by the setters; public for owners that change fields in
  // bulk.
  void correctSymmetry();
  // Recomputes the square's edge lines from form, d and the rate.
  void correctSqrAmp();

  // Writes `count` values in 0..1 into out[0..count-1]. running = true is the
  // audio stream (advances the internal phase); false writes one full cycle
  // from the current offset (first and last point one cycle apart) and leaves
  // the running state alone. Does nothing when count <= 0, when `out` holds
  // fewer than `count` values, or (plot mode) when count < 2.
  //
  // The audio stream is computed in runs of samples that lie on one piece of
  // the wave (a half cycle, or one edge line of the square): straight pieces
  // as ramps, cosine pieces by rotating a unit vector, re-seeded from an
  // exact cosine at the start of each run and every 512 samples. Each value
  // is within 1e-12 of generateExact's; the position it carries to the next
  // block is x0 + count * increment, wrapped, so there is no drift.
  void generate(std::vector<double>& out, int count, bool running);
  // The same values computed sample by sample from the formulas, one cosine
  // per value, the position advanced by repeated addition; the plot uses it.
  // Same contract as generate.
  void generateExact(std::vector<double>& out, int count, bool running);

 private:
  // The running stream into dst[0..count-1] in runs (see generate).
  void generateRuns(double* dst, int count);
  // Rotation by one and by eight sample steps of a cosine piece whose angle
  // advances by `scale` radians per radian of position; cached per step.
  struct Rotation {
    double scale = 0.0, step = 0.0;
    double c1 = 1.0, s1 = 0.0, c8 = 1.0, s8 = 0.0;
  };
  static void updateRotation(Rotation& r, double scale, double step);
  Rotation fallRotation, riseRotation;

  // Edge time as a fraction of one cycle. Tempo-synced rates reach a few
  // hundred hertz, where 8 ms edges would not fit twice into a cycle; capped
  // at half a cycle, the square degrades into a triangle and d stays 0.5,
  // instead of plateaus of negative width and a symmetry outside 0..1.
  double edgeFraction() const;
  // Sum of the offsets (symmetry, phase, and syncPhase when running) in
  // radians.
  double offset(bool running) const;
  // d and the triangle coefficients only.
  void updateTriangle();
  // Every shape coefficient, each computed once.
  void updateShape();

  double pi;
  double frequency;
  double sampleRate;
  double symmetry;
  double form;
  double internalPhase;
  double phase;
  double syncPhase;
  double increment;
  double edgeTime;
  double triFallSlope;
  double triRiseSlope;
  double triFallOffset;
  double triRiseOffset;
  double sqrFallSlope;
  double sqrRiseSlope;
  double sqrFallOffset;
  double sqrRiseOffset;
  double sqrFallStart;
  double sqrRiseEnd;
  double effSymmetry;
};
