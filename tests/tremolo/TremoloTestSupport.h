// Shared helpers of the tremolo tests: a tremolo in the state a host leaves
// it in before audio starts, and parameter changes made the way a host makes
// them.
#pragma once

#include <initializer_list>
#include <memory>
#include <utility>

#include "tremolo/QuillbarTremolo.h"

namespace tremolotest {

// A tremolo as the host leaves it before audio starts: sample rate set,
// reset, every parameter applied once.
inline std::unique_ptr<QuillbarTremolo> MakeTremolo(double sampleRate = 44100.0) {
  std::unique_ptr<QuillbarTremolo> plug(static_cast<QuillbarTremolo*>(MakePlug()));
  plug->SetSampleRate(sampleRate);
  plug->Reset();
  plug->OnParamReset();
  return plug;
}

// A parameter change as the host makes it: plain value, under the mutex.
inline void SetParam(QuillbarTremolo& plug, int idx, double plain) {
  IMutexLock lock(&plug);
  plug.GetParam(idx)->Set(plain);
  plug.OnParamChange(idx);
}

// Parameter changes made one after another, in order, as above.
inline void SetParams(QuillbarTremolo& plug, std::initializer_list<std::pair<int, double>> changes) {
  for (const auto& c : changes) SetParam(plug, c.first, c.second);
}

// MakeTremolo() with these parameter changes then made in order.
inline std::unique_ptr<QuillbarTremolo> MakeTremolo(std::initializer_list<std::pair<int, double>> changes) {
  std::unique_ptr<QuillbarTremolo> plug = MakeTremolo();
  SetParams(*plug, changes);
  return plug;
}

}  // namespace tremolotest
