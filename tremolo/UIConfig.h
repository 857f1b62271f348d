// UIConfig: a declarative description of an editor, one record per element.
//
// ControlProperty says what an element is (knob, radio buttons, bitmap,
// plot), where it sits, which skin images it uses and, for elements bound to
// a parameter, how that parameter is defined. UIConfig<T> is the ordered,
// owning list of such records; a plug-in derives from it and fills it in its
// constructor. Records are plain data, read by the editor assembly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/IPlugStructs.h"

// Element kinds of ControlProperty::kind.
enum EUIControlKind
{
  kUIKnobCap = 1,         // multi-frame knob with a caption image
  kUIRadioButtons = 3,    // radio buttons without caption
  kUIRadioButtonsCap = 4, // radio buttons with a caption image
  kUIBitmap = 5,          // plain bitmap
  kUIPlot = 6             // LFO plot
};

struct ControlProperty
{
  std::vector<int32_t> bitmapIds;       // resource ids, in use order
  std::vector<std::string> bitmapPaths; // relative to the plug-in's resources
  std::vector<int32_t> frameCounts;     // frames stacked vertically in each bitmap
  std::vector<IRECT> rects;             // position, then (when present) caption offset
  int32_t alignment = 0;                // EAlignment: 1 centred on (L, T), 0 top-left
  int32_t kind = 0;                     // EUIControlKind
  int32_t paramIdx = -1;                // bound parameter (or a unique number when unbound)
  bool isParam = false;
  std::string name;                     // parameter name; empty when unbound
  double defaultVal = 0.0, minVal = 0.0, maxVal = 0.0, step = 0.0, shape = 0.0;
};

template <class T>
class UIConfig
{
public:
  UIConfig() = default;
  UIConfig(const UIConfig&) = delete;
  UIConfig& operator=(const UIConfig&) = delete;
  // Deletes every record.
  virtual ~UIConfig()
  {
    for (T* record : mRecords) delete record;
  }

  // Number of host-visible parameters the configuration describes.
  virtual int GetNumVSTParams() const = 0;

  // Number of records.
  int Size() const { return static_cast<int>(mRecords.size()); }
  // Record `idx` (0-based, in table order), or null outside the table.
  const T* Get(int idx) const
  {
    return idx >= 0 && idx < Size() ? mRecords[static_cast<size_t>(idx)] : nullptr;
  }
  // The first record bound to parameter `paramIdx`, or null.
  const T* FindParam(int paramIdx) const
  {
    for (const T* record : mRecords)
      if (record->isParam && record->paramIdx == paramIdx) return record;
    return nullptr;
  }

protected:
  // Takes ownership; a null record is ignored.
  void Append(T* record)
  {
    if (record) mRecords.push_back(record);
  }

private:
  std::vector<T*> mRecords;
};
