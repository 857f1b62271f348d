// QuillbarTremolo: the stereo tremolo plug-in.
//
// Control side (OnParamChange, Reset, CustomInit; plug-in mutex held):
// turns parameter values into LFO and tempo settings, regenerates the plot
// curve and shows or hides the tempo controls. Audio side
// (ProcessDoubleReplacing; render thread, possibly without the mutex):
// follows the host tempo and transport, generates one LFO value per sample,
// softens jumps after parameter changes and applies depth, volume and pan.
//
// Thread hand-over. The host may call the render procedure directly, without
// the plug-in mutex, while a parameter change runs on another thread. The two
// sides therefore share no mutable LFO state: the control side keeps its own
// ExtLFO and MidiTempo (for the plot) and publishes a complete RenderSettings
// record under a small hand-over mutex that it holds only for the copy. The
// render thread takes that record whole at the start of a block with
// try_lock, so it never waits; if the copy is in progress it keeps the
// previous settings for one more block. Its own ExtLFO and MidiTempo are
// touched by nothing else. The only value flowing back is the last host
// tempo, an atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "tremolo/QuillbarTremoloFormat.h"
#include "tremolo/ExtLFO.h"
#include "tremolo/MidiTempo.h"
#include "tremolo/QuillbarTremoloConfig.h"

class IControl;
class IGraphics;
class IPlotControl;

class QuillbarTremolo : public FormatAdapter
{
public:
  // Declares the parameters and the five factory presets. The LFO is
  // configured by the first OnParamReset, which the host adapter runs before
  // audio starts.
  explicit QuillbarTremolo(IPlugInstanceInfo instanceInfo);
  ~QuillbarTremolo() override;

  // Sample rate changed: passes it to the LFO. Takes the plug-in mutex.
  void Reset() override;
  // Applies parameter paramIdx (0..10; others are ignored). Takes the
  // plug-in mutex; any thread. Safe with no editor attached.
  void OnParamChange(int paramIdx) override;
  // Renders nFrames frames of channel c = 0..1 from inputs[c] to outputs[c]
  // (null tables or channels are skipped; nFrames <= 0 does nothing). Render
  // thread; takes no lock and does not allocate unless the block length grows
  // beyond every earlier one.
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

  // Reads the host time and re-aligns the LFO after a tempo change, a
  // transport start or a position jump. Render thread, tempo sync on only.
  void ReInitTimes(int unused = 0);
  // Walks the first values of amp (blockSize long) from the last applied
  // value toward the new wave in steps of smoothWindow / sample rate. Render
  // thread.
  void MergeTremAmp(std::vector<double>& amp);
  // Resets plot size, smoothing window (0.04 s at the current sample rate)
  // and the last applied value. Takes the plug-in mutex.
  void CustomInit();

  // One LFO cycle into the plot buffer, then to the plot control if any.
  // Plug-in mutex held.
  void ReDrawLFO();
  // Control LFO to the tempo-derived rate. Plug-in mutex held.
  void ResetLFOTempo();
  // Shows the Note knob and Prefix buttons with tempo sync, the Frequency
  // knob and the prefix cover without; marks the editor dirty. Nothing
  // without an editor. Plug-in mutex held.
  void resetGUI();
  // Render LFO to the phase of `quarterNotes` since the bar start. Render
  // thread.
  void SyncLFOPhase(double quarterNotes);

  // Builds the editor (863 x 468: background, eleven parameter controls, the
  // prefix cover and the LFO plot) and attaches it. Called by the
  // constructor; a missing skin image leaves that element blank.
  void CreateGraphics();
  // Forgets the controls of the editor the base is about to delete.
  // Plug-in mutex held.
  void OnEditorAboutToBeReplaced() override;

  // The editor controls the plug-in talks to are set by the editor assembly
  // and null while there is no editor; all four calls hold the plug-in mutex.
  // The plot that ReDrawLFO feeds (null: none).
  void SetPlotControl(IPlotControl* control) { plot = control; }
  // The cover shown over the Prefix buttons while sync is off (null: none).
  void SetPrefixCover(IControl* control) { prefixCover = control; }
  // The plot control, or null.
  IPlotControl* GetPlotControl() const { return plot; }
  // The prefix cover control, or null.
  IControl* GetPrefixCover() const { return prefixCover; }

  // The last plot curve (plotPoints values, 0..1). Plug-in mutex held.
  const std::vector<double>& GetPlotBuffer() const { return plotBuffer; }
  // Control-side LFO (what the plot shows). Plug-in mutex held.
  const ExtLFO& GetControlLFO() const { return lfo; }
  // The LFO the audio runs on. Render thread, or while no block runs.
  const ExtLFO& GetRenderLFO() const { return renderLfo; }

private:
  // Everything the render thread needs from the control side, copied whole.
  struct RenderSettings
  {
    double volume = 1.0;
    double depth = 0.5;
    bool panMode = false;
    bool bypass = false;
    bool tempoSync = false;
    double baseSampleRate = 44100.0; // for the smoothing step
    double smoothWindow = 1764.0;
    double lfoSampleRate = 44100.0;  // as of the last Reset
    double freeRateHz = 8.0;         // LFO rate while not synced
    double symmetry = 0.5;
    double form = 0.0;
    double phase = 0.0;
    MidiTempo noteLength;            // note and prefix; its tempo is unused
    // Event counters: the render side acts when one moves on.
    uint32_t smoothCount = 0; // a change that moves the wave: soften it
    uint32_t unsyncCount = 0; // sync switched off: drop the sync phase
    uint32_t initCount = 0;   // CustomInit: forget the last applied value
  };

  void CreateParams();
  void CreatePresets();
  // Copies the control-side settings to the hand-over record. Plug-in mutex
  // held.
  void PublishSettings();
  // The wave moved: redraws the plot and has the render side soften the
  // jump at its next block. Plug-in mutex held.
  void WaveChanged();
  // Takes a newer hand-over record if there is one and the copy is free.
  // Render thread.
  void PickUpSettings();

  // ---- control side: written under the plug-in mutex ----
  // The gain stage, the free rate, the smoothing window and the event
  // counters, kept in the form they are handed over in; PublishSettings adds
  // the sample rates and the settings of lfo and midiTempo.
  RenderSettings settings;
  int plotPoints = 200;
  std::vector<double> plotBuffer;
  ExtLFO lfo;
  MidiTempo midiTempo;
  IPlotControl* plot = nullptr;
  IControl* prefixCover = nullptr;

  // ---- hand-over ----
  std::mutex handoverMutex;
  RenderSettings handover;                 // guarded by handoverMutex
  std::atomic<uint32_t> handoverSerial{0}; // bumped inside the mutex
  std::atomic<double> hostTempoBpm{120.0}; // render -> control

  // ---- render side: touched only by the processing ----
  RenderSettings active;
  uint32_t activeSerial = 0;
  ExtLFO renderLfo;
  MidiTempo renderTempo;
  bool smoothPending = false;
  bool resyncPending = false;
  double lastSamplePos = 0.0;
  int lastBlockFrames = 0;  // length of the block that ended at lastSamplePos
  bool lastTransportRunning = false;
  double lastAmp = 0.0;
  int blockSize = 0;
  std::vector<double> ampBuffer;
};

// Creates a tremolo while holding a process-wide mutex (the host may open
// several instances at once). Null if construction fails.
FormatAdapter* MakePlug();

// The platform's graphics context for `plug`: width x height pixels (> 0),
// `fps` redraws per second (<= 0: the framework's default). The only place
// that chooses the platform layer: headless (no window) on this platform.
// The caller owns the result until it attaches it; null for a null plug.
IGraphics* MakeGraphics(FormatAdapter* plug, int width, int height, int fps = 0);

#if !defined(QUILL_API_LV2)
// The Audio Unit component entry a host calls with a selector; returns the
// adapter's status code (noErr on success). Never throws.
extern "C" ComponentResult QuillbarTremolo_Entry(ComponentParameters* params, void* pPlug);
// The legacy view component entry; returns the adapter's status code. Never
// throws.
extern "C" ComponentResult QuillbarTremolo_ViewEntry(ComponentParameters* params, void* pView);
#endif
