// The host-independent core of a plug-in.
//
// IPlugBase owns the parameters, the presets, the declared channel
// configurations, one record per input and output channel with a scratch
// buffer, the tables of data pointers handed to the processing routine, the
// editor once attached, and a recursive mutex. The concrete plug-in derives
// from a host adapter, which derives from IPlugBase; the plug-in overrides
// the hooks (Reset, OnParamChange, ProcessDoubleReplacing, ...) and the
// adapter implements the host-facing pure virtuals.
//
// Threads and the mutex: the mutex is recursive. It is held by
// SetParameterFromGUI, AttachGraphics, SerializeParams, UnserializeParams,
// DirtyParameters and the base Reset, OnParamChange and OnActivate, and by
// the adapter around host parameter access and entry-point renders. A render
// procedure the host calls directly runs without it.
//
// Bad indices are ignored (setters) or read as "nothing there" (getters);
// no operation throws.
#pragma once

#include "framework/Containers.h"
#include "framework/Hosts.h"
#include "framework/IParam.h"
#include "framework/IPlugEditor.h"
#include "framework/IPlugStructs.h"

class IGraphics; // editor framework; derives from IPlugEditor

// Framework version written by InitChunkWithIPlugVer.
constexpr int IPLUG_VERSION = 0x00010000;
// 'pfft': marks a chunk that starts with the framework version.
constexpr int IPLUG_VERSION_MAGIC = 0x70666674;

class IPlugBase
{
public:
  // One input channel: its slot in the input data table points either at
  // host data or at the zero-filled scratch buffer.
  struct InChannel
  {
    bool mConnected = false;
    double** mSrc = nullptr;          // this channel's slot in the input data table
    WDL_TypedBuf<double> mScratchBuf; // one block long
    WDL_String mLabel;
  };

  // One output channel; mFDest is the host's float buffer when the host
  // renders in single precision.
  struct OutChannel
  {
    bool mConnected = false;
    double** mDest = nullptr;         // this channel's slot in the output data table
    float* mFDest = nullptr;
    WDL_TypedBuf<double> mScratchBuf;
    WDL_String mLabel;
  };

  // One declared channel configuration.
  struct ChannelIO
  {
    int mIn, mOut;
    ChannelIO(int nIn, int nOut) : mIn(nIn), mOut(nOut) {}
  };

  // nParams, nPresets: counts (negative counts as 0). channelIOStr: legal
  // configurations, e.g. "1-1 2-2" (null counts as ""; a channel count too
  // large to allocate leaves that side without channels). Names are cut to
  // 127 characters. version: packed 0xVVVVRRMM. uniqueID, mfrID:
  // four-character codes. latency in samples.
  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
            int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, EAPI plugAPI);

  // --- virtual operations, in slot order --------------------------------

  // Deletes the editor, parameters, presets, channel records and labels.
  virtual ~IPlugBase();

  // Clears processing state before rendering restarts. Base: takes and
  // releases the mutex.
  virtual void Reset();
  // Called after parameter paramIdx changed (from host, editor or a restored
  // state), with the mutex held. Base: takes and releases the mutex.
  virtual void OnParamChange(int paramIdx);
  // Renders nFrames frames: inputs[i]/outputs[i] for every channel, always
  // valid buffers of nFrames doubles. Base: copies inputs to outputs for
  // indices below both counts, zeroes the other outputs. Render thread.
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  // Same in single precision (the base copies / zeroes; null tables or
  // channel pointers are skipped).
  virtual void ProcessSingleReplacing(float** inputs, float** outputs, int nFrames);
  // Editor opened / closed; idle tick from the host. Base: nothing.
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  // Host (de)activates the plug-in. Base: takes and releases the mutex.
  virtual void OnActivate(bool active);
  // Incoming MIDI. Base: passes the message to SendMidiMsg.
  virtual void ProcessMidiMsg(IMidiMsg* pMsg);
  // Incoming system-exclusive block. Base: nothing.
  virtual void ProcessSysEx(ISysEx* /*pSysEx*/) {}
  // Writes "" into noteName (when not null) and returns false.
  virtual bool MidiNoteName(int noteNumber, char* noteName);
  // Appends the whole plug-in state. Base: SerializeParams.
  virtual bool SerializeState(ByteChunk* pChunk);
  // Restores the state from startPos; returns the position after it or -1.
  // Base: UnserializeParams.
  virtual int UnserializeState(ByteChunk* pChunk, int startPos);
  // True when the current parameter values match the doubles of
  // incomingState from element startPos on (single-precision difference below
  // 0.00001). incomingState must hold startPos + NParams() doubles; null or a
  // negative startPos gives false.
  virtual bool CompareState(const unsigned char* incomingState, int startPos);
  // Hooks with no base behaviour (the about box answers false: not shown).
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void PopupHostContextMenuForParam(int /*paramIdx*/, int /*x*/, int /*y*/) {}
  // Editor changed parameter idx (normalized 0..1): under the mutex sets
  // it, informs the host, then calls OnParamChange. Invalid idx is ignored.
  virtual void SetParameterFromGUI(int idx, double normalizedValue);
  // Host notifications; the adapter supplies them.
  virtual void BeginInformHostOfParamChange(int idx) = 0;
  virtual void InformHostOfParamChange(int idx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int idx) = 0;
  virtual void InformHostOfProgramChange() = 0;
  // True while the host renders faster than real time. Base: false.
  virtual bool IsRenderingOffline() { return false; }
  // Host time queries; the adapter supplies them. Render thread.
  virtual int GetSamplePos() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSig(int* pNum, int* pDenom) = 0;
  virtual void GetTime(ITimeInfo* pTimeInfo) = 0;
  // The identified host (kHostUninit until identified); adapters override it
  // to identify the host on first use.
  virtual EHost GetHost() { return mHost; }
  // Which adapter runs the plug-in.
  virtual EAPI GetAPI() { return mAPI; }
  // Editor size changed to w x h pixels; the adapter supplies it.
  virtual void ResizeGraphics(int w, int h) = 0;
  // Adapter set-up after construction. Base: nothing.
  virtual void HostSpecificInit() {}
  // Takes ownership of the editor (ignored when null): under the mutex hands
  // it every parameter's normalized value, calls PrepDraw, then stores it.
  // An editor attached earlier is deleted. Pass an IGraphics*.
  virtual void AttachGraphics(IPlugEditor* pGraphics);
  // Latency in samples.
  virtual void SetLatency(int samples);
  // Outgoing MIDI; false when not sent. SysEx base: false.
  virtual bool SendMidiMsg(IMidiMsg* pMsg) = 0;
  virtual bool SendSysEx(ISysEx* /*pSysEx*/) { return false; }
  // Passes every parameter's plain value to the editor, when one is attached.
  virtual void RedrawParamControls();
  // Notifications with no base behaviour; PresetsChangedByHost follows a
  // successful RestorePreset.
  virtual void DirtyPTCompareState() {}
  virtual void PresetsChangedByHost() {}
  // Largest frames per processing call (negative counts as 0). A new size
  // resizes and zeroes every scratch buffer; the same size changes nothing.
  // Allocates: call it outside the render path.
  virtual void SetBlockSize(int blockSize);
  // AttachGraphics is about to delete the attached editor in favour of
  // another: drop every pointer into it. Plug-in mutex held. Base: nothing.
  virtual void OnEditorAboutToBeReplaced() {}

  // --- parameters ---------------------------------------------------------

  // Parameter idx, or null for an index outside the table.
  IParam* GetParam(int idx) const { return mParams.Get(idx); }
  // Number of parameters.
  int NParams() const { return mParams.GetSize(); }
  // Calls OnParamChange for every parameter in index order.
  void OnParamReset();
  // Under the mutex reports every parameter's normalized value to the host.
  void DirtyParameters();

  // The attached editor as its concrete type (IGraphics unless asked
  // otherwise), or null. G must derive from IPlugEditor.
  template <class G = IGraphics>
  G* GetGUI() const
  {
    return static_cast<G*>(mGraphics);
  }
  // The attached editor, or null.
  IPlugEditor* GetEditor() const { return mGraphics; }

  // --- identity ------------------------------------------------------------

  // Identity as given to the constructor (names cut to 127 characters).
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  bool IsInst() const { return mIsInst; }
  bool DoesMIDI() const { return mDoesMIDI; }
  bool DoesStateChunks() const { return mStateChunks; }

  // Packed version, or major * 10000 + minor * 100 + release when asDecimal.
  int GetEffectVersion(bool asDecimal) const;
  // "v%d.%d.%d" into out (at least MAX_VERSION_STR_LEN bytes).
  void GetEffectVersionStr(char* out) const;
  // The host's version as above; identifies the host first (GetHost()).
  int GetHostVersion(bool asDecimal);
  void GetHostVersionStr(char* out);
  // Identifies the host from its name (null counts as "") and stores the
  // packed version.
  void SetHost(const char* host, int version);
  // "VST2", "VST3", "AU", "RTAS", "AAX", "Standalone", or "".
  const char* GetAPIString();
  // "x64".
  const char* GetArchString() const { return "x64"; }

  // --- channels --------------------------------------------------------------

  // True if a declared configuration matches; a negative count matches any.
  bool LegalIO(int nIn, int nOut) const;
  // Number of declared configurations (duplicates included).
  int NChannelIO() const { return mChannelIO.GetSize(); }
  // Writes the counts of configuration idx; false (nothing written) for an
  // index outside the list.
  bool GetChannelIO(int idx, int* pNIn, int* pNOut) const;
  // Channel counts: the largest input and output counts declared.
  int NInChannels() const { return mInChannels.GetSize(); }
  int NOutChannels() const { return mOutChannels.GetSize(); }
  // False for an index outside the channel list.
  bool IsInChannelConnected(int chIdx) const;
  bool IsOutChannelConnected(int chIdx) const;
  // Disconnects inputs from index 2 on and connects outputs from index 2 on.
  void LimitToStereoIO();
  // Sets the connected flag of channels idx..idx+n-1 that exist; an
  // unconnected channel reads/writes its own scratch buffer. An input that
  // goes from connected to unconnected has its scratch zeroed (no
  // allocation).
  void SetInputChannelConnections(int idx, int n, bool connected);
  void SetOutputChannelConnections(int idx, int n, bool connected);
  // Channel labels; ignored for an index outside the channel list.
  void SetInputLabel(int idx, const char* label);
  void SetOutputLabel(int idx, const char* label);
  // A channel's label; "" for an index outside the channel list.
  const char* GetInputLabel(int idx) const;
  const char* GetOutputLabel(int idx) const;
  // Bus labels. Input: only idx 0 or 1. Output: any idx >= 0. Replaces the
  // label at idx or appends when idx is beyond the end.
  void SetInputBusLabel(int idx, const char* label);
  void SetOutputBusLabel(int idx, const char* label);
  // The bus label, or null when there is none at idx.
  const WDL_String* GetInputBusLabel(int idx) const { return mInputBusLabels.Get(idx); }
  const WDL_String* GetOutputBusLabel(int idx) const { return mOutputBusLabels.Get(idx); }
  // Number of bus labels set.
  int NInputBusLabels() const { return mInputBusLabels.GetSize(); }
  int NOutputBusLabels() const { return mOutputBusLabels.GetSize(); }

  // --- processing frame (render thread; no allocation) -------------------------

  // Connected inputs idx..idx+n-1 take their data pointers from ppData in
  // turn (unconnected ones take none). Null ppData is ignored.
  void AttachInputBuffers(int idx, int n, double** ppData, int nFrames);
  // Connected inputs convert nFrames floats (at most the block size) from
  // ppData in turn into their scratch buffers and read from there. A null
  // channel pointer gives silence.
  void AttachInputBuffers(int idx, int n, float** ppData, int nFrames);
  // Connected outputs take their data pointers from ppData in turn.
  void AttachOutputBuffers(int idx, int n, double** ppData);
  // Connected outputs render into their scratch buffers and convert into
  // the next float pointer of ppData in turn.
  void AttachOutputBuffers(int idx, int n, float** ppData);
  // Calls ProcessDoubleReplacing with the data tables. nFrames outside
  // 0..block size is cut into that range.
  void ProcessBuffers(double sampleType, int nFrames);
  // Same, then converts every connected output into its float destination.
  void ProcessBuffers(float sampleType, int nFrames);
  // Same, but adds to what the float destinations hold.
  void ProcessBuffersAccumulating(float sampleType, int nFrames);
  // Copies inputs to outputs (zeroes the rest) instead of processing.
  void PassThroughBuffers(double sampleType, int nFrames);
  void PassThroughBuffers(float sampleType, int nFrames);
  // Fills every scratch buffer with zeros.
  void ZeroScratchBuffers();

  // --- rate, size, latency, host state --------------------------------------

  // Sample rate in Hz.
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  // Sample rate in Hz (44100 until the host sets one).
  double GetSampleRate() const { return mSampleRate; }
  // Largest frames per processing call (0 until set).
  int GetBlockSize() const { return mBlockSize; }
  // Latency in samples.
  int GetLatency() const { return mLatency; }
  // Tail length in samples (0 in this system).
  int GetTailSize() const { return mTailSize; }
  // Set by the adapter from the host; the render path then passes audio through.
  bool IsBypassed() const { return mIsBypassed; }
  void SetBypassed(bool bypassed) { mIsBypassed = bypassed; }
  // sampleRate * 60 / GetTempo(); 0 when the tempo is not positive.
  double GetSamplesPerBeat();

  // --- parameter groups (filled by the adapter; texts are borrowed) --------

  // Appends a group text (the pointer must outlive the plug-in, e.g. a
  // parameter's group field); returns its index, or -1 when null.
  int AddParamGroup(const char* name);
  // Number of groups reported so far.
  int NParamGroups() const { return mParamGroups.GetSize(); }
  // Group text at idx, or null.
  const char* GetParamGroupName(int idx) const { return mParamGroups.Get(idx); }

  // --- state -------------------------------------------------------------------

  // Appends every parameter's plain value as a double, under the mutex.
  // False (stopping) when the chunk cannot grow; false for a null chunk.
  bool SerializeParams(ByteChunk* pChunk);
  // Reads the values back from startPos under the mutex (clamped into each
  // range; on a short block the first missing value becomes 0 clamped and
  // the rest keep theirs), then OnParamReset. Returns the position after
  // the last value read, or -1.
  int UnserializeParams(ByteChunk* pChunk, int startPos);
  // Clears the chunk and writes the framework version header (8 bytes).
  static void InitChunkWithIPlugVer(ByteChunk* pChunk);
  // Reads the version header at *pPos: returns the version and advances
  // *pPos by 8; a header cut after the magic sets *pPos to -1 and returns 0;
  // no header returns 0 and leaves *pPos alone.
  static int GetIPlugVerFromChunk(ByteChunk* pChunk, int* pPos);

  // --- presets ------------------------------------------------------------------

  // Number of preset slots.
  int NPresets() const { return mPresets.GetSize(); }
  // Index of the preset last restored (0 at first).
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  // The name, or "" for an index outside the list.
  const char* GetPresetName(int idx) const;
  // Fills the first uninitialized preset with one value per parameter, in
  // index order: int for bool/int/enum parameters, double for double ones.
  // Does nothing when every preset is filled. Returns false then.
  bool MakePreset(const char* name, ...);
  // Same with nParamsNamed pairs (int index, value); unnamed parameters take
  // their current value. Indices outside the table are skipped.
  bool MakePresetFromNamedParams(const char* name, int nParamsNamed, ...);
  // Fills the first uninitialized preset with a copy of pChunk.
  bool MakePresetFromChunk(const char* name, ByteChunk* pChunk);
  // Decodes Base64 text into exactly sizeOfChunk bytes and fills a preset
  // with them; false for null text or a negative size.
  bool MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk);
  // Fills up to nPresets uninitialized presets with the current state, named
  // name ("Empty" when null).
  void MakeDefaultPreset(const char* name = nullptr, int nPresets = 1);
  // Every uninitialized preset becomes "Empty" holding the current state.
  void EnsureDefaultPreset();
  // Deletes the uninitialized presets, keeping the order of the others.
  void PruneUninitializedPresets();
  // Selects preset idx: an unfilled one is named "user preset N" and takes
  // the current state; a filled one is restored. Then the current index
  // becomes idx, PresetsChangedByHost and RedrawParamControls run. False
  // for an index outside the list or a failed save/restore.
  bool RestorePreset(int idx);
  // RestorePreset of the first preset named exactly name; false for null,
  // "" or no match.
  bool RestorePreset(const char* name);
  // Stores the current state in the current preset (which counts as filled
  // from then on), renaming it when name is not null and not empty.
  void ModifyCurrentPreset(const char* name = nullptr);
  // Bank format: per preset, length-prefixed name, 1-byte initialized flag,
  // and the chunk when initialized. False when the chunk cannot grow.
  bool SerializePresets(ByteChunk* pChunk);
  // Reads a bank from startPos into the presets, then restores the current
  // preset. Returns the final position, or -1.
  int UnserializePresets(ByteChunk* pChunk, int startPos);
  // Writes MakePresetFromNamedParams source text for the current values to
  // file; paramEnumNames holds one identifier text per parameter. False when
  // an argument is null or the file cannot be written.
  bool DumpPresetSrcCode(const char* filename, const char* paramEnumNames[]);
  // Writes MakePresetFromBlob source text for the current preset's chunk.
  // False when the file cannot be written or there is no current preset.
  bool DumpPresetBlob(const char* filename);

  // --- program and bank files (published FXP / FXB layouts) -----------------
  //
  // A plug-in that exchanges chunks writes the chunk variants ("FPCh",
  // "FBCh"); others one normalized float per parameter ("FxCk", "FxBk").
  // Header integers and floats are big-endian. Loads check the whole file
  // before anything changes: a refused load returns false and leaves
  // parameters, presets and the current preset as they were. Main thread;
  // loads hold the plug-in mutex.

  // Writes the current program (current preset's name, current state) to the
  // file with one write. False for an empty path or a failed open or write.
  bool SaveProgramAsFXP(const WDL_String& file);
  // Writes every preset as one bank file with one write; false as above.
  bool SaveBankAsFXB(const WDL_String& file);
  // Loads a program file into the current preset (it takes the file's name
  // when that is not empty) and puts it in force. False when the file cannot
  // be read or is refused.
  bool LoadProgramFromFXP(const WDL_String& file);
  // Loads a bank file into the presets, then selects the bank's current
  // program (parameter variant; an index outside the presets keeps the
  // current one) or restores the current preset (chunk variant). False when
  // the file cannot be read or is refused.
  bool LoadBankFromFXB(const WDL_String& file);
  // The same four in memory: the image replaces pChunk's contents (false for
  // a null chunk or when it cannot grow), or is read from image.
  bool MakeProgramImage(ByteChunk* pChunk);
  bool MakeBankImage(ByteChunk* pChunk);
  bool LoadProgramImage(const ByteChunk& image);
  bool LoadBankImage(const ByteChunk& image);

  // Sends each message of the list through SendMidiMsg; true only if every
  // call returned true.
  bool SendMidiMsgs(WDL_TypedBuf<IMidiMsg>* pMsgs);

  // --- mutex ------------------------------------------------------------------------

  // The plug-in's recursive mutex.
  WDL_Mutex* GetMutex() { return &mMutex; }
  // Takes / releases the mutex; prefer IMutexLock.
  void Lock() { mMutex.Enter(); }
  void Unlock() { mMutex.Leave(); }

protected:
  // The first uninitialized preset, or null when every slot is filled.
  IPreset* GetNextUninitializedPreset();
  // "user preset N", N = 1 + number of presets whose name contains "user preset".
  void MakeDefaultUserPresetName(char* out, int outSize) const;

  WDL_PtrList<ChannelIO> mChannelIO;
  WDL_Mutex mMutex;
  char mEffectName[MAX_EFFECT_NAME_LEN];
  char mProductName[MAX_EFFECT_NAME_LEN];
  char mMfrName[MAX_EFFECT_NAME_LEN];
  int mUniqueID;
  int mMfrID;
  int mVersion;
  EAPI mAPI;
  EHost mHost = kHostUninit;
  int mHostVersion = 0;
  bool mStateChunks;
  bool mIsInst;
  bool mDoesMIDI;
  bool mIsBypassed = false;
  int mCurrentPresetIdx = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  int mTailSize = 0;
  WDL_PtrList<const char> mParamGroups;
  IPlugEditor* mGraphics = nullptr;
  WDL_PtrList<IParam> mParams;
  WDL_PtrList<IPreset> mPresets;
  WDL_TypedBuf<double*> mInData;
  WDL_TypedBuf<double*> mOutData;
  WDL_PtrList<InChannel> mInChannels;
  WDL_PtrList<OutChannel> mOutChannels;
  WDL_PtrList<WDL_String> mInputBusLabels;
  WDL_PtrList<WDL_String> mOutputBusLabels;
};

// Holds a plug-in's mutex for the lifetime of the object (null locks
// nothing).
class IMutexLock
{
public:
  explicit IMutexLock(IPlugBase* pPlug) : mLock(pPlug ? pPlug->GetMutex() : nullptr) {}

private:
  WDL_MutexLock mLock;
};
