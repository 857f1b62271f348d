// Host time for tests and benchmarks that drive a plug-in without a host:
// host callbacks that report one ITimeInfo record (tempo and beat, transport,
// time signature and bar start), as a host's timeline would.
#pragma once

#include "au/IPlugAU.h"

class HostTimeRecord
{
public:
  // Keeps `time` and has `plug` read it through its host callbacks from now
  // on. The record is read on the render thread: call this there, or while
  // no block runs. The record must outlive the plug-in's use of it.
  void Report(IPlugAU& plug, const ITimeInfo& time)
  {
    mTime = time;
    plug.SetHostCallbacks(Callbacks());
  }
  // For a host that hands the callbacks over itself (through the Audio Unit
  // property): the callbacks reading this record, and a new record for them.
  HostCallbackInfo Callbacks() { return HostCallbackInfo{this, &BeatAndTempo, &MusicalTime, &Transport}; }
  void Set(const ITimeInfo& time) { mTime = time; }

private:
  static OSStatus BeatAndTempo(void* userData, Float64* pBeat, Float64* pTempo)
  {
    const ITimeInfo& t = static_cast<HostTimeRecord*>(userData)->mTime;
    if (pBeat) *pBeat = t.mPPQPos;
    if (pTempo) *pTempo = t.mTempo;
    return noErr;
  }
  static OSStatus MusicalTime(void* userData, UInt32* pDeltaSampleOffsetToNextBeat, Float32* pNumerator,
                              UInt32* pDenominator, Float64* pMeasureDownBeat)
  {
    const ITimeInfo& t = static_cast<HostTimeRecord*>(userData)->mTime;
    if (pDeltaSampleOffsetToNextBeat) *pDeltaSampleOffsetToNextBeat = 0;
    if (pNumerator) *pNumerator = static_cast<Float32>(t.mNumerator);
    if (pDenominator) *pDenominator = t.mDenominator > 0 ? static_cast<UInt32>(t.mDenominator) : 0;
    if (pMeasureDownBeat) *pMeasureDownBeat = t.mLastBar;
    return noErr;
  }
  static OSStatus Transport(void* userData, Boolean* pPlaying, Boolean* pChanged, Float64* pSample, Boolean* pCycling,
                            Float64* pCycleStart, Float64* pCycleEnd)
  {
    const ITimeInfo& t = static_cast<HostTimeRecord*>(userData)->mTime;
    if (pPlaying) *pPlaying = t.mTransportIsRunning;
    if (pChanged) *pChanged = false;
    if (pSample) *pSample = t.mSamplePos;
    if (pCycling) *pCycling = t.mTransportLoopEnabled;
    if (pCycleStart) *pCycleStart = t.mCycleStart;
    if (pCycleEnd) *pCycleEnd = t.mCycleEnd;
    return noErr;
  }

  ITimeInfo mTime;
};
