// IPlugAU, headless stand-in.
//
// This is NOT the Audio Unit adapter. It is the smallest base class that lets
// a plug-in derived from IPlugAU construct and render on a machine without
// the Audio Unit interfaces: it takes the identity the way the adapter's
// constructor takes it, answers the host-facing virtuals with "nothing to
// report", and reads the host's musical time from a record that a test or a
// headless driver sets. The Audio Unit adapter replaces this file as a whole;
// nothing else in it is meant to survive.
#pragma once

#include "framework/IPlugBase.h"

class IPlugAU : public IPlugBase
{
public:
  // Identity as the adapter takes it: instance info (bundle identifier,
  // view factory class name), then the plug-in base's arguments, then the
  // side-chain channel count (ignored here). Sets the block size to 1024.
  IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
          const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
          int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
          bool plugIsInst, int plugScChans);

  // The host time that GetTime, GetTempo, GetSamplePos and GetTimeSig report
  // from now on. Not synchronised: set it from the thread that renders, or
  // while no block runs.
  void SetHostTime(const ITimeInfo& timeInfo) { mHostTime = timeInfo; }
  const ITimeInfo& GetHostTime() const { return mHostTime; }

  // Plug-in bundle identifier from the instance info (never null).
  const char* GetBundleID() const { return mBundleID.Get(); }
  // Editor view factory class name from the instance info (never null).
  const char* GetViewFactoryClassName() const { return mCocoaViewFactoryClassName.Get(); }

  // Host notifications go nowhere headless. Any thread.
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfProgramChange() override {}

  // Host time from the record. Render thread.
  // Sample position rounded to the nearest integer (0 when not reported).
  int GetSamplePos() override;
  // Tempo in BPM (120 until a positive tempo is set).
  double GetTempo() override;
  // Time signature; null pointers are skipped.
  void GetTimeSig(int* pNum, int* pDenom) override;
  // Copies the record into *pTimeInfo (null is ignored).
  void GetTime(ITimeInfo* pTimeInfo) override;

  // No window to resize headless.
  void ResizeGraphics(int, int) override {}
  // No MIDI output headless: always false.
  bool SendMidiMsg(IMidiMsg*) override { return false; }

private:
  WDL_String mBundleID;
  WDL_String mCocoaViewFactoryClassName;
  ITimeInfo mHostTime;
};
