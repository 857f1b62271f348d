// Progress bar on stderr for long renders: a bar, the percentage and the
// speed as a multiple of real time, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>

class Progress
{
public:
  // totalFrames: the input's length (0 or less: unknown, nothing is shown);
  // sampleRate in Hz. `enabled` false makes every call a no-op.
  Progress(int64_t totalFrames, double sampleRate, bool enabled);
  // Frames done so far; redraws when 100 ms have passed since the last draw.
  void Update(int64_t framesDone);
  // Draws 100 % and ends the line (when enabled, even if no Update drew).
  void Finish();

  // Whether a render of `totalFrames` at `sampleRate` gets a bar: longer than
  // ten seconds, stderr a terminal, not quiet.
  static bool Wanted(int64_t totalFrames, double sampleRate, bool quiet);

private:
  void Draw(int64_t framesDone);

  int64_t mTotal;
  double mRate;
  bool mEnabled;
  std::chrono::steady_clock::time_point mStart;
  std::chrono::steady_clock::time_point mLastDraw;
};
