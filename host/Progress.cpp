#include "host/Progress.h"

#include <unistd.h>

#include <cstdio>

Progress::Progress(int64_t totalFrames, double sampleRate, bool enabled)
  : mTotal(totalFrames)
  , mRate(sampleRate)
  , mEnabled(enabled && totalFrames > 0 && sampleRate > 0.0)
  , mStart(std::chrono::steady_clock::now())
  , mLastDraw(mStart)
{
}

bool Progress::Wanted(int64_t totalFrames, double sampleRate, bool quiet)
{
  return !quiet && sampleRate > 0.0 && static_cast<double>(totalFrames) > 10.0 * sampleRate && isatty(2);
}

void Progress::Update(int64_t framesDone)
{
  if (!mEnabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - mLastDraw < std::chrono::milliseconds(100)) return;
  mLastDraw = now;
  Draw(framesDone);
}

void Progress::Finish()
{
  if (!mEnabled) return;
  Draw(mTotal);
  fputc('\n', stderr);
  fflush(stderr);
}

void Progress::Draw(int64_t framesDone)
{
  constexpr int kWidth = 30;
  if (framesDone > mTotal) framesDone = mTotal;
  const double fraction = static_cast<double>(framesDone) / static_cast<double>(mTotal);
  const int filled = static_cast<int>(fraction * kWidth);
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = 0;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count();
  const double audioSeconds = static_cast<double>(framesDone) / mRate;
  if (seconds > 0.0)
    fprintf(stderr, "\r[%s] %3d%%  %.1fx real time ", bar, static_cast<int>(fraction * 100.0), audioSeconds / seconds);
  else
    fprintf(stderr, "\r[%s] %3d%% ", bar, static_cast<int>(fraction * 100.0));
  fflush(stderr);
}
