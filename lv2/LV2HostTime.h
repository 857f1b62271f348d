// LV2HostTime: the host's musical time as LV2 hosts report it.
//
// Hosts send a time:Position object on the plug-in's atom input only when
// something changes (transport started or stopped, a locate, a new tempo),
// some only once per block and some never. This record keeps the last
// position and moves it on by every block the plug-in renders, so that
// between two messages it says where the host's transport stands now. It
// answers in the plug-in base's terms (ITimeInfo: tempo and positions in
// quarter notes). Render thread only; no allocation, no locks.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "framework/IPlugStructs.h"

// The URIDs a time:Position is read with. Mapped once at instantiation.
struct LV2TimeURIDs
{
  LV2_URID atomBlank = 0, atomObject = 0;
  LV2_URID atomBool = 0, atomInt = 0, atomLong = 0, atomFloat = 0, atomDouble = 0;
  LV2_URID position = 0, bar = 0, barBeat = 0, beatsPerBar = 0, beatUnit = 0, beatsPerMinute = 0, speed = 0,
           frame = 0;

  // Maps every URI through the host's map; false (all 0) for a null map.
  bool Map(const LV2_URID_Map* map);
};

class LV2HostTime
{
public:
  // Takes over the keys a time:Position object (atom:Object or the older
  // atom:Blank) carries, each in any atom number type; keys it lacks keep
  // their values, out-of-range values (tempo, meter or beat unit not above
  // 0, anything not finite) are skipped. Returns false, changing nothing,
  // for any other atom or an object too short for its header.
  bool Apply(const LV2_Atom* atom, const LV2TimeURIDs& urids);
  // The transport moved on by `frames` samples at `sampleRate` Hz: frame and
  // bar position advance at the reported speed (nothing while stopped).
  void Advance(int frames, double sampleRate);
  // Writes the current time. Before any position arrived nothing is
  // written, so the caller's defaults (120, stopped, no positions) stand.
  void Fill(ITimeInfo* pInfo) const;

  // Whether a position ever arrived.
  bool Known() const { return mKnown; }
  // Tempo in quarter notes per minute (120 before any position).
  double QuarterNotesPerMinute() const { return mBpm * 4.0 / mBeatUnit; }
  // Transport frame (0 before any position).
  double Frame() const { return mFrame; }
  // Rolling speed: 0 stopped, 1 normal.
  double Speed() const { return mSpeed; }
  // Bar start and position in the song, in beats of the time signature.
  double Bar() const { return mBar; }
  double BarBeat() const { return mBarBeat; }

private:
  bool mKnown = false;
  double mFrame = 0.0;
  double mSpeed = 0.0;
  double mBpm = 120.0;        // beats of mBeatUnit per minute
  double mBeatUnit = 4.0;     // time signature denominator
  double mBeatsPerBar = 4.0;  // time signature numerator
  double mBar = 0.0;          // bars since the song start
  double mBarBeat = 0.0;      // beats into the bar, 0 <= barBeat < beatsPerBar
};
