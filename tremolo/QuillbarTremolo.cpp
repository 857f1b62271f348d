#include "tremolo/QuillbarTremolo.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "bridge/IGraphicsLinux.h"
#include "editor/IGraphicsHeadless.h"
#if !defined(QUILL_API_LV2)
#include "au/IPlugAU_ViewFactory.h"
#endif
#include "tremolo/IKnobMultiControlCap.h"
#include "tremolo/IPlotControl.h"
#include "tremolo/IRadioButtonCap.h"
#include "tremolo/QuillbarTremoloUIConfig.h"
#include "tremolo/TremoloKernels.h"

using namespace tremolo_config;

namespace
{

IPlugInstanceInfo MakeInstanceInfo()
{
  IPlugInstanceInfo info;
  info.mBundleID.Set(kBundleID);
  info.mCocoaViewFactoryClassName.Set(kViewFactoryClassName);
  return info;
}

// A parameter value truncated toward zero to a table index; values no int
// can hold (or NaN) give -1, which no table accepts.
int TruncToIndex(double value)
{
  return value > -1.0 && value < 1e9 ? static_cast<int>(value) : -1;
}

} // namespace

QuillbarTremolo::QuillbarTremolo(IPlugInstanceInfo instanceInfo)
  : FormatAdapter(instanceInfo, kNumParams, kChannelIO, kNumPresets, kEffectName, kProductName, kMfrName,
            kVendorVersion, kUniqueID, kMfrID, kLatency, kDoesMidi, kDoesChunks, kIsInstrument,
            kSideChainChannels)
{
  CreateParams();
  CreateGraphics();
  CreatePresets();

  plotPoints = 200;
  plotBuffer.resize(plotPoints);
  settings.smoothWindow = 0.04 * GetSampleRate();
  lastAmp = 0.0;
  // Room for the usual block lengths, so the render thread only allocates
  // when a host sends a longer block than ever before.
  ampBuffer.reserve(std::max(GetBlockSize(), 4096));
  PublishSettings();
}

QuillbarTremolo::~QuillbarTremolo() = default;

void QuillbarTremolo::CreateParams()
{
  for (int i = 0; i < kNumParams; ++i)
  {
    const TremoloParamRow& row = kTremoloParams[i];
    IParam* param = GetParam(i);
    if (!param) continue;
    if (TremoloParamIsInt(i))
      param->InitInt(row.name, static_cast<int>(row.defaultVal), static_cast<int>(row.minVal),
                     static_cast<int>(row.maxVal), "", "");
    else
      param->InitDouble(row.name, row.defaultVal, row.minVal, row.maxVal, row.step, "", "", row.shape);
  }
}

void QuillbarTremolo::CreateGraphics()
{
  IGraphics* gui = MakeGraphics(this, kTremoloEditorWidth, kTremoloEditorHeight, 0);
  if (!gui) return;
  gui->AttachBackground(kTremoloBackgroundId, kTremoloBackgroundPath);

  const QuillbarTremoloUIConfig config;
  for (int i = 0; i < config.Size(); ++i)
  {
    const ControlProperty* p = config.Get(i);
    if (!p->isParam || p->rects.empty() || p->bitmapIds.empty()) continue;
    IBitmap bitmaps[2];
    const size_t nBitmaps = std::min<size_t>(2, p->bitmapIds.size());
    for (size_t b = 0; b < nBitmaps; ++b)
      bitmaps[b] = gui->LoadIBitmap(p->bitmapIds[b], p->bitmapPaths[b].c_str(), p->frameCounts[b]);
    IBitmap* caption = nBitmaps > 1 ? &bitmaps[1] : nullptr;
    const IRECT& pos = p->rects[0];

    switch (p->kind)
    {
      case kUIKnobCap:
        gui->AttachControl(new IKnobMultiControlCap(this, pos.L, pos.T, p->paramIdx, &bitmaps[0], caption,
                                                    static_cast<EAlignment>(p->alignment), kVertical,
                                                    DEFAULT_GEARING, false));
        break;
      case kUIRadioButtonsCap:
      {
        // Three Prefix choices side by side, the caption above them.
        const IRECT offset = p->rects.size() > 1 ? p->rects[1] : IRECT();
        gui->AttachControl(new IRadioButtonCap(this, pos, p->paramIdx, 3, &bitmaps[0], caption, offset.L,
                                               offset.T, kHorizontal, false, false));
        break;
      }
      case kUIRadioButtons:
        gui->AttachControl(new IRadioButtonsControl(this, pos, p->paramIdx, 2, &bitmaps[0], kVertical, false));
        break;
      default:
        break;
    }
  }

  const ControlProperty* coverProps = config.Get(QuillbarTremoloUIConfig::kPrefixCoverRecord);
  IBitmap coverBitmap = gui->LoadIBitmap(coverProps->bitmapIds[0], coverProps->bitmapPaths[0].c_str(),
                                         coverProps->frameCounts[0]);
  IControl* cover = new IBitmapControl(this, coverProps->rects[0].L, coverProps->rects[0].T, &coverBitmap,
                                       IChannelBlend::kBlendNone);
  gui->AttachControl(cover);

  const ControlProperty* plotProps = config.Get(QuillbarTremoloUIConfig::kPlotRecord);
  IPlotControl* plotControl = new IPlotControl(this, plotProps->rects[0], nullptr, IColor(255, 110, 255, 110), -1);
  gui->AttachControl(plotControl);

  IMutexLock lock(this);
  // Attached before the pointers are stored: attaching in place of an
  // earlier editor forgets the pointers into that one.
  AttachGraphics(gui);
  prefixCover = cover;
  plot = plotControl;
}

void QuillbarTremolo::OnEditorAboutToBeReplaced()
{
  plot = nullptr;
  prefixCover = nullptr;
}

void QuillbarTremolo::CreatePresets()
{
  for (const TremoloPreset& p : kTremoloPresets)
    MakePreset(p.name, p.volume, p.depth, p.frequency, p.note, p.phase, p.symmetry, p.shape, p.prefix,
               p.tempoSync, p.onOff, p.mode);
}

// ---------------------------------------------------------------------------
// Control side

void QuillbarTremolo::Reset()
{
  IMutexLock lock(this);
  lfo.setSampleRate(GetSampleRate());
  PublishSettings();
}

void QuillbarTremolo::CustomInit()
{
  IMutexLock lock(this);
  plotPoints = 200;
  plotBuffer.resize(plotPoints);
  settings.smoothWindow = 0.04 * GetSampleRate();
  ++settings.initCount;
  PublishSettings();
}

void QuillbarTremolo::OnParamChange(int paramIdx)
{
  IMutexLock lock(this);
  IParam* param = paramIdx < kNumParams ? GetParam(paramIdx) : nullptr;
  if (!param) return;
  const double value = param->Value();

  switch (paramIdx)
  {
    case kVolume:
      settings.volume = value;
      break;
    case kDepth:
      settings.depth = value;
      break;
    case kFrequency:
      // While synced the knob is hidden and the rate is the tempo's; the
      // value is taken over when sync is switched off.
      if (settings.tempoSync) return;
      settings.freeRateHz = value;
      lfo.setFrequency(value);
      WaveChanged();
      break;
    case kNote:
    case kPrefix:
      if (paramIdx == kNote)
        midiTempo.setNote(TruncToIndex(value));
      else
        midiTempo.setPrefix(TruncToIndex(value));
      // Only while synced does the note length set the rate: host automation
      // of Note with sync off must not make the free LFO run at a rate that no
      // visible control shows.
      if (settings.tempoSync) ResetLFOTempo();
      WaveChanged();
      break;
    case kPhase:
      lfo.setPhase(value);
      WaveChanged();
      break;
    case kSymmetry:
      lfo.setSymmetry(value);
      WaveChanged();
      break;
    case kShape:
      lfo.setForm(value);
      WaveChanged();
      break;
    case kTempoSync:
      settings.tempoSync = value != 0.0;
      if (settings.tempoSync)
      {
        ResetLFOTempo();
      }
      else
      {
        settings.freeRateHz = GetParam(kFrequency)->Value();
        lfo.setFrequency(settings.freeRateHz);
        lfo.setSyncPhase(0.0);
        ++settings.unsyncCount;
      }
      WaveChanged();
      resetGUI();
      break;
    case kOnOff:
      settings.bypass = value != 0.0;
      break;
    case kMode:
      settings.panMode = value != 0.0;
      break;
    default:
      return;
  }
  PublishSettings();
}

void QuillbarTremolo::WaveChanged()
{
  ReDrawLFO();
  ++settings.smoothCount;
}

void QuillbarTremolo::ReDrawLFO()
{
  lfo.generate(plotBuffer, plotPoints, false);
  // The plot reads plotBuffer under the plug-in mutex when it draws, so the
  // curve written here (under the same mutex) is never drawn half-written.
  if (plot && GetEditor()) plot->AddData(plotBuffer);
}

void QuillbarTremolo::ResetLFOTempo()
{
  // The tempo is the last one the render thread took from the host (120
  // before the first synced block).
  midiTempo.setTempo(hostTempoBpm.load(std::memory_order_relaxed));
  lfo.setFrequency(midiTempo.generateFrequency());
}

void QuillbarTremolo::resetGUI()
{
  IGraphics* gui = GetGUI();
  if (!gui) return;
  gui->HideControl(kNote, !settings.tempoSync);
  gui->HideControl(kPrefix, !settings.tempoSync);
  gui->HideControl(kFrequency, settings.tempoSync);
  if (prefixCover) prefixCover->Hide(settings.tempoSync);
  gui->SetAllControlsDirty();
}

void QuillbarTremolo::PublishSettings()
{
  settings.baseSampleRate = GetSampleRate();
  settings.lfoSampleRate = lfo.getSampleRate();
  settings.symmetry = lfo.getSymmetry();
  settings.form = lfo.getform();
  settings.phase = lfo.getPhase();
  settings.noteLength = midiTempo;

  std::lock_guard<std::mutex> guard(handoverMutex);
  handover = settings;
  handoverSerial.fetch_add(1, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Render side

void QuillbarTremolo::PickUpSettings()
{
  if (handoverSerial.load(std::memory_order_acquire) == activeSerial) return;
  std::unique_lock<std::mutex> guard(handoverMutex, std::try_to_lock);
  if (!guard.owns_lock()) return; // a publish is copying: next block
  const RenderSettings s = handover;
  activeSerial = handoverSerial.load(std::memory_order_relaxed);
  guard.unlock();

  if (s.smoothCount != active.smoothCount) smoothPending = true;
  if (s.unsyncCount != active.unsyncCount) renderLfo.setSyncPhase(0.0);
  if (s.initCount != active.initCount) lastAmp = 0.0;

  const double hostTempo = renderTempo.getTempo();
  renderTempo = s.noteLength;
  renderTempo.setTempo(hostTempo);

  renderLfo.setSampleRate(s.lfoSampleRate);
  renderLfo.setSymmetry(s.symmetry);
  renderLfo.setForm(s.form);
  renderLfo.setPhase(s.phase);
  renderLfo.setFrequency(s.tempoSync ? renderTempo.generateFrequency() : s.freeRateHz);
  active = s;
}

void QuillbarTremolo::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  if (nFrames <= 0) return;
  PickUpSettings();

  if (nFrames != blockSize)
  {
    blockSize = nFrames;
    ampBuffer.resize(nFrames);
  }
  if (active.tempoSync) ReInitTimes();
  renderLfo.generate(ampBuffer, nFrames, true);
  if (smoothPending)
  {
    MergeTremAmp(ampBuffer);
    smoothPending = false;
  }
  lastAmp = ampBuffer[nFrames - 1];

  if (!inputs || !outputs) return;
  const double* amp = ampBuffer.data();
  const double volumeNow = active.volume;
  const double depthNow = active.depth;
  const int nChannels = std::min(NInChannels(), NOutChannels());
  const TremoloKernels& kernels = ActiveTremoloKernels();
  for (int c = 0; c < nChannels; ++c)
  {
    const double* in = inputs[c];
    double* out = outputs[c];
    if (!in || !out) continue;
    if (active.bypass)
    {
      if (in != out) std::copy(in, in + nFrames, out);
      continue;
    }
    // At the LFO's top (v = 1) the gain is the volume, at its trough
    // volume * (1 - depth); the panned channel follows the mirror image:
    // gain = base + slope * v.
    const bool mirrored = active.panMode && c == 1;
    const double base = mirrored ? volumeNow : volumeNow * (1.0 - depthNow);
    const double slope = mirrored ? -volumeNow * depthNow : volumeNow * depthNow;
    kernels.applyGain(in, out, amp, nFrames, base, slope);
  }
}

void QuillbarTremolo::ReInitTimes(int /*unused*/)
{
  ITimeInfo timeInfo; // tempo 120, positions -1, transport stopped
  GetTime(&timeInfo);

  // The rate follows every tempo change, or a song at 120.6 BPM would drift
  // off the beat. Only a change of a whole BPM or more also re-aligns the
  // phase, which costs a small step in the wave.
  const double hostTempo = timeInfo.mTempo;
  const double previousTempo = renderTempo.getTempo();
  if (hostTempo != previousTempo && renderTempo.setTempo(hostTempo))
  {
    renderLfo.setFrequency(renderTempo.generateFrequency());
    hostTempoBpm.store(hostTempo, std::memory_order_relaxed);
    if (std::trunc(hostTempo - previousTempo) != 0.0) resyncPending = true;
  }

  const bool running = timeInfo.mTransportIsRunning;
  if (running && !lastTransportRunning) resyncPending = true;

  // A jump is a position other than where the previous block ended. Hosts
  // change the block length at loop points and automation splits, so the
  // expected position uses the previous block's length, not this one's. A
  // host that reports no position (-1) is never taken to jump, or the LFO
  // would restart on every block.
  const double samplePos = timeInfo.mSamplePos;
  if (running && samplePos >= 0.0 && lastSamplePos >= 0.0 &&
      std::trunc(lastSamplePos + lastBlockFrames - samplePos) != 0.0)
    resyncPending = true;

  lastTransportRunning = running;
  lastSamplePos = samplePos;
  lastBlockFrames = blockSize;

  if (resyncPending)
  {
    // Positions the host did not report stay at -1; counting them as 0 puts
    // the first bar's start at 0 instead of a quarter note before it.
    const double ppq = std::max(timeInfo.mPPQPos, 0.0);
    const double barStart = std::max(timeInfo.mLastBar, 0.0);
    SyncLFOPhase(ppq - barStart);
  }
}

void QuillbarTremolo::SyncLFOPhase(double quarterNotes)
{
  renderLfo.setInternalPhase(0.0);
  renderLfo.setSyncPhase(renderTempo.generateSyncPhase(quarterNotes));
  resyncPending = false;
}

void QuillbarTremolo::MergeTremAmp(std::vector<double>& amp)
{
  const int n = std::min(blockSize, static_cast<int>(amp.size()));
  if (n <= 0 || !(active.baseSampleRate > 0.0)) return;
  const double step = active.smoothWindow / active.baseSampleRate;
  if (!(step > 0.0)) return;

  double cur = lastAmp;
  double diff = amp[0] - cur;
  // Walk from the last applied value toward the new wave, one step per
  // sample, until the wave is within a step; the last sample of the block is
  // never replaced.
  for (int i = 0; i < n - 1 && std::fabs(diff) > step; ++i)
  {
    cur += std::signbit(diff) ? -step : step;
    amp[i] = cur;
    lastAmp = cur;
    diff = amp[i + 1] - cur;
  }
}

// ---------------------------------------------------------------------------

IGraphics* MakeGraphics(FormatAdapter* plug, int width, int height, int fps)
{
  if (!plug || width <= 0 || height <= 0) return nullptr;
  // With an X display named the editor can open a live window; without one
  // the headless layer draws the same back buffer. Both find the skin in the
  // plug-in's bundle.
  IGraphicsHeadless* gui = IGraphicsLinux::DisplayNamed() ? new IGraphicsLinux(plug, width, height, fps)
                                                           : new IGraphicsHeadless(plug, width, height, fps);
#if !defined(QUILL_API_LV2)
  gui->SetBundleID(plug->GetBundleID());
#endif
  return gui;
}

FormatAdapter* MakePlug()
{
  // Hosts may open several instances from several threads at once.
  static WDL_Mutex sMutex;
  WDL_MutexLock lock(&sMutex);
  try
  {
    return new QuillbarTremolo(MakeInstanceInfo());
  }
  catch (...)
  {
    return nullptr;
  }
}

// ---------------------------------------------------------------------------
// Audio Unit entry points and the view factory class (other formats export
// their own entry from their adapter)

#if !defined(QUILL_API_LV2)

extern "C" ComponentResult QuillbarTremolo_Entry(ComponentParameters* params, void* pPlug)
{
  return IPlugAUEntry(params, pPlug);
}

extern "C" ComponentResult QuillbarTremolo_ViewEntry(ComponentParameters* params, void* pView)
{
  return IPlugAUCarbonViewEntry(params, pView);
}

// The view factory class a host finds by kViewFactoryClassName.
class QuillbarTremolo_View : public IPlugAUViewFactory
{
public:
  QuillbarTremolo_View() : IPlugAUViewFactory("QuillbarTremolo View") {}
};

#if QUILL_PLATFORM_STANDIN
namespace
{
AUCocoaUIBase* CreateQuillbarTremoloView() { return new (std::nothrow) QuillbarTremolo_View(); }
// On a Mac the run-time knows the class as soon as the bundle is loaded;
// here the class registry learns it when the plug-in's code is.
[[maybe_unused]] const bool sViewFactoryRegistered =
  QuillRegisterViewFactoryClass(kViewFactoryClassName, CreateQuillbarTremoloView);
} // namespace
#endif
#endif
