// MidiTempo: turns a note length and a host tempo into LFO rate, cycle time
// and the LFO phase that belongs to a musical position.
//
// A cycle lasts `prefix` / `note` whole notes; `noteRate` = `note` / `prefix`
// is the number of LFO cycles per whole note, kept up to date by every setter.
// Tempo is in quarter notes per minute. Not thread-safe: the owner serialises
// every call.
#pragma once

class MidiTempo {
 public:
  // Quarter notes (note 4, prefix 1) at 120 BPM.
  MidiTempo() = default;

  // Tempos taken, in BPM: far wider than music uses, narrow enough that the
  // rate and cycle time stay ordinary doubles.
  static constexpr double kMinTempo = 1e-3;
  static constexpr double kMaxTempo = 1e6;

  // Stores the tempo in BPM. Values outside kMinTempo..kMaxTempo, and NaN,
  // are ignored (the rate and cycle time would leave the doubles); returns
  // whether it was taken. Any thread; not synchronized.
  bool setTempo(double bpm);
  // 0..6 selects whole, half, quarter, ..., sixty-fourth notes. Any other
  // index keeps the note; noteRate is recomputed either way.
  void setNote(int index);
  // 0 plain (1), 1 a third longer (4/3), 2 triplet (2/3). Any other index
  // keeps the prefix; noteRate is recomputed either way.
  void setPrefix(int index);
  // Note and prefix from one combined index 0..13 (whole note to dotted
  // sixteenth, see kNoteAndPrefix in the source). Any other index keeps both;
  // noteRate is recomputed either way.
  void setNoteAndPrefix(int index);

  // LFO rate in Hz: tempo / 240 * noteRate.
  double generateFrequency() const;
  // Seconds per LFO cycle: 240 / noteRate / tempo.
  double generateTime() const;
  // The fraction of an LFO cycle reached `quarterNotes` after the reference
  // point, with the sign of the position (-1 < result < 1). Non-finite
  // positions give 0.
  double generateSyncPhase(double quarterNotes) const;

  // Note divisor: 1 whole, 2 half, ... 64 sixty-fourth.
  int getNote() const { return note; }
  // Length factor of the note (1, 4/3, 2/3, or 1.5 from the combined index).
  double getPrefix() const { return prefix; }
  // LFO cycles per whole note.
  double getNoteRate() const { return noteRate; }
  // Tempo in BPM.
  double getTempo() const { return tempo; }

 private:
  void updateNoteRate() { noteRate = note / prefix; }

  int note = 4;
  double prefix = 1.0;
  double noteRate = 4.0;
  double tempo = 120.0;
};
