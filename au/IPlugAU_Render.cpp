// The render path: buses, stream formats, connections, rendering and the
// host's transport.
#include "au/IPlugAU.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "au/AUSupport.h"
#include "framework/IFlushDenormals.h"

namespace
{

// Largest channel count of one bus the render path handles; the buffer
// lists it builds live on the stack.
constexpr int kMaxBusChannels = 64;

// Marks an input pull in progress for as long as it lives.
struct PullGuard
{
  explicit PullGuard(bool* pFlag) : mFlag(pFlag) { *mFlag = true; }
  ~PullGuard() { *mFlag = false; }
  bool* mFlag;
};

// Stack storage for a buffer list of up to kMaxBusChannels buffers.
struct StackBufferList
{
  alignas(AudioBufferList) unsigned char bytes[offsetof(AudioBufferList, mBuffers) +
                                               kMaxBusChannels * sizeof(AudioBuffer)];
  AudioBufferList* Get() { return reinterpret_cast<AudioBufferList*>(bytes); }
};

} // namespace

const char* AUInputTypeStr(int type)
{
  switch (type)
  {
    case eNotConnected: return "NotConnected";
    case eDirectFastProc: return "DirectFastProc";
    case eDirectNoFastProc: return "DirectNoFastProc";
    case eRenderCallback: return "RenderCallback";
    default: return "";
  }
}

void MakeDefaultASBD(AudioStreamBasicDescription* pASBD, double sampleRate, int nChannels, bool interleaved)
{
  if (!pASBD) return;
  memset(pASBD, 0, sizeof(AudioStreamBasicDescription));
  pASBD->mSampleRate = sampleRate;
  pASBD->mFormatID = kAudioFormatLinearPCM;
  pASBD->mFormatFlags = kAudioFormatFlagsNativeFloatPacked;
  pASBD->mBitsPerChannel = 8 * sizeof(float);
  pASBD->mChannelsPerFrame = nChannels > 0 ? nChannels : 0;
  pASBD->mFramesPerPacket = 1;
  const UInt32 bytesPerSample = sizeof(float);
  if (interleaved)
  {
    pASBD->mBytesPerPacket = pASBD->mBytesPerFrame = bytesPerSample * pASBD->mChannelsPerFrame;
  }
  else
  {
    pASBD->mBytesPerPacket = pASBD->mBytesPerFrame = bytesPerSample;
    pASBD->mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
  }
}

AudioChannelLayoutTag GetTagForNumChannels(int numChannels)
{
  switch (numChannels)
  {
    case 1: return kAudioChannelLayoutTag_Mono;
    case 2: return kAudioChannelLayoutTag_Stereo;
    default: return kAudioChannelLayoutTag_Unknown;
  }
}

// ---------------------------------------------------------------------------
// Buses, formats and connections

EAUInputType IPlugAU::GetInputType(int idx) const
{
  const InputBusConnection* c = mInBusConnections.Get(idx);
  return c ? c->mInputType : eNotConnected;
}

IPlugAU::BusChannels* IPlugAU::GetBus(AudioUnitScope scope, AudioUnitElement element)
{
  if (element > 0x7fffffffU) return nullptr;
  const int idx = static_cast<int>(element);
  if (scope == kAudioUnitScope_Input) return mInBuses.Get(idx);
  if (scope == kAudioUnitScope_Output || scope == kAudioUnitScope_Global) return mOutBuses.Get(idx);
  return nullptr;
}

int IPlugAU::NHostChannelsConnected(WDL_PtrList<BusChannels>* pBuses, int excludeIdx)
{
  bool init = false;
  int nCh = 0;
  for (int i = 0, n = pBuses->GetSize(); i < n; ++i)
  {
    if (i == excludeIdx) continue;
    const int nHostChannels = pBuses->Get(i)->mNHostChannels;
    if (nHostChannels >= 0)
    {
      nCh += nHostChannels;
      init = true;
    }
  }
  return init ? nCh : -1;
}

bool IPlugAU::CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels)
{
  if (scope == kAudioUnitScope_Input)
  {
    const int nIn = std::max(NHostChannelsConnected(&mInBuses, busIdx), 0) + nChannels;
    const int nOut = mActive ? NHostChannelsConnected(&mOutBuses) : -1;
    return LegalIO(nIn, nOut);
  }
  const int nIn = mActive ? NHostChannelsConnected(&mInBuses) : -1;
  const int nOut = std::max(NHostChannelsConnected(&mOutBuses, busIdx), 0) + nChannels;
  return LegalIO(nIn, nOut);
}

bool IPlugAU::CheckLegalIO()
{
  const int nIn = NHostChannelsConnected(&mInBuses);
  const int nOut = NHostChannelsConnected(&mOutBuses);
  return (!nIn && !nOut) || LegalIO(nIn, nOut);
}

void IPlugAU::AssessInputConnections()
{
  IMutexLock lock(this);
  SetInputChannelConnections(0, NInChannels(), false);
  for (int i = 0, n = mInBuses.GetSize(); i < n; ++i)
  {
    BusChannels* pInBus = mInBuses.Get(i);
    InputBusConnection* pInBusConn = mInBusConnections.Get(i);
    if (!pInBusConn) continue;
    if (pInBusConn->mUpstreamRenderProc && pInBusConn->mUpstreamObj) pInBusConn->mInputType = eDirectFastProc;
    else if (pInBusConn->mUpstreamUnit) pInBusConn->mInputType = eDirectNoFastProc;
    else if (pInBusConn->mUpstreamRenderCallback.inputProc) pInBusConn->mInputType = eRenderCallback;
    else pInBusConn->mInputType = eNotConnected;

    pInBus->mConnected = pInBusConn->mInputType != eNotConnected;
    if (pInBus->mConnected)
    {
      if (pInBus->mNHostChannels < 0) pInBus->mNHostChannels = pInBus->mNPlugChannels;
      const int nConnected = std::min(pInBus->mNHostChannels, pInBus->mNPlugChannels);
      const int startChannelIdx = pInBus->mPlugChannelStartIdx;
      SetInputChannelConnections(startChannelIdx, nConnected, true);
      SetInputChannelConnections(startChannelIdx + nConnected, pInBus->mNPlugChannels - nConnected, false);
    }
  }
}

void IPlugAU::ClearConnections()
{
  for (int i = 0, n = mInBuses.GetSize(); i < n; ++i)
  {
    mInBuses.Get(i)->mConnected = false;
    mInBuses.Get(i)->mNHostChannels = -1;
  }
  for (int i = 0, n = mOutBuses.GetSize(); i < n; ++i)
  {
    mOutBuses.Get(i)->mConnected = false;
    mOutBuses.Get(i)->mNHostChannels = -1;
  }
  for (int i = 0, n = mInBusConnections.GetSize(); i < n; ++i) *mInBusConnections.Get(i) = InputBusConnection();
}

ComponentResult IPlugAU::GetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                         AudioStreamBasicDescription* pASBD)
{
  BusChannels* pBus = GetBus(scope, element);
  if (!pBus) return kAudioUnitErr_InvalidElement;
  const int nChannels = pBus->mNHostChannels >= 0 ? pBus->mNHostChannels : pBus->mNPlugChannels;
  MakeDefaultASBD(pASBD, GetSampleRate(), nChannels, false);
  return noErr;
}

ComponentResult IPlugAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                         const AudioStreamBasicDescription* pASBD)
{
  if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
    return kAudioUnitErr_InvalidScope;
  BusChannels* pBus = GetBus(scope, element);
  if (!pBus) return kAudioUnitErr_InvalidElement;
  const int nHostChannels = static_cast<int>(std::min<UInt32>(pASBD->mChannelsPerFrame, 0x7fff));
  // The render path reads and writes one buffer of native 32-bit floats per
  // channel; any other layout accepted here would be misread.
  const UInt32 flags = pASBD->mFormatFlags;
  const bool processed = pASBD->mFormatID == kAudioFormatLinearPCM && (flags & kAudioFormatFlagIsFloat) &&
                         (flags & kAudioFormatFlagIsNonInterleaved) && !(flags & kAudioFormatFlagIsBigEndian) &&
                         pASBD->mBitsPerChannel == 32 && pASBD->mBytesPerFrame == sizeof(float) &&
                         pASBD->mBytesPerPacket == sizeof(float) && pASBD->mFramesPerPacket == 1;
  const bool accepted = processed && nHostChannels > 0 && nHostChannels <= pBus->mNPlugChannels &&
                        CheckLegalIO(scope, static_cast<int>(element), nHostChannels);
  // A refused format changes nothing: the bus keeps the format it had.
  if (!accepted) return kAudioUnitErr_FormatNotSupported;
  pBus->mNHostChannels = nHostChannels;
  const double sr = pASBD->mSampleRate;
  if (au_support::UsableSampleRate(sr) && sr != GetSampleRate())
  {
    SetSampleRate(sr);
    // What a write of the sample-rate property does, so that whatever runs
    // at the rate follows it before the next render.
    Reset();
  }
  AssessInputConnections();
  return noErr;
}

ComponentResult IPlugAU::MakeConnection(AudioUnitScope scope, const AudioUnitConnection& conn)
{
  if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
  if (conn.destInputNumber >= static_cast<UInt32>(mInBusConnections.GetSize())) return kAudioUnitErr_InvalidElement;
  // A unit fed by itself would pull its own output while producing it.
  if (conn.sourceAudioUnit && (conn.sourceAudioUnit == mCI ||
                               GetComponentInstanceStorage(conn.sourceAudioUnit) == static_cast<void*>(this)))
    return kAudioUnitErr_InvalidPropertyValue;
  InputBusConnection* pInBusConn = mInBusConnections.Get(static_cast<int>(conn.destInputNumber));
  *pInBusConn = InputBusConnection();
  bool ok = true;
  if (conn.sourceAudioUnit)
  {
    AudioStreamBasicDescription srcASBD;
    UInt32 size = sizeof(srcASBD);
    ok = AudioUnitGetProperty(conn.sourceAudioUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                              conn.sourceOutputNumber, &srcASBD, &size) == noErr &&
         SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, conn.destInputNumber, size, &srcASBD) ==
           noErr;
    if (ok)
    {
      pInBusConn->mUpstreamUnit = conn.sourceAudioUnit;
      pInBusConn->mUpstreamBusIdx = static_cast<int>(conn.sourceOutputNumber);
      AudioUnitRenderProc srcRenderProc = nullptr;
      size = sizeof(srcRenderProc);
      if (AudioUnitGetProperty(conn.sourceAudioUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                               kAudioUnitRenderSelect, &srcRenderProc, &size) == noErr &&
          srcRenderProc)
      {
        pInBusConn->mUpstreamRenderProc = srcRenderProc;
        pInBusConn->mUpstreamObj = GetComponentInstanceStorage(conn.sourceAudioUnit);
      }
    }
  }
  AssessInputConnections();
  return ok ? static_cast<ComponentResult>(noErr) : static_cast<ComponentResult>(kAudioUnitErr_InvalidProperty);
}

ComponentResult IPlugAU::SetInputCallback(AudioUnitElement element, const AURenderCallbackStruct& cb)
{
  if (element >= static_cast<AudioUnitElement>(mInBusConnections.GetSize())) return kAudioUnitErr_InvalidElement;
  InputBusConnection* pInBusConn = mInBusConnections.Get(static_cast<int>(element));
  *pInBusConn = InputBusConnection();
  if (cb.inputProc) pInBusConn->mUpstreamRenderCallback = cb;
  AssessInputConnections();
  return noErr;
}

int IPlugAU::GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* pTags)
{
  if (scope == kAudioUnitScope_Output || (scope == kAudioUnitScope_Input && mInBuses.GetSize() > 0))
  {
    BusChannels* pBus = GetBus(scope, element);
    if (!pBus) return 0;
    if (pTags) *pTags = GetTagForNumChannels(pBus->mNPlugChannels);
    return 1;
  }
  return 0;
}

void IPlugAU::SetBlockSize(int blockSize)
{
  if (blockSize < 0) blockSize = 0;
  const int nIn = blockSize * NInChannels(), nOut = blockSize * NOutChannels();
  if (mInScratchBuf.Resize(nIn) && nIn) memset(mInScratchBuf.Get(), 0, nIn * sizeof(float));
  if (mOutScratchBuf.Resize(nOut) && nOut) memset(mOutScratchBuf.Get(), 0, nOut * sizeof(float));
  IPlugBase::SetBlockSize(blockSize);
}

// ---------------------------------------------------------------------------
// Render

OSStatus IPlugAU::RenderProc(void* pPlug, AudioUnitRenderActionFlags* pFlags, const AudioTimeStamp* pTimestamp,
                             UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* pBufferList)
{
  IPlugAU* plug = static_cast<IPlugAU*>(pPlug);
  if (!plug) return kAudio_ParamError;
  // A unit that reaches itself again through its own input (a cycle of
  // connections) would recurse until the stack runs out.
  if (plug->mPullingInput) return plug->mLastRenderError = kAudioUnitErr_CannotDoInCurrentContext;
  // Denormals (a decaying input, a fade) are flushed for the render only.
  IFlushDenormals flush;
  const OSStatus r = plug->Render(pFlags, pTimestamp, outputBusIdx, nFrames, pBufferList);
  if (r != noErr) plug->mLastRenderError = r;
  return r;
}

OSStatus IPlugAU::Render(AudioUnitRenderActionFlags* pFlags, const AudioTimeStamp* pTimestamp, UInt32 outputBusIdx,
                         UInt32 nFrames, AudioBufferList* pBufferList)
{
  IPlugAU* plug = this;
  if (!pTimestamp) return kAudio_ParamError;
  if (!(pTimestamp->mFlags & kAudioTimeStampSampleTimeValid)) return kAudioUnitErr_InvalidPropertyValue;
  if (outputBusIdx >= static_cast<UInt32>(mOutBuses.GetSize())) return kAudioUnitErr_InvalidElement;
  if (nFrames > static_cast<UInt32>(GetBlockSize())) return kAudioUnitErr_TooManyFramesToProcess;
  if (!pBufferList) return kAudio_ParamError;

  BusChannels* pOutBus = plug->mOutBuses.Get(static_cast<int>(outputBusIdx));
  const int nBuffers = static_cast<int>(std::min<UInt32>(pBufferList->mNumberBuffers, 0x7fffffff));
  // Each buffer becomes one plug-in channel of the bus; more buffers than
  // the bus has channels, or buffers shorter than the frames, would be
  // written past their ends.
  if (nBuffers > pOutBus->mNPlugChannels) return kAudio_ParamError;
  for (int i = 0; i < nBuffers; ++i)
  {
    const AudioBuffer& b = pBufferList->mBuffers[i];
    if (b.mData && b.mDataByteSize < nFrames * sizeof(float)) return kAudio_ParamError;
  }

  (void)pFlags; // the notifications get their own pre- and post-render flags
  plug->CallRenderNotifications(kAudioUnitRenderAction_PreRender, pTimestamp, outputBusIdx, nFrames, pBufferList);

  const double renderSampleTime = pTimestamp->mSampleTime;
  if (renderSampleTime != plug->mLastRenderSampleTime)
  {
    PullGuard guard(&mPullingInput);
    for (int i = 0, n = plug->mInBuses.GetSize(); i < n; ++i)
    {
      BusChannels* pInBus = plug->mInBuses.Get(i);
      InputBusConnection* pInBusConn = plug->mInBusConnections.Get(i);
      if (!pInBus->mConnected || !pInBusConn) continue;

      const int nConnected = std::min(std::min(pInBus->mNHostChannels, pInBus->mNPlugChannels), kMaxBusChannels);
      const int chIdx = pInBus->mPlugChannelStartIdx;
      StackBufferList stackList;
      AudioBufferList* pInBufList = stackList.Get();
      pInBufList->mNumberBuffers = static_cast<UInt32>(nConnected);
      for (int b = 0; b < nConnected; ++b)
      {
        pInBufList->mBuffers[b].mNumberChannels = 1;
        pInBufList->mBuffers[b].mDataByteSize = nFrames * sizeof(float);
        pInBufList->mBuffers[b].mData = nullptr;
      }

      OSStatus r = noErr;
      AudioUnitRenderActionFlags flags = 0;
      switch (pInBusConn->mInputType)
      {
        case eRenderCallback:
        {
          for (int b = 0; b < nConnected; ++b)
            pInBufList->mBuffers[b].mData = plug->mInScratchBuf.Get() + (chIdx + b) * static_cast<int>(nFrames);
          const AURenderCallbackStruct& cb = pInBusConn->mUpstreamRenderCallback;
          r = cb.inputProc(cb.inputProcRefCon, &flags, pTimestamp, static_cast<UInt32>(i), nFrames, pInBufList);
          break;
        }
        case eDirectNoFastProc:
          r = AudioUnitRender(pInBusConn->mUpstreamUnit, &flags, pTimestamp,
                              static_cast<UInt32>(pInBusConn->mUpstreamBusIdx), nFrames, pInBufList);
          break;
        case eDirectFastProc:
          r = pInBusConn->mUpstreamRenderProc(pInBusConn->mUpstreamObj, &flags, pTimestamp,
                                              static_cast<UInt32>(pInBusConn->mUpstreamBusIdx), nFrames, pInBufList);
          break;
        default: break;
      }
      if (r != noErr) return r;

      // The upstream side may have pointed the buffers at its own memory;
      // take at most what we handed out.
      const int nGot = std::min(nConnected, static_cast<int>(std::min<UInt32>(pInBufList->mNumberBuffers, kMaxBusChannels)));
      float* channels[kMaxBusChannels];
      for (int b = 0; b < nConnected; ++b)
      {
        const AudioBuffer& buf = pInBufList->mBuffers[b];
        const bool usable = b < nGot && buf.mData && buf.mDataByteSize >= nFrames * sizeof(float);
        channels[b] = usable ? static_cast<float*>(buf.mData) : nullptr;
      }
      plug->AttachInputBuffers(chIdx, nConnected, channels, static_cast<int>(nFrames));
    }
    plug->mLastRenderSampleTime = renderSampleTime;
  }

  // The connections follow this call's buffer count every time: a host that
  // once rendered fewer buffers than the bus has must get all of them back
  // when it hands them again. Setting flags allocates nothing.
  {
    const int startChannelIdx = pOutBus->mPlugChannelStartIdx;
    const int nHost = pOutBus->mNHostChannels >= 0 ? pOutBus->mNHostChannels : pOutBus->mNPlugChannels;
    const int nConnected = std::max(std::min(nHost, nBuffers), 0);
    const int nUnconnected = std::max(pOutBus->mNPlugChannels - nConnected, 0);
    plug->SetOutputChannelConnections(startChannelIdx, nConnected, true);
    plug->SetOutputChannelConnections(startChannelIdx + nConnected, nUnconnected, false);
    pOutBus->mConnected = true;
  }

  for (int i = 0; i < nBuffers; ++i)
  {
    AudioBuffer& b = pBufferList->mBuffers[i];
    if (!b.mData)
    {
      b.mData = plug->mOutScratchBuf.Get() + (pOutBus->mPlugChannelStartIdx + i) * static_cast<int>(nFrames);
      b.mDataByteSize = nFrames * sizeof(float);
    }
    float* pData = static_cast<float*>(b.mData);
    plug->AttachOutputBuffers(pOutBus->mPlugChannelStartIdx + i, 1, &pData);
  }

  int lastConnectedOutputBus = -1;
  for (int i = 0, n = plug->mOutBuses.GetSize(); i < n; ++i)
  {
    if (!plug->mOutBuses.Get(i)->mConnected) break;
    lastConnectedOutputBus = i;
  }
  if (lastConnectedOutputBus < 0) lastConnectedOutputBus = plug->mOutBuses.GetSize() - 1;

  if (static_cast<int>(outputBusIdx) == lastConnectedOutputBus)
  {
    // Channels of the buses after this one are not being rendered. They start
    // where this bus ends (not at two channels per bus, which would cut off
    // a single bus of more than two channels).
    const int lastChannel = pOutBus->mPlugChannelStartIdx + pOutBus->mNPlugChannels;
    if (plug->NOutChannels() > lastChannel)
      plug->SetOutputChannelConnections(lastChannel, plug->NOutChannels() - lastChannel, false);
    if (plug->IsBypassed()) plug->PassThroughBuffers(0.0f, static_cast<int>(nFrames));
    else plug->ProcessBuffers(0.0f, static_cast<int>(nFrames));
  }

  plug->CallRenderNotifications(kAudioUnitRenderAction_PostRender, pTimestamp, outputBusIdx, nFrames, pBufferList);
  return noErr;
}

void IPlugAU::CallRenderNotifications(AudioUnitRenderActionFlags phase, const AudioTimeStamp* pTimestamp,
                                      UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* pBufferList)
{
  // The count is read on every step: a notification may remove itself (or
  // another) through the entry, and a count taken before would then reach
  // past the end of the list.
  for (int i = 0; i < mRenderNotify.GetSize(); ++i)
  {
    const RenderNotify* r = mRenderNotify.Get(i);
    AudioUnitRenderActionFlags flags = phase;
    r->mProc(r->mRefCon, &flags, pTimestamp, outputBusIdx, nFrames, pBufferList);
  }
}

// ---------------------------------------------------------------------------
// Host time

double IPlugAU::GetTempo()
{
  if (mHostCallbacks.beatAndTempoProc)
  {
    Float64 currentBeat = 0.0, tempo = 0.0;
    if (mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &currentBeat, &tempo) == noErr && tempo > 0.0)
      mTempo = tempo;
  }
  return mTempo;
}

int IPlugAU::GetSamplePos()
{
  if (!mHostCallbacks.transportStateProc) return 0;
  Boolean playing = false, changed = false, looping = false;
  Float64 samplePos = 0.0, loopStart = 0.0, loopEnd = 0.0;
  if (mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &samplePos, &looping,
                                        &loopStart, &loopEnd) != noErr)
    return 0;
  const double rounded = samplePos + 0.5;
  // A position no int can hold is not one the plug-in can use.
  if (!(rounded >= -2147483648.0 && rounded < 2147483648.0)) return 0;
  return static_cast<int>(rounded);
}

void IPlugAU::GetTimeSig(int* pNum, int* pDenom)
{
  if (!mHostCallbacks.musicalTimeLocationProc) return;
  UInt32 sampleOffsetToNextBeat = 0, tsDenom = 0;
  Float32 tsNum = 0.0f;
  Float64 currentMeasureDownBeat = 0.0;
  if (mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &sampleOffsetToNextBeat, &tsNum, &tsDenom,
                                             &currentMeasureDownBeat) != noErr)
    return;
  if (pNum) *pNum = (tsNum > -2147483648.0f && tsNum < 2147483648.0f) ? static_cast<int>(tsNum) : 0;
  if (pDenom) *pDenom = static_cast<int>(std::min<UInt32>(tsDenom, 0x7fffffff));
}

void IPlugAU::GetTime(ITimeInfo* pTimeInfo)
{
  if (!pTimeInfo) return;
  // Positions are taken from 0 on: 0 is the start of the song, not "unknown".
  if (mHostCallbacks.beatAndTempoProc)
  {
    Float64 currentBeat = -1.0, tempo = 0.0;
    if (mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &currentBeat, &tempo) == noErr)
    {
      if (tempo > 0.0)
      {
        pTimeInfo->mTempo = tempo;
      }
      if (currentBeat >= 0.0) pTimeInfo->mPPQPos = currentBeat;
    }
  }
  if (mHostCallbacks.transportStateProc)
  {
    Boolean playing = false, changed = false, looping = false;
    Float64 samplePos = -1.0, loopStart = -1.0, loopEnd = -1.0;
    if (mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &samplePos, &looping,
                                          &loopStart, &loopEnd) == noErr)
    {
      if (samplePos >= 0.0) pTimeInfo->mSamplePos = samplePos;
      if (loopStart >= 0.0) pTimeInfo->mCycleStart = loopStart;
      if (loopEnd >= 0.0) pTimeInfo->mCycleEnd = loopEnd;
      pTimeInfo->mTransportIsRunning = playing;
      pTimeInfo->mTransportLoopEnabled = looping;
    }
  }
  if (mHostCallbacks.musicalTimeLocationProc)
  {
    UInt32 sampleOffsetToNextBeat = 0, tsDenom = 4;
    Float32 tsNum = 4.0f;
    Float64 currentMeasureDownBeat = -1.0;
    if (mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &sampleOffsetToNextBeat, &tsNum, &tsDenom,
                                               &currentMeasureDownBeat) == noErr)
    {
      pTimeInfo->mNumerator = (tsNum > -2147483648.0f && tsNum < 2147483648.0f) ? static_cast<int>(tsNum) : 0;
      pTimeInfo->mDenominator = static_cast<int>(std::min<UInt32>(tsDenom, 0x7fffffff));
      if (currentMeasureDownBeat >= 0.0) pTimeInfo->mLastBar = currentMeasureDownBeat;
    }
  }
}

void IPlugAU::SetHostCallbacks(const HostCallbackInfo& info) { mHostCallbacks = info; }

