#include "tremolo/MidiTempo.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(MidiTempo, DefaultsAreQuarterNotesAt120Bpm) {
  MidiTempo t;
  EXPECT_DOUBLE_EQ(t.generateFrequency(), 2.0);
  EXPECT_DOUBLE_EQ(t.generateTime(), 0.5);
}

TEST(MidiTempo, NoteIndicesHalveTheCycleStepByStep) {
  // At 240 BPM a whole note lasts one second, so the rate in Hz is the note
  // divisor itself: 1, 2, 4, ... 64.
  MidiTempo t;
  t.setTempo(240.0);
  for (int i = 0; i < 7; ++i) {
    t.setNote(i);
    EXPECT_DOUBLE_EQ(t.generateFrequency(), std::ldexp(1.0, i)) << "index " << i;
    EXPECT_NEAR(t.generateTime() * t.generateFrequency(), 1.0, 1e-15);
  }
}

TEST(MidiTempo, PrefixesLengthenOrShortenTheCycle) {
  MidiTempo t;
  t.setPrefix(1);  // a third longer: 3 cycles per whole note
  EXPECT_DOUBLE_EQ(t.getNoteRate(), 3.0);
  EXPECT_DOUBLE_EQ(t.generateFrequency(), 1.5);
  t.setNote(6);
  t.setPrefix(2);  // sixty-fourth triplets
  EXPECT_DOUBLE_EQ(t.getNoteRate(), 96.0);
  EXPECT_DOUBLE_EQ(t.generateFrequency(), 48.0);
  t.setPrefix(0);
  EXPECT_DOUBLE_EQ(t.getNoteRate(), 64.0);
}

TEST(MidiTempo, OutOfTableIndicesKeepNoteAndPrefix) {
  MidiTempo t;
  t.setNote(3);
  t.setPrefix(2);
  double rate = t.getNoteRate();
  for (int bad : {-1, 7, 9, 1000}) t.setNote(bad);
  for (int bad : {-1, 3, 50}) t.setPrefix(bad);
  for (int bad : {-1, 14, 99}) t.setNoteAndPrefix(bad);
  EXPECT_EQ(t.getNote(), 8);
  EXPECT_DOUBLE_EQ(t.getNoteRate(), rate);
  EXPECT_DOUBLE_EQ(rate, 12.0);
}

TEST(MidiTempo, CombinedIndexCoversLongerPlainAndDottedNotes) {
  const double expected[14] = {1, 2.0 / 3.0, 1.5, 2, 4.0 / 3.0, 3, 4, 8.0 / 3.0, 6, 8, 16.0 / 3.0, 12, 16, 32.0 / 3.0};
  const int notes[14] = {1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16, 16, 16};
  MidiTempo t;
  for (int i = 0; i < 14; ++i) {
    t.setNoteAndPrefix(i);
    EXPECT_EQ(t.getNote(), notes[i]) << "index " << i;
    EXPECT_NEAR(t.getNoteRate(), expected[i], 1e-15) << "index " << i;
  }
}

TEST(MidiTempo, SyncPhaseIsTheFractionOfACycleWithTheSignOfThePosition) {
  MidiTempo t;  // one cycle per quarter note
  EXPECT_DOUBLE_EQ(t.generateSyncPhase(2.25), 0.25);
  EXPECT_DOUBLE_EQ(t.generateSyncPhase(0.0), 0.0);
  EXPECT_DOUBLE_EQ(t.generateSyncPhase(-1.0), 0.0);
  EXPECT_DOUBLE_EQ(t.generateSyncPhase(-1.5), -0.5);
  t.setNote(1);  // half notes: two quarters per cycle
  EXPECT_DOUBLE_EQ(t.generateSyncPhase(3.0), 0.5);
  t.setNote(4);
  t.setPrefix(2);  // sixteenth triplets: six cycles per quarter
  EXPECT_NEAR(t.generateSyncPhase(0.25), 0.5, 1e-12);
}

TEST(MidiTempo, SyncPhaseOfHugeOrBrokenPositionsStaysInRange) {
  MidiTempo t;
  t.setNote(6);
  t.setPrefix(2);
  double far = t.generateSyncPhase(1e10 + 0.125);  // 2.4e11 cycles
  EXPECT_TRUE(far > -1.0 && far < 1.0);
  EXPECT_EQ(t.generateSyncPhase(std::nan("")), 0.0);
  EXPECT_EQ(t.generateSyncPhase(INFINITY), 0.0);
}

TEST(MidiTempo, TempoOutsideTheUsableRangeIsRefused) {
  MidiTempo t;
  // A denormal tempo from a host once turned the output into NaN.
  for (double bpm : {0.0, -90.0, std::nan(""), HUGE_VAL, 4.9e-324, 1e-4, 1e300})
    EXPECT_FALSE(t.setTempo(bpm)) << bpm;
  EXPECT_DOUBLE_EQ(t.getTempo(), 120.0);
  EXPECT_TRUE(t.setTempo(120.6));
  EXPECT_DOUBLE_EQ(t.generateFrequency(), 120.6 / 240.0 * 4.0);
}
