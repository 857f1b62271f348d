// Render thread against parameter changes, the way a host using the direct
// render procedure drives the plug-in: blocks are processed without the
// plug-in mutex while another thread automates parameters, recalls presets
// and resets. Built under ThreadSanitizer by scripts/test.sh.
#include "tremolo/QuillbarTremolo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "TremoloTestSupport.h"
#include "tests/support/HostTimeRecord.h"

using tremolotest::SetParam;

TEST(TremoloConcurrency, RenderingWhileParametersChangeStaysInRangeAndConverges) {
  std::unique_ptr<QuillbarTremolo> plug(static_cast<QuillbarTremolo*>(MakePlug()));
  ASSERT_NE(plug, nullptr);
  plug->SetSampleRate(48000.0);
  plug->Reset();
  plug->OnParamReset();

  std::atomic<bool> renderDone{false};
  std::atomic<int> badSamples{0};
  // The render side is fast enough to finish a fixed number of blocks before a
  // busy machine schedules the control thread at all, and the control side
  // can make thousands of changes while the render thread waits for a core.
  // So rendering goes on until the control side has made enough changes and
  // the render side has seen enough of them (bounded, so changes that never
  // arrive fail the rate check instead of hanging).
  std::atomic<unsigned> controlSteps{0};
  std::set<double> ratesSeen;  // render thread only

  std::thread render([&] {
    const int n = 256;
    std::vector<double> inL(n, 1.0), inR(n, 1.0), outL(n), outR(n);
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    ITimeInfo time;
    HostTimeRecord hostTime;
    time.mTransportIsRunning = true;
    time.mSamplePos = 0.0;
    for (int block = 0;
         block < 20000 || ((controlSteps.load() < 5000 || ratesSeen.size() <= 10) && block < 20000000); ++block) {
      time.mTempo = 60.0 + (block / 20) % 900;  // up to 959 BPM
      time.mPPQPos = time.mSamplePos / (48000.0 * 60.0 / time.mTempo);
      time.mLastBar = std::floor(time.mPPQPos / 4.0) * 4.0;
      hostTime.Report(*plug, time);
      int frames = block % 7 == 0 ? n / 2 : n;
      plug->ProcessDoubleReplacing(in, out, frames);
      time.mSamplePos += frames;
      // DC 1 in, volume at most 2: every gain lies in 0..2.
      for (int j = 0; j < frames; ++j) {
        if (!(outL[j] >= 0.0 && outL[j] <= 2.0) || !(outR[j] >= 0.0 && outR[j] <= 2.0)) ++badSamples;
      }
      ratesSeen.insert(plug->GetRenderLFO().getFrequency());
    }
    renderDone = true;
  });

  std::thread control([&] {
    unsigned step = 0;
    while (!renderDone) {
      ++step;
      controlSteps.store(step);
      switch (step % 9) {
        case 0: plug->RestorePreset(static_cast<int>(step / 9 % 5)); break;
        case 1: SetParam(*plug, kFrequency, 0.1 + (step % 320) * 0.1); break;
        case 2: SetParam(*plug, kShape, (step % 201) * 0.01); break;
        case 3: SetParam(*plug, kSymmetry, (step % 101) * 0.01); break;
        case 4: SetParam(*plug, kTempoSync, step % 2); break;
        case 5: SetParam(*plug, kNote, step % 7); break;
        case 6: SetParam(*plug, kPrefix, step % 3); break;
        case 7: plug->SetParameterFromGUI(kPhase, (step % 100) * 0.01); break;
        case 8:
          SetParam(*plug, kVolume, (step % 201) * 0.01);
          SetParam(*plug, kMode, step % 2);
          if (step % 90 == 8) {
            IMutexLock lock(plug.get());
            plug->Reset();
            plug->CustomInit();
          }
          break;
      }
    }
  });

  render.join();
  control.join();
  EXPECT_EQ(badSamples.load(), 0);
  EXPECT_GT(ratesSeen.size(), 10u) << "the render thread did not see the changes";

  // With the writer gone, the next block runs on exactly the last settings.
  SetParam(*plug, kTempoSync, 0.0);
  SetParam(*plug, kFrequency, 12.5);
  SetParam(*plug, kShape, 0.25);
  std::vector<double> inL(64, 1.0), outL(64);
  double* in[2] = {inL.data(), inL.data()};
  double* out[2] = {outL.data(), outL.data()};
  plug->ProcessDoubleReplacing(in, out, 64);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getFrequency(), 12.5);
  EXPECT_DOUBLE_EQ(plug->GetRenderLFO().getform(), 0.25);
}
