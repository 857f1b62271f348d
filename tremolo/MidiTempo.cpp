#include "tremolo/MidiTempo.h"

#include <cmath>

namespace {

const int kNotes[] = {1, 2, 4, 8, 16, 32, 64};
const double kPrefixes[] = {1.0, 4.0 / 3.0, 2.0 / 3.0};

struct NoteAndPrefix {
  int note;
  double prefix;
};
// From the longest cycle down: each note a third longer, plain, then dotted
// (the whole note has no longer form).
const NoteAndPrefix kNoteAndPrefix[] = {
    {1, 1.0},        {1, 1.5}, {2, 4.0 / 3.0},  {2, 1.0},  {2, 1.5},
    {4, 4.0 / 3.0},  {4, 1.0}, {4, 1.5},        {8, 4.0 / 3.0}, {8, 1.0},
    {8, 1.5},        {16, 4.0 / 3.0}, {16, 1.0}, {16, 1.5},
};

template <typename T, int N>
constexpr int countOf(const T (&)[N]) {
  return N;
}

}  // namespace

bool MidiTempo::setTempo(double bpm) {
  // Far outside any song's tempo the LFO arithmetic leaves the doubles: a
  // host that reported a denormal tempo turned the output into NaN.
  if (!(bpm >= kMinTempo && bpm <= kMaxTempo)) return false;
  tempo = bpm;
  return true;
}

void MidiTempo::setNote(int index) {
  if (index >= 0 && index < countOf(kNotes)) note = kNotes[index];
  updateNoteRate();
}

void MidiTempo::setPrefix(int index) {
  if (index >= 0 && index < countOf(kPrefixes)) prefix = kPrefixes[index];
  updateNoteRate();
}

void MidiTempo::setNoteAndPrefix(int index) {
  if (index >= 0 && index < countOf(kNoteAndPrefix)) {
    note = kNoteAndPrefix[index].note;
    prefix = kNoteAndPrefix[index].prefix;
  }
  updateNoteRate();
}

double MidiTempo::generateFrequency() const {
  // 240 turns quarter notes per minute into whole notes per second.
  return tempo / 240.0 * noteRate;
}

double MidiTempo::generateTime() const {
  return 240.0 / noteRate / tempo;
}

double MidiTempo::generateSyncPhase(double quarterNotes) const {
  const double cycles = quarterNotes * 0.25 * noteRate;
  if (!std::isfinite(cycles)) return 0.0;
  // std::trunc rather than a cast to int: a position beyond 2^31 cycles
  // (hours into a session at sixty-fourth triplets) must not overflow.
  return cycles - std::trunc(cycles);
}
