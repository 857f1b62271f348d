#include "framework/IParam.h"

#include <climits>
#include <cmath>
#include <cstdio>

// Truncation toward zero into an int; values beyond the int range (and NaN)
// saturate instead of invoking an undefined conversion.
static int TruncToInt(double v)
{
  if (std::isnan(v)) return 0;
  if (v >= (double)INT_MAX) return INT_MAX;
  if (v <= (double)INT_MIN) return INT_MIN;
  return (int)v;
}

IParam::IParam()
{
  mName[0] = mLabel[0] = mParamGroup[0] = 0;
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group)
{
  if (mType == kTypeNone) mType = kTypeBool;
  InitDouble(name, defaultVal ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, group, 1.0);
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, const char* group)
{
  if (mType == kTypeNone) mType = kTypeEnum;
  InitDouble(name, defaultVal, 0.0, (double)nEnums - 1.0, 1.0, label, group, 1.0);
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     const char* group)
{
  if (mType == kTypeNone) mType = kTypeInt;
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, label, group, 1.0);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, const char* group, double shape)
{
  if (mType == kTypeNone) mType = kTypeDouble;
  CopyTextToField(mName, sizeof(mName), name);
  CopyTextToField(mLabel, sizeof(mLabel), label);
  CopyTextToField(mParamGroup, sizeof(mParamGroup), group);
  mValue = defaultVal;
  mDefault = defaultVal;
  mMin = minVal;
  // a range narrower than one step would leave nothing to choose from
  mMax = maxVal > minVal + step ? maxVal : minVal + step;
  mStep = step;

  // one multiplication by 10 per digit, so a step like 0.1 (not exactly
  // representable) still settles after one digit
  mDisplayPrecision = 0;
  for (double d = step; d != std::floor(d) && mDisplayPrecision < 6; d *= 10.0) ++mDisplayPrecision;

  SetShape(shape);
}

void IParam::Set(double value)
{
  if (std::isnan(value) || value < mMin) value = mMin;
  if (value > mMax) value = mMax;
  mValue = value;
}

void IParam::SetNormalized(double normalizedValue)
{
  double v = mMin + std::pow(normalizedValue, mShape) * (mMax - mMin);
  // a step <= 0 has no grid to snap to; dividing by it would give inf/NaN
  if (mType != kTypeDouble && mStep > 0.0) v = std::floor(v / mStep + 0.5) * mStep;
  mValue = v < mMax ? v : mMax;
}

void IParam::SetShape(double shape)
{
  if (shape != 0.0) mShape = shape;
}

void IParam::SetDisplayPrecision(int precision)
{
  mDisplayPrecision = precision < 0 ? 0 : precision > 15 ? 15 : precision;
}

void IParam::SetDisplayText(int value, const char* text)
{
  DisplayText rec;
  memset(&rec, 0, sizeof(rec));
  rec.mValue = value;
  CopyTextToField(rec.mText, sizeof(rec.mText), text);
  mDisplayTexts.Add(rec);
}

int IParam::Int() const { return TruncToInt(mValue); }

void IParam::GetBounds(double* pMin, double* pMax) const
{
  if (pMin) *pMin = mMin;
  if (pMax) *pMax = mMax;
}

double IParam::GetNormalized() const { return GetNormalized(mValue); }

double IParam::GetNormalized(double nonNormalizedValue) const
{
  double v = nonNormalizedValue < mMin ? mMin : (nonNormalizedValue < mMax ? nonNormalizedValue : mMax);
  if (std::isnan(v)) v = mMin;
  // an empty range (only reachable with a step <= 0) has one position: 0
  if (!(mMax > mMin)) return 0.0;
  return std::pow((v - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParam::DBToAmp() const { return std::exp(mValue * 0.1151292546497); }

void IParam::GetDisplayForHost(double value, bool normalized, char* out, int outSize, bool withDisplayText) const
{
  if (!out || outSize < 1) return;
  if (normalized) value = mMin + std::pow(value, mShape) * (mMax - mMin);

  if (withDisplayText)
  {
    const char* text = GetDisplayText(TruncToInt(value));
    if (text[0])
    {
      CopyTextToField(out, outSize, text);
      return;
    }
  }

  if (mNegateDisplay) value = -value;
  if (mDisplayPrecision == 0)
    snprintf(out, (size_t)outSize, "%d", TruncToInt(value));
  else
    snprintf(out, (size_t)outSize, "%.*f", mDisplayPrecision, value);
}

const char* IParam::GetLabelForHost() const
{
  const char* text = GetDisplayText(Int());
  return text[0] ? "" : mLabel;
}

const char* IParam::GetDisplayText(int value) const
{
  const DisplayText* recs = mDisplayTexts.Get();
  for (int i = 0, n = mDisplayTexts.GetSize(); i < n; ++i)
    if (recs[i].mValue == value) return recs[i].mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* pValue) const
{
  if (idx < 0 || idx >= mDisplayTexts.GetSize()) return "";
  const DisplayText& rec = mDisplayTexts.Get()[idx];
  if (pValue) *pValue = rec.mValue;
  return rec.mText;
}

bool IParam::MapDisplayText(const char* str, int* pValue) const
{
  if (!str) return false;
  const DisplayText* recs = mDisplayTexts.Get();
  for (int i = 0, n = mDisplayTexts.GetSize(); i < n; ++i)
  {
    if (!strcmp(recs[i].mText, str))
    {
      if (pValue) *pValue = recs[i].mValue;
      return true;
    }
  }
  return false;
}
