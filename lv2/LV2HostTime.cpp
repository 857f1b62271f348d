#include "lv2/LV2HostTime.h"

#include <cmath>

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

bool LV2TimeURIDs::Map(const LV2_URID_Map* map)
{
  *this = LV2TimeURIDs();
  if (!map || !map->map) return false;
  auto m = [map](const char* uri) { return map->map(map->handle, uri); };
  atomBlank = m(LV2_ATOM__Blank);
  atomObject = m(LV2_ATOM__Object);
  atomBool = m(LV2_ATOM__Bool);
  atomInt = m(LV2_ATOM__Int);
  atomLong = m(LV2_ATOM__Long);
  atomFloat = m(LV2_ATOM__Float);
  atomDouble = m(LV2_ATOM__Double);
  position = m(LV2_TIME__Position);
  bar = m(LV2_TIME__bar);
  barBeat = m(LV2_TIME__barBeat);
  beatsPerBar = m(LV2_TIME__beatsPerBar);
  beatUnit = m(LV2_TIME__beatUnit);
  beatsPerMinute = m(LV2_TIME__beatsPerMinute);
  speed = m(LV2_TIME__speed);
  frame = m(LV2_TIME__frame);
  return true;
}

namespace
{

// The value of a number atom of any of the atom number types; false for
// anything else, for a body shorter than its type and for non-finite values.
bool AtomNumber(const LV2_Atom* a, const LV2TimeURIDs& u, double* out)
{
  const void* body = LV2_ATOM_BODY_CONST(a);
  double v;
  if (a->type == u.atomFloat && a->size >= sizeof(float))
    v = *static_cast<const float*>(body);
  else if (a->type == u.atomDouble && a->size >= sizeof(double))
    v = *static_cast<const double*>(body);
  else if ((a->type == u.atomInt || a->type == u.atomBool) && a->size >= sizeof(int32_t))
    v = *static_cast<const int32_t*>(body);
  else if (a->type == u.atomLong && a->size >= sizeof(int64_t))
    v = static_cast<double>(*static_cast<const int64_t*>(body));
  else
    return false;
  if (!std::isfinite(v)) return false;
  *out = v;
  return true;
}

} // namespace

bool LV2HostTime::Apply(const LV2_Atom* atom, const LV2TimeURIDs& u)
{
  if (!atom || u.position == 0) return false;
  if (atom->type != u.atomObject && atom->type != u.atomBlank) return false;
  if (atom->size < sizeof(LV2_Atom_Object_Body)) return false;
  const LV2_Atom_Object* obj = reinterpret_cast<const LV2_Atom_Object*>(atom);
  if (obj->body.otype != u.position) return false;

  // Meters and tempi beyond these are no music and would overflow the
  // integer time signature.
  constexpr double kMaxMeter = 1e6;
  double bpb = mBeatsPerBar, unit = mBeatUnit, bar = mBar, barBeat = mBarBeat;
  LV2_ATOM_OBJECT_FOREACH(obj, prop)
  {
    double v;
    if (!AtomNumber(&prop->value, u, &v)) continue;
    if (prop->key == u.frame)
      mFrame = v;
    else if (prop->key == u.speed)
      mSpeed = v;
    else if (prop->key == u.beatsPerMinute)
    {
      if (v > 0.0 && v < kMaxMeter) mBpm = v;
    }
    else if (prop->key == u.beatsPerBar)
    {
      if (v > 0.0 && v < kMaxMeter) bpb = v;
    }
    else if (prop->key == u.beatUnit)
    {
      if (v > 0.0 && v < kMaxMeter) unit = v;
    }
    else if (prop->key == u.bar)
      bar = v;
    else if (prop->key == u.barBeat)
    {
      if (v >= 0.0) barBeat = v;
    }
  }
  mBeatsPerBar = bpb;
  mBeatUnit = unit;
  mBar = bar;
  mBarBeat = barBeat;
  mKnown = true;
  return true;
}

void LV2HostTime::Advance(int frames, double sampleRate)
{
  if (frames <= 0 || mSpeed == 0.0 || !(sampleRate > 0.0)) return;
  const double moved = frames * mSpeed;
  mFrame += moved;
  // Beats carry into bars; the bar keeps counting from where the host
  // said, so a song that starts at bar 0 or at bar 1 both stay right.
  const double total = mBar * mBeatsPerBar + mBarBeat + moved * mBpm / (60.0 * sampleRate);
  const double bars = std::floor(total / mBeatsPerBar);
  mBar = bars;
  mBarBeat = total - bars * mBeatsPerBar;
  if (mBarBeat < 0.0) mBarBeat = 0.0; // rounding just below a bar line
}

void LV2HostTime::Fill(ITimeInfo* pInfo) const
{
  if (!pInfo || !mKnown) return;
  const double quarterPerBeat = 4.0 / mBeatUnit;
  pInfo->mTempo = QuarterNotesPerMinute();
  pInfo->mSamplePos = mFrame;
  pInfo->mPPQPos = (mBar * mBeatsPerBar + mBarBeat) * quarterPerBeat;
  pInfo->mLastBar = mBar * mBeatsPerBar * quarterPerBeat;
  pInfo->mNumerator = static_cast<int>(mBeatsPerBar);
  pInfo->mDenominator = static_cast<int>(mBeatUnit);
  pInfo->mTransportIsRunning = mSpeed != 0.0;
}
