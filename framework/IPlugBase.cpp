#include "framework/IPlugBase.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/Log.h"
#include "framework/SampleConvert.h"

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
                     int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, EAPI plugAPI)
  : mUniqueID(uniqueID),
    mMfrID(mfrID),
    mVersion(vendorVersion),
    mAPI(plugAPI),
    mStateChunks(plugDoesChunks),
    mIsInst(plugIsInst),
    mDoesMIDI(plugDoesMidi),
    mLatency(latency)
{
  for (int i = 0; i < nParams; ++i) mParams.Add(new IParam());
  for (int i = 0; i < nPresets; ++i) mPresets.Add(new IPreset());

  CopyTextToField(mEffectName, sizeof(mEffectName), effectName);
  CopyTextToField(mProductName, sizeof(mProductName), productName);
  CopyTextToField(mMfrName, sizeof(mMfrName), mfrName);

  // "1-1 2-2": one "%d-%d" per configuration, separated by single spaces
  int nInputs = 0, nOutputs = 0;
  const char* p = channelIOStr ? channelIOStr : "";
  for (;;)
  {
    int nIn = 0, nOut = 0;
    sscanf(p, "%d-%d", &nIn, &nOut);
    mChannelIO.Add(new ChannelIO(nIn, nOut));
    if (nIn > nInputs) nInputs = nIn;
    if (nOut > nOutputs) nOutputs = nOut;
    const char* space = strchr(p, ' ');
    if (!space) break;
    p = space + 1;
  }

  // the data tables are sized once here and never move: each channel keeps
  // a pointer to its own slot. A count too large to hold leaves that side
  // without channels rather than writing through a null table.
  if (!mInData.Resize(nInputs)) nInputs = 0;
  if (!mOutData.Resize(nOutputs)) nOutputs = 0;
  for (int i = 0; i < nInputs; ++i)
  {
    mInData.Get()[i] = nullptr;
    InChannel* ch = new InChannel();
    ch->mSrc = mInData.Get() + i;
    mInChannels.Add(ch);
  }
  for (int i = 0; i < nOutputs; ++i)
  {
    mOutData.Get()[i] = nullptr;
    OutChannel* ch = new OutChannel();
    ch->mDest = mOutData.Get() + i;
    mOutChannels.Add(ch);
  }
}

IPlugBase::~IPlugBase()
{
  delete mGraphics;
  mGraphics = nullptr;
  mParams.Empty(true);
  mPresets.Empty(true);
  mInChannels.Empty(true);
  mOutChannels.Empty(true);
  mChannelIO.Empty(true);
  mInputBusLabels.Empty(true);
  mOutputBusLabels.Empty(true);
}

// ---------------------------------------------------------------------------
// Virtual hooks with base behaviour

void IPlugBase::Reset()
{
  IMutexLock lock(this);
}

void IPlugBase::OnParamChange(int /*paramIdx*/)
{
  IMutexLock lock(this);
}

void IPlugBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  if (!outputs || nFrames <= 0) return;
  int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i)
  {
    double* out = outputs[i];
    if (!out) continue;
    const double* in = (i < nIn && inputs) ? inputs[i] : nullptr;
    if (in)
      memmove(out, in, (size_t)nFrames * sizeof(double)); // in and out may be the same buffer
    else
      memset(out, 0, (size_t)nFrames * sizeof(double));
  }
}

void IPlugBase::ProcessSingleReplacing(float** inputs, float** outputs, int nFrames)
{
  if (!outputs || nFrames <= 0) return;
  int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i)
  {
    float* out = outputs[i];
    if (!out) continue;
    const float* in = (i < nIn && inputs) ? inputs[i] : nullptr;
    if (in)
      memmove(out, in, (size_t)nFrames * sizeof(float));
    else
      memset(out, 0, (size_t)nFrames * sizeof(float));
  }
}

void IPlugBase::OnActivate(bool /*active*/)
{
  IMutexLock lock(this);
}

void IPlugBase::ProcessMidiMsg(IMidiMsg* pMsg)
{
  if (pMsg) SendMidiMsg(pMsg);
}

bool IPlugBase::MidiNoteName(int /*noteNumber*/, char* noteName)
{
  if (noteName) noteName[0] = 0;
  return false;
}

bool IPlugBase::SerializeState(ByteChunk* pChunk) { return SerializeParams(pChunk); }

int IPlugBase::UnserializeState(ByteChunk* pChunk, int startPos) { return UnserializeParams(pChunk, startPos); }

bool IPlugBase::CompareState(const unsigned char* incomingState, int startPos)
{
  int n = NParams();
  if (n == 0) return true;
  if (!incomingState || startPos < 0) return false;
  for (int i = 0; i < n; ++i)
  {
    double other;
    // the state need not be aligned for doubles
    memcpy(&other, incomingState + ((size_t)startPos + (size_t)i) * sizeof(double), sizeof(double));
    float diff = std::fabs((float)GetParam(i)->Value() - (float)other);
    if (!(diff < 0.00001f)) return false;
  }
  return true;
}

void IPlugBase::SetParameterFromGUI(int idx, double normalizedValue)
{
  IMutexLock lock(this);
  IParam* param = GetParam(idx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(idx, normalizedValue);
  OnParamChange(idx);
}

void IPlugBase::AttachGraphics(IPlugEditor* pGraphics)
{
  if (!pGraphics) return;
  IMutexLock lock(this);
  for (int i = 0, n = NParams(); i < n; ++i) pGraphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
  pGraphics->PrepDraw();
  // the base owns its editor; replacing one must not leak the old one
  if (mGraphics && mGraphics != pGraphics)
  {
    OnEditorAboutToBeReplaced();
    delete mGraphics;
  }
  mGraphics = pGraphics;
}

void IPlugBase::SetLatency(int samples) { mLatency = samples; }

void IPlugBase::RedrawParamControls()
{
  if (!mGraphics) return;
  for (int i = 0, n = NParams(); i < n; ++i) mGraphics->SetParameterFromPlug(i, GetParam(i)->Value(), false);
}

void IPlugBase::SetBlockSize(int blockSize)
{
  if (blockSize < 0) blockSize = 0;
  if (blockSize == mBlockSize) return;

  // Connected channels can point into their scratch too (float input is
  // converted there); those must follow it as well, or a render before the
  // next attach reads freed memory.
  std::vector<bool> inInScratch(static_cast<size_t>(NInChannels())), outInScratch(static_cast<size_t>(NOutChannels()));
  for (int i = 0; i < NInChannels(); ++i)
    inInScratch[static_cast<size_t>(i)] = *mInChannels.Get(i)->mSrc == mInChannels.Get(i)->mScratchBuf.Get();
  for (int i = 0; i < NOutChannels(); ++i)
    outInScratch[static_cast<size_t>(i)] = *mOutChannels.Get(i)->mDest == mOutChannels.Get(i)->mScratchBuf.Get();

  bool ok = true;
  for (int i = 0; ok && i < NInChannels(); ++i) ok = mInChannels.Get(i)->mScratchBuf.Resize(blockSize) != nullptr;
  for (int i = 0; ok && i < NOutChannels(); ++i) ok = mOutChannels.Get(i)->mScratchBuf.Resize(blockSize) != nullptr;
  if (!ok)
  {
    // out of memory: go back to the old size (shrinking cannot fail) so every
    // scratch buffer still matches mBlockSize
    blockSize = mBlockSize;
    for (int i = 0; i < NInChannels(); ++i) mInChannels.Get(i)->mScratchBuf.Resize(blockSize);
    for (int i = 0; i < NOutChannels(); ++i) mOutChannels.Get(i)->mScratchBuf.Resize(blockSize);
  }
  mBlockSize = blockSize;
  ZeroScratchBuffers();

  // a resize may move the scratch storage: unconnected channels, and
  // connected ones that were using it, must follow it
  for (int i = 0; i < NInChannels(); ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    if (!ch->mConnected || inInScratch[static_cast<size_t>(i)]) *ch->mSrc = ch->mScratchBuf.Get();
  }
  for (int i = 0; i < NOutChannels(); ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    if (!ch->mConnected || outInScratch[static_cast<size_t>(i)]) *ch->mDest = ch->mScratchBuf.Get();
  }
}

// ---------------------------------------------------------------------------
// Parameters

void IPlugBase::OnParamReset()
{
  for (int i = 0, n = NParams(); i < n; ++i) OnParamChange(i);
}

void IPlugBase::DirtyParameters()
{
  IMutexLock lock(this);
  for (int i = 0, n = NParams(); i < n; ++i) InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

// ---------------------------------------------------------------------------
// Identity

int IPlugBase::GetEffectVersion(bool asDecimal) const
{
  return asDecimal ? GetDecimalVersion(mVersion) : mVersion;
}

void IPlugBase::GetEffectVersionStr(char* out) const { GetVersionStr(mVersion, out); }

int IPlugBase::GetHostVersion(bool asDecimal)
{
  GetHost();
  return asDecimal ? GetDecimalVersion(mHostVersion) : mHostVersion;
}

void IPlugBase::GetHostVersionStr(char* out)
{
  GetHost();
  GetVersionStr(mHostVersion, out);
}

void IPlugBase::SetHost(const char* host, int version)
{
  mHost = LookUpHost(host);
  mHostVersion = version;
  char vStr[MAX_VERSION_STR_LEN];
  GetVersionStr(version, vStr);
  Trace(__FUNCTION__, __LINE__, "host_%sknown:%s:%s", mHost == kHostUnknown ? "un" : "", host ? host : "", vStr);
}

const char* IPlugBase::GetAPIString()
{
  switch (GetAPI())
  {
    case kAPIVST2: return "VST2";
    case kAPIVST3: return "VST3";
    case kAPIAU: return "AU";
    case kAPIRTAS: return "RTAS";
    case kAPIAAX: return "AAX";
    case kAPISA: return "Standalone";
    case kAPILV2: return "LV2";
    default: return "";
  }
}

// ---------------------------------------------------------------------------
// Channels

// The channels idx .. idx + n - 1 that exist in a list of `count`, as the
// half-open range [*pBegin, *pEnd) (empty when *pEnd <= *pBegin). The end is
// formed in 64 bits: idx + n may not fit an int.
static void ChannelSpan(int idx, int n, int count, int* pBegin, int* pEnd)
{
  long long end = (long long)idx + (n > 0 ? n : 0);
  if (end > count) end = count;
  *pBegin = idx < 0 ? 0 : idx;
  *pEnd = (int)end;
}

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
  bool legal = false;
  for (int i = 0, n = mChannelIO.GetSize(); i < n && !legal; ++i)
  {
    const ChannelIO* io = mChannelIO.Get(i);
    legal = (nIn < 0 || nIn == io->mIn) && (nOut < 0 || nOut == io->mOut);
  }
  Trace(__FUNCTION__, __LINE__, "%d:%d:%s", nIn, nOut, legal ? "legal" : "illegal");
  return legal;
}

bool IPlugBase::GetChannelIO(int idx, int* pNIn, int* pNOut) const
{
  const ChannelIO* io = mChannelIO.Get(idx);
  if (!io) return false;
  if (pNIn) *pNIn = io->mIn;
  if (pNOut) *pNOut = io->mOut;
  return true;
}

bool IPlugBase::IsInChannelConnected(int chIdx) const
{
  const InChannel* ch = mInChannels.Get(chIdx);
  return ch && ch->mConnected;
}

bool IPlugBase::IsOutChannelConnected(int chIdx) const
{
  const OutChannel* ch = mOutChannels.Get(chIdx);
  return ch && ch->mConnected;
}

void IPlugBase::LimitToStereoIO()
{
  int nIn = NInChannels(), nOut = NOutChannels();
  if (nIn > 2) SetInputChannelConnections(2, nIn - 2, false);
  if (nOut > 2) SetOutputChannelConnections(2, nOut - 2, true);
}

void IPlugBase::SetInputChannelConnections(int idx, int n, bool connected)
{
  int begin, end;
  ChannelSpan(idx, n, NInChannels(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    // The scratch still holds the last block the channel was fed; an input
    // that goes away must read silence, not that block again and again.
    if (ch->mConnected && !connected && ch->mScratchBuf.GetSize() > 0)
      memset(ch->mScratchBuf.Get(), 0, ch->mScratchBuf.GetSize() * sizeof(double));
    ch->mConnected = connected;
    if (!connected) *ch->mSrc = ch->mScratchBuf.Get();
  }
}

void IPlugBase::SetOutputChannelConnections(int idx, int n, bool connected)
{
  int begin, end;
  ChannelSpan(idx, n, NOutChannels(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    ch->mConnected = connected;
    if (!connected) *ch->mDest = ch->mScratchBuf.Get();
  }
}

void IPlugBase::SetInputLabel(int idx, const char* label)
{
  if (InChannel* ch = mInChannels.Get(idx)) ch->mLabel.Set(label);
}

void IPlugBase::SetOutputLabel(int idx, const char* label)
{
  if (OutChannel* ch = mOutChannels.Get(idx)) ch->mLabel.Set(label);
}

const char* IPlugBase::GetInputLabel(int idx) const
{
  const InChannel* ch = mInChannels.Get(idx);
  return ch ? ch->mLabel.Get() : "";
}

const char* IPlugBase::GetOutputLabel(int idx) const
{
  const OutChannel* ch = mOutChannels.Get(idx);
  return ch ? ch->mLabel.Get() : "";
}

static void ReplaceBusLabel(WDL_PtrList<WDL_String>& labels, int idx, const char* label)
{
  if (idx < labels.GetSize()) labels.Delete(idx, true);
  WDL_String* s = new WDL_String(label);
  if (!labels.Insert(idx, s)) delete s;
}

void IPlugBase::SetInputBusLabel(int idx, const char* label)
{
  if (idx < 0 || idx > 1) return;
  ReplaceBusLabel(mInputBusLabels, idx, label);
}

void IPlugBase::SetOutputBusLabel(int idx, const char* label)
{
  if (idx < 0) return;
  ReplaceBusLabel(mOutputBusLabels, idx, label);
}

// ---------------------------------------------------------------------------
// Processing frame

void IPlugBase::AttachInputBuffers(int idx, int n, double** ppData, int /*nFrames*/)
{
  if (!ppData) return;
  int begin, end;
  ChannelSpan(idx, n, NInChannels(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    if (ch->mConnected) *ch->mSrc = *ppData++;
  }
}

void IPlugBase::AttachInputBuffers(int idx, int n, float** ppData, int nFrames)
{
  if (!ppData) return;
  int begin, end;
  ChannelSpan(idx, n, NInChannels(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    InChannel* ch = mInChannels.Get(i);
    if (!ch->mConnected) continue;
    const float* src = *ppData++;
    double* dst = ch->mScratchBuf.Get();
    int size = ch->mScratchBuf.GetSize();
    // the scratch buffer is one block long; frames beyond it cannot be held
    int frames = nFrames < size ? (nFrames > 0 ? nFrames : 0) : size;
    if (src)
      ActiveSampleConvertKernels().floatToDouble(src, dst, frames);
    else
      for (int s = 0; s < frames; ++s) dst[s] = 0.0;
    *ch->mSrc = dst;
  }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, double** ppData)
{
  if (!ppData) return;
  int begin, end;
  ChannelSpan(idx, n, NOutChannels(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    if (ch->mConnected) *ch->mDest = *ppData++;
  }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, float** ppData)
{
  if (!ppData) return;
  int begin, end;
  ChannelSpan(idx, n, NOutChannels(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    OutChannel* ch = mOutChannels.Get(i);
    if (!ch->mConnected) continue;
    *ch->mDest = ch->mScratchBuf.Get();
    ch->mFDest = *ppData++;
  }
}

// Frames per call are limited to the block size: unconnected channels and
// float hosts go through the scratch buffers, which hold one block.
static int LimitFrames(int nFrames, int blockSize)
{
  if (nFrames < 0) return 0;
  return nFrames < blockSize ? nFrames : blockSize;
}

// Converts nFrames doubles of every connected output into its float
// destination, overwriting it or adding to it.
static void ConvertOutputsToFloat(const WDL_PtrList<IPlugBase::OutChannel>& outputs, int nFrames, bool accumulate)
{
  for (int i = 0, n = outputs.GetSize(); i < n; ++i)
  {
    const IPlugBase::OutChannel* ch = outputs.Get(i);
    const double* src = *ch->mDest;
    float* dst = ch->mFDest;
    if (!ch->mConnected || !dst || !src) continue;
    if (accumulate)
      ActiveSampleConvertKernels().addDoubleToFloat(src, dst, nFrames);
    else
      ActiveSampleConvertKernels().doubleToFloat(src, dst, nFrames);
  }
}

void IPlugBase::ProcessBuffers(double /*sampleType*/, int nFrames)
{
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), LimitFrames(nFrames, mBlockSize));
}

void IPlugBase::ProcessBuffers(float /*sampleType*/, int nFrames)
{
  nFrames = LimitFrames(nFrames, mBlockSize);
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputsToFloat(mOutChannels, nFrames, false);
}

void IPlugBase::ProcessBuffersAccumulating(float /*sampleType*/, int nFrames)
{
  nFrames = LimitFrames(nFrames, mBlockSize);
  ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputsToFloat(mOutChannels, nFrames, true);
}

void IPlugBase::PassThroughBuffers(double /*sampleType*/, int nFrames)
{
  IPlugBase::ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), LimitFrames(nFrames, mBlockSize));
}

void IPlugBase::PassThroughBuffers(float /*sampleType*/, int nFrames)
{
  nFrames = LimitFrames(nFrames, mBlockSize);
  IPlugBase::ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), nFrames);
  ConvertOutputsToFloat(mOutChannels, nFrames, false);
}

void IPlugBase::ZeroScratchBuffers()
{
  for (int i = 0, n = NInChannels(); i < n; ++i)
  {
    WDL_TypedBuf<double>& buf = mInChannels.Get(i)->mScratchBuf;
    if (buf.GetSize()) memset(buf.Get(), 0, (size_t)buf.GetSize() * sizeof(double));
  }
  for (int i = 0, n = NOutChannels(); i < n; ++i)
  {
    WDL_TypedBuf<double>& buf = mOutChannels.Get(i)->mScratchBuf;
    if (buf.GetSize()) memset(buf.Get(), 0, (size_t)buf.GetSize() * sizeof(double));
  }
}

double IPlugBase::GetSamplesPerBeat()
{
  double tempo = GetTempo();
  if (tempo > 0.0) return GetSampleRate() * 60.0 / tempo;
  return 0.0;
}

int IPlugBase::AddParamGroup(const char* name)
{
  if (!name || !mParamGroups.Add(name)) return -1;
  return mParamGroups.GetSize() - 1;
}

// ---------------------------------------------------------------------------
// State

bool IPlugBase::SerializeParams(ByteChunk* pChunk)
{
  if (!pChunk) return false;
  IMutexLock lock(this);
  for (int i = 0, n = NParams(); i < n; ++i)
  {
    double v = GetParam(i)->Value();
    if (!pChunk->Put(&v)) return false;
  }
  return true;
}

int IPlugBase::UnserializeParams(ByteChunk* pChunk, int startPos)
{
  if (!pChunk) return -1;
  IMutexLock lock(this);
  int pos = startPos;
  for (int i = 0, n = NParams(); i < n && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = pChunk->Get(&v, pos);
    // on a short block the first missing value becomes 0 clamped into range
    GetParam(i)->Set(v);
  }
  OnParamReset();
  return pos;
}

void IPlugBase::InitChunkWithIPlugVer(ByteChunk* pChunk)
{
  if (!pChunk) return;
  pChunk->Clear();
  int magic = IPLUG_VERSION_MAGIC, ver = IPLUG_VERSION;
  pChunk->Put(&magic);
  pChunk->Put(&ver);
}

int IPlugBase::GetIPlugVerFromChunk(ByteChunk* pChunk, int* pPos)
{
  if (!pChunk || !pPos) return 0;
  int magic = 0, ver = 0;
  int pos = pChunk->Get(&magic, *pPos);
  if (pos < 0 || magic != IPLUG_VERSION_MAGIC) return 0;
  pos = pChunk->Get(&ver, pos);
  if (pos < 0)
  {
    *pPos = -1;
    return 0;
  }
  *pPos = pos;
  return ver;
}

// ---------------------------------------------------------------------------
// Presets

IPreset* IPlugBase::GetNextUninitializedPreset()
{
  for (int i = 0, n = NPresets(); i < n; ++i)
  {
    IPreset* p = mPresets.Get(i);
    if (!p->mInitialized) return p;
  }
  return nullptr;
}

void IPlugBase::MakeDefaultUserPresetName(char* out, int outSize) const
{
  int n = 0;
  for (int i = 0, count = NPresets(); i < count; ++i)
    if (strstr(mPresets.Get(i)->mName, "user preset")) ++n;
  snprintf(out, (size_t)outSize, "%s %d", "user preset", n + 1);
}

const char* IPlugBase::GetPresetName(int idx) const
{
  const IPreset* p = mPresets.Get(idx);
  return p ? p->mName : "";
}

// Starts filling a preset slot: marks it, names it and empties its chunk (a
// slot marked unfilled by a loaded bank may still hold old bytes).
static void BeginPreset(IPreset* p, const char* name)
{
  p->mInitialized = true;
  CopyTextToField(p->mName, sizeof(p->mName), name);
  p->mChunk.Clear();
}

bool IPlugBase::MakePreset(const char* name, ...)
{
  IPreset* p = GetNextUninitializedPreset();
  if (!p) return false;
  BeginPreset(p, name);
  va_list vp;
  va_start(vp, name);
  for (int i = 0, n = NParams(); i < n; ++i)
  {
    double v = GetParam(i)->Type() == IParam::kTypeDouble ? va_arg(vp, double) : (double)va_arg(vp, int);
    p->mChunk.Put(&v);
  }
  va_end(vp);
  return true;
}

bool IPlugBase::MakePresetFromNamedParams(const char* name, int nParamsNamed, ...)
{
  IPreset* p = GetNextUninitializedPreset();
  if (!p) return false;
  BeginPreset(p, name);

  int n = NParams();
  // a value no one would choose marks "not named"; a named value that equals
  // it exactly also takes the current value
  const double kUnsetMarker = 9.999e-8;
  WDL_TypedBuf<double> vals;
  if (n > 0 && !vals.Resize(n)) return false;
  for (int i = 0; i < n; ++i) vals.Get()[i] = kUnsetMarker;

  va_list vp;
  va_start(vp, nParamsNamed);
  for (int i = 0; i < nParamsNamed; ++i)
  {
    int idx = va_arg(vp, int);
    IParam* param = GetParam(idx);
    // the value's type depends on the parameter; for an unknown index it
    // cannot be read safely, so the remaining pairs are ignored
    if (!param) break;
    vals.Get()[idx] = param->Type() == IParam::kTypeDouble ? va_arg(vp, double) : (double)va_arg(vp, int);
  }
  va_end(vp);

  for (int i = 0; i < n; ++i)
  {
    double v = vals.Get()[i];
    if (v == kUnsetMarker) v = GetParam(i)->Value();
    p->mChunk.Put(&v);
  }
  return true;
}

bool IPlugBase::MakePresetFromChunk(const char* name, ByteChunk* pChunk)
{
  if (!pChunk) return false;
  IPreset* p = GetNextUninitializedPreset();
  if (!p) return false;
  BeginPreset(p, name);
  p->mChunk.PutChunk(pChunk);
  return true;
}

bool IPlugBase::MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk)
{
  if (!blob || sizeOfChunk < 0) return false;
  ByteChunk chunk;
  if (chunk.Resize(sizeOfChunk) != sizeOfChunk) return false;
  Base64Decode(blob, chunk.GetBytes(), sizeOfChunk);
  return MakePresetFromChunk(name, &chunk);
}

void IPlugBase::MakeDefaultPreset(const char* name, int nPresets)
{
  for (int i = 0; i < nPresets; ++i)
  {
    IPreset* p = GetNextUninitializedPreset();
    if (!p) return;
    BeginPreset(p, name ? name : "Empty");
    SerializeState(&p->mChunk);
  }
}

void IPlugBase::EnsureDefaultPreset() { MakeDefaultPreset("Empty", NPresets()); }

void IPlugBase::PruneUninitializedPresets()
{
  for (int i = NPresets() - 1; i >= 0; --i)
    if (!mPresets.Get(i)->mInitialized) mPresets.Delete(i, true);
}

bool IPlugBase::RestorePreset(int idx)
{
  IPreset* p = mPresets.Get(idx);
  if (!p) return false;

  bool restoredOK;
  if (!p->mInitialized)
  {
    char name[MAX_PRESET_NAME_LEN];
    MakeDefaultUserPresetName(name, sizeof(name));
    BeginPreset(p, name);
    restoredOK = SerializeState(&p->mChunk);
  }
  else
  {
    restoredOK = UnserializeState(&p->mChunk, 0) > 0;
  }

  if (restoredOK)
  {
    mCurrentPresetIdx = idx;
    PresetsChangedByHost();
    RedrawParamControls();
  }
  return restoredOK;
}

bool IPlugBase::RestorePreset(const char* name)
{
  if (!name || !name[0]) return false;
  for (int i = 0, n = NPresets(); i < n; ++i)
    if (!strcmp(mPresets.Get(i)->mName, name)) return RestorePreset(i);
  return false;
}

void IPlugBase::ModifyCurrentPreset(const char* name)
{
  IPreset* p = mPresets.Get(mCurrentPresetIdx);
  if (!p) return;
  p->mChunk.Clear();
  SerializeState(&p->mChunk);
  // the slot now holds a state: left marked unfilled, the next restore would
  // rename it and pruning would drop it
  p->mInitialized = true;
  if (name && name[0]) CopyTextToField(p->mName, sizeof(p->mName), name);
}

bool IPlugBase::SerializePresets(ByteChunk* pChunk)
{
  if (!pChunk) return false;
  for (int i = 0, n = NPresets(); i < n; ++i)
  {
    IPreset* p = mPresets.Get(i);
    if (!pChunk->PutStr(p->mName)) return false;
    bool initialized = p->mInitialized;
    if (!pChunk->Put(&initialized)) return false;
    if (initialized && p->mChunk.Size() && !pChunk->PutChunk(&p->mChunk)) return false;
  }
  return true;
}

int IPlugBase::UnserializePresets(ByteChunk* pChunk, int startPos)
{
  if (!pChunk) return -1;
  int pos = startPos;
  for (int i = 0, n = NPresets(); i < n && pos >= 0; ++i)
  {
    IPreset* p = mPresets.Get(i);
    // a fresh holder per preset: an empty stored name is a name of its own,
    // not a cue to repeat the one before
    WDL_String name;
    pos = pChunk->GetStr(&name, pos);
    if (pos > pChunk->Size()) pos = -1; // the text runs past the end
    if (pos < 0) break;
    CopyTextToField(p->mName, sizeof(p->mName), name.Get());

    // read the flag as a byte: any other value than 0 or 1 must not reach a bool
    uint8_t flag = 0;
    pos = pChunk->Get(&flag, pos);
    if (pos >= 0) p->mInitialized = flag != 0;

    if (p->mInitialized && pos >= 0)
    {
      pos = UnserializeState(pChunk, pos);
      if (pos > 0)
      {
        p->mChunk.Clear();
        SerializeState(&p->mChunk);
      }
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

bool IPlugBase::DumpPresetSrcCode(const char* filename, const char* paramEnumNames[])
{
  if (!filename || !paramEnumNames) return false;
  FILE* fp = fopen(filename, "w");
  if (!fp) return false;
  int n = NParams();
  fprintf(fp, "  MakePresetFromNamedParams(\"name\", %d", n);
  for (int i = 0; i < n; ++i)
  {
    const IParam* param = GetParam(i);
    char valueText[64];
    switch (param->Type())
    {
      case IParam::kTypeBool:
        snprintf(valueText, sizeof(valueText), "%s", param->Value() >= 0.5 ? "true" : "false");
        break;
      case IParam::kTypeInt:
      case IParam::kTypeEnum:
        snprintf(valueText, sizeof(valueText), "%d", param->Int());
        break;
      default:
        snprintf(valueText, sizeof(valueText), "%.6f", param->Value());
        break;
    }
    fprintf(fp, ",\n    %s, %s", paramEnumNames[i] ? paramEnumNames[i] : "", valueText);
  }
  fprintf(fp, ");\n");
  bool ok = !ferror(fp);
  return fclose(fp) == 0 && ok;
}

bool IPlugBase::DumpPresetBlob(const char* filename)
{
  if (!filename) return false;
  IPreset* p = mPresets.Get(mCurrentPresetIdx);
  if (!p) return false;
  int size = p->mChunk.Size();
  WDL_TypedBuf<char> text;
  long long textSize = ((long long)size + 2) / 3 * 4 + 1;
  if (textSize > 0x7fffffffLL || !text.Resize((int)textSize)) return false;
  if (Base64Encode(p->mChunk.GetBytes(), size, text.Get(), text.GetSize()) < 0) return false;

  FILE* fp = fopen(filename, "w");
  if (!fp) return false;
  fprintf(fp, "MakePresetFromBlob(\"name\", \"");
  fprintf(fp, "%s\", %i);\n", text.Get(), size);
  bool ok = !ferror(fp);
  return fclose(fp) == 0 && ok;
}

bool IPlugBase::SendMidiMsgs(WDL_TypedBuf<IMidiMsg>* pMsgs)
{
  if (!pMsgs) return false;
  bool rc = true;
  for (int i = 0, n = pMsgs->GetSize(); i < n; ++i) rc &= SendMidiMsg(pMsgs->Get() + i);
  return rc;
}
