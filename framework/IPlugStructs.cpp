#include "framework/IPlugStructs.h"

#include <climits>

void CopyTextToField(char* dst, int dstSize, const char* src)
{
  if (!dst || dstSize < 1) return;
  if (!src) src = "";
  size_t n = strnlen(src, (size_t)dstSize - 1);
  memmove(dst, src, n);
  dst[n] = 0;
}

// ---------------------------------------------------------------------------
// ByteChunk

int ByteChunk::PutBytes(const void* pBuf, int n)
{
  int size = Size();
  if (!pBuf || n <= 0) return size;
  if (n > INT_MAX - size) return 0;
  // pBuf may point into this chunk (PutChunk of itself); remember the offset
  const uint8_t* base = mBytes.Get();
  const uint8_t* src = static_cast<const uint8_t*>(pBuf);
  bool aliased = base && src >= base && src < base + size;
  size_t offset = aliased ? (size_t)(src - base) : 0;
  if (!mBytes.Resize(size + n)) return 0;
  memmove(mBytes.Get() + size, aliased ? mBytes.Get() + offset : src, (size_t)n);
  return Size();
}

int ByteChunk::GetBytes(void* pBuf, int n, int startPos) const
{
  if (!pBuf || n < 0 || startPos < 0) return -1;
  if (startPos > Size() || n > Size() - startPos) return -1;
  if (n > 0) memcpy(pBuf, mBytes.Get() + startPos, (size_t)n);
  return startPos + n;
}

int ByteChunk::PutStr(const char* str)
{
  if (!str) str = "";
  size_t len = strlen(str);
  if (len > (size_t)INT_MAX - 4) return 0;
  int32_t slen = (int32_t)len;
  int before = Size();
  if (!Put(&slen)) return 0;
  if (slen > 0 && !PutBytes(str, slen))
  {
    mBytes.Resize(before); // no half-written string
    return 0;
  }
  return Size();
}

int ByteChunk::GetStr(WDL_String* pStr, int startPos) const
{
  int32_t len = 0;
  int pos = Get(&len, startPos);
  if (pos < 0) return -1;
  // a negative length would step the position backwards into data already read
  if (len < 0) return -1;
  if (len > INT_MAX - pos) return -1;
  int next = pos + len;
  if (len > 0 && next <= Size() && pStr)
    pStr->Set(reinterpret_cast<const char*>(mBytes.Get() + pos), len);
  return next;
}

int ByteChunk::PutChunk(const ByteChunk* pRHS)
{
  if (!pRHS) return Size();
  return PutBytes(pRHS->GetBytes(), pRHS->Size());
}

int ByteChunk::Resize(int newSize)
{
  if (newSize < 0) newSize = 0;
  mBytes.Resize(newSize);
  return Size();
}

bool ByteChunk::IsEqual(const ByteChunk& other) const
{
  if (Size() != other.Size()) return false;
  return Size() == 0 || memcmp(GetBytes(), other.GetBytes(), (size_t)Size()) == 0;
}

// ---------------------------------------------------------------------------
// MIDI

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel)
{
  Clear();
  mStatus = (uint8_t)(0x90 | (channel & 0x0F));
  mData1 = (uint8_t)(noteNumber & 0x7F);
  mData2 = (uint8_t)(velocity & 0x7F);
  mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel)
{
  Clear();
  mStatus = (uint8_t)(0x80 | (channel & 0x0F));
  mData1 = (uint8_t)(noteNumber & 0x7F);
  mOffset = offset;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel)
{
  Clear();
  mStatus = (uint8_t)(0xE0 | (channel & 0x0F));
  // clamp before the int conversion so out-of-range or NaN input stays defined
  double scaled = value * 8192.0;
  if (!(scaled > -8192.0)) scaled = -8192.0;
  if (scaled > 8191.0) scaled = 8191.0;
  int i = (int)scaled + 8192;
  if (i < 0) i = 0;
  if (i > 16383) i = 16383;
  mData1 = (uint8_t)(i & 0x7F);
  mData2 = (uint8_t)(i >> 7);
}

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel)
{
  Clear();
  mStatus = (uint8_t)(0xB0 | (channel & 0x0F));
  mData1 = (uint8_t)((int)idx & 0x7F);
  double v = value * 127.0;
  if (!(v > 0.0)) v = 0.0;
  if (v > 127.0) v = 127.0;
  mData2 = (uint8_t)(int)v;
}

void IMidiMsg::Clear()
{
  mOffset = 0;
  mStatus = mData1 = mData2 = 0;
}

int IMidiMsg::Channel() const { return mStatus & 0x0F; }

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const
{
  unsigned kind = mStatus >> 4;
  return (kind >= kNoteOff && kind <= kPitchWheel) ? (EStatusMsg)kind : kNone;
}

int IMidiMsg::NoteNumber() const
{
  switch (StatusMsg())
  {
    case kNoteOff:
    case kNoteOn:
    case kPolyAftertouch: return mData1;
    default: return -1;
  }
}

int IMidiMsg::Velocity() const
{
  switch (StatusMsg())
  {
    case kNoteOff:
    case kNoteOn: return mData2;
    default: return -1;
  }
}

int IMidiMsg::PolyAfterTouch() const { return StatusMsg() == kPolyAftertouch ? mData2 : -1; }
int IMidiMsg::ChannelAfterTouch() const { return StatusMsg() == kChannelAftertouch ? mData1 : -1; }
int IMidiMsg::Program() const { return StatusMsg() == kProgramChange ? mData1 : -1; }

double IMidiMsg::PitchWheel() const
{
  if (StatusMsg() != kPitchWheel) return 0.0;
  int i = mData1 + 128 * mData2 - 8192;
  return (double)i / 8192.0;
}

IMidiMsg::EControlChangeMsg IMidiMsg::ControlChangeIdx() const { return (EControlChangeMsg)mData1; }

double IMidiMsg::ControlChange(EControlChangeMsg idx) const
{
  if (StatusMsg() == kControlChange && (int)mData1 == (int)idx) return (double)mData2 / 127.0;
  return -1.0;
}

const char* IMidiMsg::StatusMsgStr(EStatusMsg msg)
{
  switch ((int)msg)
  {
    case kNone: return "none";
    case kNoteOff: return "noteoff";
    case kNoteOn: return "noteon";
    case kPolyAftertouch: return "aftertouch";
    case kControlChange: return "controlchange";
    case kProgramChange: return "programchange";
    case kChannelAftertouch: return "channelaftertouch";
    case kPitchWheel: return "pitchwheel";
    default: return "unknown";
  }
}

void ISysEx::Clear()
{
  mOffset = mSize = 0;
  mData = nullptr;
}

char* SysExStr(char* buf, int maxLen, const uint8_t* data, int size)
{
  if (!buf || maxLen < 1) return buf;
  buf[0] = 0;
  if (!data || size <= 0) return buf;
  int n = size < maxLen / 3 ? size : maxLen / 3;
  // n bytes take 3n - 1 characters plus the NUL, which is at most maxLen
  char* p = buf;
  for (int i = 0; i < n; ++i)
  {
    snprintf(p, 4, i + 1 < n ? "%02X " : "%02X", data[i]);
    p += i + 1 < n ? 3 : 2;
  }
  *p = 0;
  return buf;
}

// ---------------------------------------------------------------------------
// Base64

static const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

static int Base64Value(char c)
{
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

int Base64Encode(const uint8_t* data, int n, char* out, int outSize)
{
  if (!out || outSize < 1) return -1;
  out[0] = 0;
  if (n < 0 || (n > 0 && !data)) return -1;
  long long need = ((long long)n + 2) / 3 * 4 + 1;
  if (need > outSize) return -1;
  char* p = out;
  for (int i = 0; i < n; i += 3)
  {
    unsigned v = (unsigned)data[i] << 16;
    if (i + 1 < n) v |= (unsigned)data[i + 1] << 8;
    if (i + 2 < n) v |= data[i + 2];
    *p++ = kBase64Alphabet[(v >> 18) & 63];
    *p++ = kBase64Alphabet[(v >> 12) & 63];
    *p++ = i + 1 < n ? kBase64Alphabet[(v >> 6) & 63] : '=';
    *p++ = i + 2 < n ? kBase64Alphabet[v & 63] : '=';
  }
  *p = 0;
  return (int)(p - out);
}

int Base64Decode(const char* text, uint8_t* out, int outSize)
{
  if (outSize < 0 || (!out && outSize > 0)) return -1;
  if (outSize > 0) memset(out, 0, (size_t)outSize);
  if (!text) return 0;
  unsigned acc = 0;
  int bits = 0, written = 0;
  for (const char* p = text; written < outSize; ++p)
  {
    int v = Base64Value(*p);
    if (v < 0) break;
    acc = ((acc << 6) | (unsigned)v) & 0xFFFFFF;
    bits += 6;
    if (bits >= 8)
    {
      bits -= 8;
      out[written++] = (uint8_t)((acc >> bits) & 0xFF);
    }
  }
  return written;
}

// ---------------------------------------------------------------------------
// Editor value types

const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
const IColor COLOR_BLACK(255, 0, 0, 0);
const IColor COLOR_GRAY(255, 127, 127, 127);
const IColor COLOR_WHITE(255, 255, 255, 255);
const IColor COLOR_RED(255, 255, 0, 0);
const IColor COLOR_GREEN(255, 0, 255, 0);
const IColor COLOR_BLUE(255, 0, 0, 255);
const IColor COLOR_YELLOW(255, 255, 255, 0);
const IColor COLOR_ORANGE(255, 255, 127, 0);
const IColor DEFAULT_TEXT_COLOR(255, 0, 0, 0);
const IColor DEFAULT_TEXT_ENTRY_BGCOLOR(255, 255, 255, 255);
const IColor DEFAULT_TEXT_ENTRY_FGCOLOR(255, 0, 0, 0);

static uint32_t Clamp255(int v) { return (uint32_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

uint32_t IColor::ToPixel() const
{
  return Clamp255(A) | (Clamp255(R) << 8) | (Clamp255(G) << 16) | (Clamp255(B) << 24);
}

IText::IText(int size, const IColor* pColor, const char* font, EStyle style, EAlign align, int orientation,
             EQuality quality, const IColor* pTEBGColor, const IColor* pTEFGColor)
  : mSize(size),
    mColor(pColor ? *pColor : DEFAULT_TEXT_COLOR),
    mTextEntryBGColor(pTEBGColor ? *pTEBGColor : DEFAULT_TEXT_ENTRY_BGCOLOR),
    mTextEntryFGColor(pTEFGColor ? *pTEFGColor : DEFAULT_TEXT_ENTRY_FGCOLOR),
    mStyle(style),
    mAlign(align),
    mOrientation(orientation),
    mQuality(quality)
{
  CopyTextToField(mFont, sizeof(mFont), font ? font : DEFAULT_FONT);
}

IText::IText(const IColor* pColor) : IText(DEFAULT_TEXT_SIZE, pColor) {}

IRECT::IRECT(int x, int y, const IBitmap* pBitmap)
{
  L = x;
  T = y;
  R = x;
  B = y;
  if (!pBitmap) return;
  int n = pBitmap->N > 0 ? pBitmap->N : 1;
  R = x + pBitmap->W;
  B = y + pBitmap->H / n;
}

bool IRECT::Contains(const IRECT* pRHS) const
{
  return pRHS && !Empty() && !pRHS->Empty() && pRHS->L >= L && pRHS->R <= R && pRHS->T >= T && pRHS->B <= B;
}

bool IRECT::Intersects(const IRECT* pRHS) const
{
  return pRHS && !Empty() && !pRHS->Empty() && pRHS->L < R && L < pRHS->R && pRHS->T < B && T < pRHS->B;
}

IRECT IRECT::Union(const IRECT* pRHS) const
{
  if (!pRHS || pRHS->Empty()) return *this;
  if (Empty()) return *pRHS;
  return IRECT(L < pRHS->L ? L : pRHS->L, T < pRHS->T ? T : pRHS->T, R > pRHS->R ? R : pRHS->R,
               B > pRHS->B ? B : pRHS->B);
}

IRECT IRECT::Intersect(const IRECT* pRHS) const
{
  if (!Intersects(pRHS)) return IRECT();
  return IRECT(L > pRHS->L ? L : pRHS->L, T > pRHS->T ? T : pRHS->T, R < pRHS->R ? R : pRHS->R,
               B < pRHS->B ? B : pRHS->B);
}

int IBitmap::frameWidth() const
{
  if (N < 1) return 0;
  return mFramesAreHorizontal ? W / N : W;
}

int IBitmap::frameHeight() const
{
  if (N < 1) return 0;
  return mFramesAreHorizontal ? H : H / N;
}
