#include "lv2/IPlugLV2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include "lv2/LV2Turtle.h"

IPlugLV2::IPlugLV2(IPlugInstanceInfo /*instanceInfo*/, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                   int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                   int /*plugScChans*/)
  : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID, mfrID,
              latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPILV2)
{
  mPorts.nIn = NInChannels();
  mPorts.nOut = NOutChannels();
  mPorts.nParams = NParams();
  mAudioIn.assign(mPorts.nIn, nullptr);
  mAudioOut.assign(mPorts.nOut, nullptr);
  mParamPorts.assign(mPorts.nParams, nullptr);
  mLastPortValue.assign(mPorts.nParams, 0.0f);
  mChanged.assign(mPorts.nParams, 0);
  mSilence.assign(kMaxChunk, 0.0f);
  mDiscard.assign(kMaxChunk, 0.0f);
  mInPtrs.assign(mPorts.nIn, nullptr);
  mOutPtrs.assign(mPorts.nOut, nullptr);
  SetInputChannelConnections(0, mPorts.nIn, true);
  SetOutputChannelConnections(0, mPorts.nOut, true);
  SetBlockSize(kMaxChunk);
}

IPlugLV2::~IPlugLV2() = default;

bool IPlugLV2::Instantiate(const char* pluginURI, double sampleRate, const LV2_Feature* const* features)
{
  if (!pluginURI || !(sampleRate > 0.0) || !std::isfinite(sampleRate)) return false;
  const LV2_Options_Option* options = nullptr;
  for (const LV2_Feature* const* f = features; f && *f; ++f)
  {
    // Some hosts pass features with null data (urid:unmap in one offline
    // renderer); such an entry counts as absent.
    if (!(*f)->URI || !(*f)->data) continue;
    if (!std::strcmp((*f)->URI, LV2_URID__map))
      mMap = static_cast<LV2_URID_Map*>((*f)->data);
    else if (!std::strcmp((*f)->URI, LV2_OPTIONS__options))
      options = static_cast<const LV2_Options_Option*>((*f)->data);
  }
  if (!mMap || !mMap->map) return false;
  mTimeURIDs.Map(mMap);
  mAtomSequence = mMap->map(mMap->handle, LV2_ATOM__Sequence);
  mAtomString = mMap->map(mMap->handle, LV2_ATOM__String);
  mPresetKey = mMap->map(mMap->handle, LV2PresetStateKey(pluginURI).c_str());
  // The host's block length only tells us how long runs will be; runs are
  // cut into kMaxChunk pieces anyway, so nothing needs to grow for it.
  (void)options;

  SetSampleRate(sampleRate);
  Reset();
  return true;
}

void IPlugLV2::ConnectPort(uint32_t port, void* data)
{
  const long p = static_cast<long>(port);
  if (p < mPorts.nIn)
    mAudioIn[p] = static_cast<float*>(data);
  else if (p < mPorts.nIn + mPorts.nOut)
    mAudioOut[p - mPorts.nIn] = static_cast<float*>(data);
  else if (p == mPorts.Control())
    mControlPort = data;
  else if (const int idx = mPorts.ParamOfPort(p); idx >= 0)
    mParamPorts[idx] = static_cast<const float*>(data);
}

void IPlugLV2::Activate()
{
  Reset();
  mApplyAllPorts = true;
}

bool IPlugLV2::SetParameterFromHost(int idx, double value)
{
  IMutexLock lock(this);
  IParam* param = GetParam(idx);
  if (!param || !std::isfinite(value)) return false;
  param->Set(value);
  if (IPlugEditor* editor = GetEditor()) editor->SetParameterFromPlug(idx, value, false);
  OnParamChange(idx);
  return true;
}

void IPlugLV2::ApplyControlPorts()
{
  // All changed values first, then OnParamChange in index order, as a
  // parameter reset does: a change may read another parameter (sync off
  // takes the Frequency value), which must already be the new one.
  const int n = mPorts.nParams;
  bool any = false;
  IMutexLock lock(this);
  for (int i = 0; i < n; ++i)
  {
    mChanged[i] = 0;
    if (!mParamPorts[i]) continue;
    const float v = *mParamPorts[i];
    if (!std::isfinite(v) || (!mApplyAllPorts && v == mLastPortValue[i])) continue;
    mLastPortValue[i] = v;
    GetParam(i)->Set(v);
    if (IPlugEditor* editor = GetEditor()) editor->SetParameterFromPlug(i, v, false);
    mChanged[i] = 1;
    any = true;
  }
  mApplyAllPorts = false;
  if (!any) return;
  for (int i = 0; i < n; ++i)
    if (mChanged[i]) OnParamChange(i);
}

void IPlugLV2::ProcessSpan(uint32_t offset, uint32_t nFrames)
{
  while (nFrames > 0)
  {
    const int n = static_cast<int>(std::min<uint32_t>(nFrames, kMaxChunk));
    for (int c = 0; c < mPorts.nIn; ++c) mInPtrs[c] = mAudioIn[c] ? mAudioIn[c] + offset : mSilence.data();
    for (int c = 0; c < mPorts.nOut; ++c) mOutPtrs[c] = mAudioOut[c] ? mAudioOut[c] + offset : mDiscard.data();
    // The base converts the inputs into its scratch before the processing
    // writes, so a host that hands the same buffer in and out is served.
    AttachInputBuffers(0, mPorts.nIn, mInPtrs.data(), n);
    AttachOutputBuffers(0, mPorts.nOut, mOutPtrs.data());
    ProcessBuffers(0.0f, n);
    mTime.Advance(n, GetSampleRate());
    offset += n;
    nFrames -= n;
  }
}

void IPlugLV2::Run(uint32_t nFrames)
{
  ApplyControlPorts();
  uint32_t done = 0;
  const LV2_Atom_Sequence* seq = static_cast<const LV2_Atom_Sequence*>(mControlPort);
  if (seq && seq->atom.type == mAtomSequence && seq->atom.size >= sizeof(LV2_Atom_Sequence_Body))
  {
    LV2_ATOM_SEQUENCE_FOREACH(seq, ev)
    {
      // A position describes the moment of its frame: render up to it with
      // the time before, then take it over. Frames outside the block (or
      // before an earlier event) count as the nearest frame inside.
      const int64_t t = std::clamp<int64_t>(ev->time.frames, done, nFrames);
      if (t > done)
      {
        ProcessSpan(done, static_cast<uint32_t>(t - done));
        done = static_cast<uint32_t>(t);
      }
      mTime.Apply(&ev->body, mTimeURIDs);
    }
  }
  if (done < nFrames) ProcessSpan(done, nFrames - done);
}

LV2_State_Status IPlugLV2::SaveState(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  if (!store) return LV2_STATE_ERR_UNKNOWN;
  const char* name = GetPresetName(GetCurrentPresetIdx());
  return store(handle, mPresetKey, name, std::strlen(name) + 1, mAtomString,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IPlugLV2::RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
  if (!retrieve) return LV2_STATE_ERR_UNKNOWN;
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* data = retrieve(handle, mPresetKey, &size, &type, &flags);
  // A state without a name (saved by an older build, or none at all) keeps
  // the current preset.
  if (!data) return LV2_STATE_SUCCESS;
  if (type != mAtomString || size == 0 || size > 256) return LV2_STATE_ERR_BAD_TYPE;
  const std::string name(static_cast<const char*>(data), strnlen(static_cast<const char*>(data), size));
  RestorePreset(name.c_str());
  // The preset's values were just applied; the host's port values (the
  // saved ones) take over again at the next run.
  mApplyAllPorts = true;
  return LV2_STATE_SUCCESS;
}

void IPlugLV2::SetUIHost(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
{
  mUIWrite = write;
  mUIController = controller;
  mUITouch = touch && touch->touch ? touch : nullptr;
}

void IPlugLV2::BeginInformHostOfParamChange(int idx)
{
  if (mUITouch && GetParam(idx)) mUITouch->touch(mUITouch->handle, mPorts.Param(idx), true);
}

void IPlugLV2::InformHostOfParamChange(int idx, double /*normalizedValue*/)
{
  const IParam* param = GetParam(idx);
  if (!mUIWrite || !param) return;
  // Ports carry plain values; the parameter already holds the new one.
  const float value = static_cast<float>(param->Value());
  mUIWrite(mUIController, mPorts.Param(idx), sizeof(float), 0, &value);
}

void IPlugLV2::EndInformHostOfParamChange(int idx)
{
  if (mUITouch && GetParam(idx)) mUITouch->touch(mUITouch->handle, mPorts.Param(idx), false);
}

int IPlugLV2::GetSamplePos()
{
  const double f = mTime.Frame() + 0.5;
  return f >= -2147483648.0 && f < 2147483648.0 ? static_cast<int>(std::floor(f)) : 0;
}

double IPlugLV2::GetTempo() { return mTime.QuarterNotesPerMinute(); }

void IPlugLV2::GetTimeSig(int* pNum, int* pDenom)
{
  ITimeInfo info;
  mTime.Fill(&info);
  if (pNum) *pNum = info.mNumerator;
  if (pDenom) *pDenom = info.mDenominator;
}

void IPlugLV2::GetTime(ITimeInfo* pTimeInfo) { mTime.Fill(pTimeInfo); }

// ---------------------------------------------------------------------------
// The descriptor

namespace
{

IPlugLV2* Plug(LV2_Handle h) { return static_cast<IPlugLV2*>(h); }

LV2_Handle InstantiateProc(const LV2_Descriptor* descriptor, double rate, const char* /*bundlePath*/,
                           const LV2_Feature* const* features)
{
  IPlugLV2* plug = MakePlug();
  if (!plug) return nullptr;
  if (!plug->Instantiate(descriptor->URI, rate, features))
  {
    delete plug;
    return nullptr;
  }
  return plug;
}

void ConnectPortProc(LV2_Handle h, uint32_t port, void* data) { Plug(h)->ConnectPort(port, data); }
void ActivateProc(LV2_Handle h) { Plug(h)->Activate(); }
void RunProc(LV2_Handle h, uint32_t n)
{
  if (n > 0) Plug(h)->Run(n);
}
void DeactivateProc(LV2_Handle) {}
void CleanupProc(LV2_Handle h) { delete Plug(h); }

LV2_State_Status SaveProc(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                          const LV2_Feature* const*)
{
  return Plug(h)->SaveState(store, handle);
}
LV2_State_Status RestoreProc(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                             const LV2_Feature* const*)
{
  return Plug(h)->RestoreState(retrieve, handle);
}

const void* ExtensionDataProc(const char* uri)
{
  static const LV2_State_Interface sState = {SaveProc, RestoreProc};
  return uri && !std::strcmp(uri, LV2_STATE__interface) ? &sState : nullptr;
}

} // namespace

const LV2_Descriptor* IPlugLV2::Descriptor(const char* uri)
{
  static LV2_Descriptor sDescriptor = {uri, InstantiateProc, ConnectPortProc, ActivateProc, RunProc,
                                       DeactivateProc, CleanupProc, ExtensionDataProc};
  return &sDescriptor;
}
