// One automatable parameter: a plain value with a range, a quantisation
// step, a response curve ("shape"), a display precision, host texts and an
// optional table of value texts.
//
// Hosts and editors exchange the normalized form (0..1): plain = min +
// normalized^shape * (max - min). Saved state holds the plain value.
//
// Texts are copied into fixed 32-byte fields; longer texts are cut to 31
// characters. IParam has no lock of its own: callers change it while the
// plug-in's mutex is held.
#pragma once

#include "framework/Containers.h"
#include "framework/IPlugStructs.h"

class IParam
{
public:
  enum EParamType
  {
    kTypeNone = 0,
    kTypeBool = 1,
    kTypeInt = 2,
    kTypeEnum = 3,
    kTypeDouble = 4
  };

  // An empty parameter: type none, range 0..1, step 1, shape 1, automatable.
  IParam();
  ~IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // Boolean parameter with display texts 0 -> "off", 1 -> "on". Each Init
  // call sets the type only if it is still none: the first call decides it.
  void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "");
  // Enumeration 0..nEnums-1 with step 1.
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "", const char* group = "");
  // Integer parameter with step 1.
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "", const char* group = "");
  // Double parameter. The maximum becomes max(maxVal, minVal + step); the
  // display precision follows from the step; a shape of 0 keeps the old shape.
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", double shape = 1.0);

  // Plain value, clamped into [min, max] (NaN becomes the minimum).
  void Set(double value);
  // Sets the plain value from a normalized one (0..1): shape curve, then
  // step rounding (counted from 0) for non-double types, then the upper clamp.
  void SetNormalized(double normalizedValue);
  // Stores the shape unless it is 0.
  void SetShape(double shape);
  // Digits after the decimal point in the host display (clamped to 0..15).
  void SetDisplayPrecision(int precision);
  // Display shows the negated value from now on.
  void NegateDisplay() { mNegateDisplay = true; }
  // Host may write the parameter / changing it changes others.
  void SetCanAutomate(bool canAutomate) { mCanAutomate = canAutomate; }
  void SetIsMeta(bool meta) { mIsMeta = meta; }

  // Appends a value text for key `value` (the current value truncated to an
  // int is compared with it). Never replaces an earlier record with the same
  // key; lookups find the first. Text cut to 31 characters, null counts as "".
  void SetDisplayText(int value, const char* text);

  // Type decided by the first Init call (kTypeNone before).
  EParamType Type() const { return mType; }
  // Current plain value.
  double Value() const { return mValue; }
  // The value truncated to an int (saturating at the int range).
  int Int() const;
  // True when the value is at least 0.5.
  bool Bool() const { return mValue >= 0.5; }
  // Range, step, shape and display settings as initialised.
  double GetDefault() const { return mDefault; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  double GetShape() const { return mShape; }
  int GetPrecision() const { return mDisplayPrecision; }
  bool GetNegateDisplay() const { return mNegateDisplay; }
  bool GetCanAutomate() const { return mCanAutomate; }
  bool GetIsMeta() const { return mIsMeta; }
  // Writes minimum and maximum (null pointers are skipped).
  void GetBounds(double* pMin, double* pMax) const;

  // Normalized form of the current value (0..1).
  double GetNormalized() const;
  // Normalized form of any plain value; clamps it into [min, max] first.
  double GetNormalized(double nonNormalizedValue) const;
  // The value read as decibels, as a linear gain: exp(value * ln(10) / 20).
  double DBToAmp() const;

  // Display form of the current value into out (MAX_PARAM_DISPLAY_BUF bytes).
  void GetDisplayForHost(char* out, bool withDisplayText = true) const
  {
    GetDisplayForHost(mValue, false, out, MAX_PARAM_DISPLAY_BUF, withDisplayText);
  }
  // Display form of a value into out, which must hold MAX_PARAM_DISPLAY_BUF
  // bytes. Prefer the bounded overload.
  void GetDisplayForHost(double value, bool normalized, char* out, bool withDisplayText = true) const
  {
    GetDisplayForHost(value, normalized, out, MAX_PARAM_DISPLAY_BUF, withDisplayText);
  }
  // Display form of a value into out of outSize bytes, cut to fit. With
  // `normalized` the value is converted to plain (no step rounding, no
  // clamp); a non-empty display text for its truncated key wins when
  // withDisplayText; otherwise the number, negated when negate-display is
  // set, with "%d" of the truncated value at precision 0, else "%.*f".
  // Does nothing when out is null or outSize < 1.
  void GetDisplayForHost(double value, bool normalized, char* out, int outSize, bool withDisplayText = true) const;

  // Name (at most 31 characters).
  const char* GetNameForHost() const { return mName; }
  // "" when the current value has a non-empty display text, else the label.
  const char* GetLabelForHost() const;
  // Group name ("" when none).
  const char* GetParamGroupForHost() const { return mParamGroup; }

  // Text of the first record with key `value`, or "".
  const char* GetDisplayText(int value) const;
  // Number of display-text records.
  int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
  // Text of record idx (insertion order) and its key into *pValue (when not
  // null); "" and *pValue untouched for an index outside the table.
  const char* GetDisplayTextAtIdx(int idx, int* pValue = nullptr) const;
  // Finds the first record whose text equals str exactly; writes its key to
  // *pValue (when not null) and returns true; false otherwise.
  bool MapDisplayText(const char* str, int* pValue) const;

  // Buffer size the unbounded GetDisplayForHost overloads assume.
  static constexpr int MAX_PARAM_DISPLAY_BUF = 128;

private:
  struct DisplayText
  {
    int mValue;
    char mText[MAX_PARAM_DISPLAY_LEN];
  };

  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  char mName[MAX_PARAM_NAME_LEN];
  char mLabel[MAX_PARAM_NAME_LEN];
  char mParamGroup[MAX_PARAM_NAME_LEN];
  bool mNegateDisplay = false;
  bool mCanAutomate = true;
  bool mIsMeta = false;
  WDL_TypedBuf<DisplayText> mDisplayTexts;
};
