// Value types shared by the framework, the editor and the adapters: the
// state chunk, presets, MIDI messages, host time, plug-in identity, and the
// editor's geometry, colour, text and bitmap handles.
//
// Byte formats: ByteChunk stores values in native (little-endian) order with
// no gaps. Reads never move a cursor: each names its start position and
// returns the position just after what it read, or -1 when the read would run
// past the end; a failed read leaves its output untouched.
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/Containers.h"

class LICE_IBitmap; // raster library bitmap, owned by the editor's bitmap cache
class LICE_IFont;   // raster library font, owned by the editor's font cache

// Sizes of the fixed text fields, NUL included. Longer texts are cut to fit.
constexpr int MAX_PARAM_NAME_LEN = 32;     // parameter name, label, group
constexpr int MAX_PARAM_DISPLAY_LEN = 32;  // one display-text record's text
constexpr int MAX_PRESET_NAME_LEN = 256;   // preset name
constexpr int MAX_EFFECT_NAME_LEN = 128;   // plug-in, product and maker names
constexpr int MAX_HOST_NAME_LEN = 32;      // host display name buffer
constexpr int MAX_VERSION_STR_LEN = 32;    // "v%d.%d.%d" buffer

// Copies src (null counts as "") into dst of dstSize bytes, cutting it to
// fit and always NUL-terminating. Does nothing when dst is null or dstSize < 1.
void CopyTextToField(char* dst, int dstSize, const char* src);

// Which host adapter runs the plug-in.
enum EAPI
{
  kAPIVST2 = 0,
  kAPIVST3 = 1,
  kAPIAU = 2,
  kAPIRTAS = 3,
  kAPIAAX = 4,
  kAPISA = 5,
  kAPILV2 = 6
};

// What the plug-in factory hands to the adapter's constructor.
struct IPlugInstanceInfo
{
  WDL_String mBundleID;                  // plug-in bundle identifier
  WDL_String mCocoaViewFactoryClassName; // editor view factory class name
};

// Growable byte buffer with typed appends and position-based reads; the
// medium of state and presets. Appends return the new size, or 0 when the
// buffer could not grow (the old contents are then kept).
class ByteChunk
{
public:
  ByteChunk() : mBytes(4096) {}

  // Appends the bytes of a fixed-size value (int32: 4, double: 8, bool: 1).
  template <class T>
  int Put(const T* pVal)
  {
    return PutBytes(pVal, (int)sizeof(T));
  }

  // Reads a fixed-size value at startPos. Returns startPos + sizeof(T), or
  // -1 (value unchanged) when startPos is negative or the value runs past
  // the end.
  template <class T>
  int Get(T* pVal, int startPos) const
  {
    return GetBytes(pVal, (int)sizeof(T), startPos);
  }

  // Appends n raw bytes (n <= 0 or null pBuf appends nothing and returns the
  // current size).
  int PutBytes(const void* pBuf, int n);
  // Reads n raw bytes at startPos into pBuf. Returns startPos + n, or -1
  // (pBuf untouched) when pBuf is null, n or startPos is negative, or the
  // bytes run past the end.
  int GetBytes(void* pBuf, int n, int startPos) const;

  // Appends the text's length as int32, then its bytes without the NUL.
  // Null counts as "".
  int PutStr(const char* str);
  // Reads an int32 length L at startPos (-1 when that fails, or when L is
  // negative). If 0 < L and the text fits, sets *pStr to it; in every case
  // where the length was read returns startPos + 4 + L, even when the text
  // was not taken. A position that would exceed the int range gives -1.
  int GetStr(WDL_String* pStr, int startPos) const;

  // Appends all bytes of another chunk (null appends nothing).
  int PutChunk(const ByteChunk* pRHS);

  // Size becomes 0; the storage is kept.
  void Clear() { mBytes.Resize(0); }
  // Number of bytes written.
  int Size() const { return mBytes.GetSize(); }
  // Changes the size (negative counts as 0); new bytes are undefined.
  // Returns the new size, or the old one when growing failed.
  int Resize(int newSize);
  // The bytes (may be null while the chunk is empty).
  uint8_t* GetBytes() const { return mBytes.Get(); }
  // True when both chunks hold the same bytes.
  bool IsEqual(const ByteChunk& other) const;

private:
  WDL_TypedBuf<uint8_t> mBytes;
};

// One preset slot: whether it holds a state, its name and the state itself
// (a parameter block).
struct IPreset
{
  bool mInitialized = false;
  char mName[MAX_PRESET_NAME_LEN];
  ByteChunk mChunk;

  IPreset() { CopyTextToField(mName, sizeof(mName), "empty"); }
};

// One MIDI channel message.
struct IMidiMsg
{
  int mOffset = 0;     // sample offset within the current block
  uint8_t mStatus = 0; // kind in the high nibble, channel in the low nibble
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  // Message kind: the high nibble of the status byte.
  enum EStatusMsg
  {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14
  };

  // Controller numbers used as data 1 of control-change messages.
  enum EControlChangeMsg
  {
    kModWheel = 1,
    kBreathController = 2,
    kFootController = 4,
    kPortamentoTime = 5,
    kChannelVolume = 7,
    kBalance = 8,
    kPan = 10,
    kExpressionController = 11,
    kSustainOnOff = 64,
    kPortamentoOnOff = 65,
    kSustenutoOnOff = 66,
    kSoftPedalOnOff = 67,
    kAllNotesOff = 123
  };

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
    : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  // Note on; note and velocity 0-127, channel 0-15 (higher bits are dropped).
  void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
  // Note off with velocity 0.
  void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);
  // Pitch wheel; value -1..+1, clamped to the 14-bit range.
  void MakePitchWheelMsg(double value, int channel = 0);
  // Control change; controller 0-127, value 0..1.
  void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel = 0);
  // All fields 0.
  void Clear();

  // Status & 0x0F.
  int Channel() const;
  // The kind for a channel message (status 0x80-0xEF), else kNone.
  EStatusMsg StatusMsg() const;
  // Data 1 for note off, note on and poly aftertouch, else -1.
  int NoteNumber() const;
  // Data 2 for note off and note on, else -1.
  int Velocity() const;
  // Data 2 for poly aftertouch, else -1.
  int PolyAfterTouch() const;
  // Data 1 for channel aftertouch, else -1.
  int ChannelAfterTouch() const;
  // Data 1 for program change, else -1.
  int Program() const;
  // -1..+1 (8191/8192 at most) for a pitch-wheel message, else 0.0.
  double PitchWheel() const;
  // Data 1.
  EControlChangeMsg ControlChangeIdx() const;
  // Data 2 / 127 for a control change of controller idx, else -1.0.
  double ControlChange(EControlChangeMsg idx) const;
  // Text of a kind: "noteon", "pitchwheel", ...; "unknown" above 14.
  static const char* StatusMsgStr(EStatusMsg msg);
  // Tracing is off in this system: does nothing.
  void LogMsg() {}
};

// A system-exclusive block; the bytes are not owned.
struct ISysEx
{
  int mOffset = 0; // sample offset within the current block
  int mSize = 0;   // byte count
  const uint8_t* mData = nullptr;

  ISysEx() = default;
  ISysEx(int offset, const uint8_t* data, int size) : mOffset(offset), mSize(size), mData(data) {}
  // Offset and size 0, data null.
  void Clear();
  // Tracing is off in this system: does nothing.
  void LogMsg() {}
};

// Writes the first min(size, maxLen / 3) bytes as upper-case hex pairs
// separated by single spaces ("F0 7E") into buf of maxLen bytes. Writes ""
// when data is null or size <= 0. Returns buf; does nothing (returns buf)
// when buf is null or maxLen < 1.
char* SysExStr(char* buf, int maxLen, const uint8_t* data, int size);

// Host musical time, filled by the adapter's GetTime. Fields the host does
// not report keep these defaults.
struct ITimeInfo
{
  double mTempo = 120.0;        // beats per minute
  double mSamplePos = -1.0;     // samples since the timeline start
  double mPPQPos = -1.0;        // position in quarter notes
  double mLastBar = -1.0;       // start of the current bar in quarter notes
  double mCycleStart = -1.0;    // loop start in quarter notes
  double mCycleEnd = -1.0;      // loop end in quarter notes
  int mNumerator = 4;           // time signature
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

// Standard Base64 (A-Z a-z 0-9 + /). Encodes n bytes into out (at most
// outSize bytes including the NUL), padded with '=' to a multiple of four
// characters. Returns the text length, or -1 (out set to "" when possible)
// when out is too small or an argument is invalid.
int Base64Encode(const uint8_t* data, int n, char* out, int outSize);
// Decodes text into exactly outSize bytes of out: out starts zero-filled and
// decoding stops at the first character outside the alphabet (such as '=' or
// the end) or when outSize bytes were written. Returns the number of bytes
// decoded (missing bytes stay 0), or -1 when out is null or outSize < 0.
int Base64Decode(const char* text, uint8_t* out, int outSize);

// ---------------------------------------------------------------------------
// Editor value types

// Colour with channels 0-255, in the order A, R, G, B.
struct IColor
{
  int A = 0, R = 0, G = 0, B = 0;

  // Transparent black by default; channels 0-255.
  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  // Equal when all four channels are.
  bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  bool operator!=(const IColor& o) const { return !(*this == o); }
  // True when all four channels are 0.
  bool Empty() const { return A == 0 && R == 0 && G == 0 && B == 0; }
  // Packed raster pixel: A in bits 0-7, R 8-15, G 16-23, B 24-31; each
  // channel is clamped into 0..255 first.
  uint32_t ToPixel() const;
};

extern const IColor COLOR_TRANSPARENT;
extern const IColor COLOR_BLACK;
extern const IColor COLOR_GRAY;
extern const IColor COLOR_WHITE;
extern const IColor COLOR_RED;
extern const IColor COLOR_GREEN;
extern const IColor COLOR_BLUE;
extern const IColor COLOR_YELLOW;
extern const IColor COLOR_ORANGE;
extern const IColor DEFAULT_TEXT_COLOR;
extern const IColor DEFAULT_TEXT_ENTRY_BGCOLOR;
extern const IColor DEFAULT_TEXT_ENTRY_FGCOLOR;

// How a bitmap or shape is combined with what is already drawn.
struct IChannelBlend
{
  enum EBlendMethod
  {
    kBlendNone = 0,     // alpha-blended copy
    kBlendClobber = 1,  // opaque copy
    kBlendAdd = 2,
    kBlendColorDodge = 3
  };
  EBlendMethod mMethod = kBlendNone;
  float mWeight = 1.0f;

  IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

constexpr int DEFAULT_TEXT_SIZE = 10;
#define DEFAULT_FONT "Monaco"

// Text style. The face is cut to 31 characters.
struct IText
{
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum EQuality { kQualityDefault = 0, kQualityNonAntiAliased = 1, kQualityAntiAliased = 2, kQualityClearType = 3 };

  char mFont[MAX_PARAM_NAME_LEN];
  int mSize;
  IColor mColor;
  IColor mTextEntryBGColor;
  IColor mTextEntryFGColor;
  EStyle mStyle;
  EAlign mAlign;
  int mOrientation; // degrees
  EQuality mQuality;
  LICE_IFont* mCached = nullptr; // font cache entry, not owned

  // font null means DEFAULT_FONT.
  IText(int size = DEFAULT_TEXT_SIZE, const IColor* pColor = nullptr, const char* font = nullptr,
        EStyle style = kStyleNormal, EAlign align = kAlignCenter, int orientation = 0,
        EQuality quality = kQualityDefault, const IColor* pTEBGColor = nullptr,
        const IColor* pTEFGColor = nullptr);
  explicit IText(const IColor* pColor);
};

// Integer rectangle; right and bottom are exclusive.
struct IRECT
{
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}
  // The area one frame of pBitmap covers at (x, y): (x, y, x + W, y + H / N);
  // a null bitmap gives an empty rectangle at (x, y), N below 1 counts as 1.
  IRECT(int x, int y, const struct IBitmap* pBitmap);

  // True when all four are 0.
  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  // All four become 0.
  void Clear() { L = T = R = B = 0; }
  // Equal when all four sides are.
  bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  bool operator!=(const IRECT& o) const { return !(*this == o); }

  // Width and height in pixels; horizontal and vertical middle.
  int W() const { return R - L; }
  int H() const { return B - T; }
  float MW() const { return 0.5f * (float)(L + R); }
  float MH() const { return 0.5f * (float)(T + B); }

  // L <= x < R and T <= y < B, and the rectangle is not empty.
  bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // True when pRHS (not null, not empty) lies wholly inside.
  bool Contains(const IRECT* pRHS) const;
  // True when the two overlap.
  bool Intersects(const IRECT* pRHS) const;
  // The other one when one is empty, else the bounding box.
  IRECT Union(const IRECT* pRHS) const;
  // (max L, max T, min R, min B) when they overlap, else all zero.
  IRECT Intersect(const IRECT* pRHS) const;
  // Moved by dx, dy.
  IRECT GetShifted(int dx, int dy) const { return IRECT(L + dx, T + dy, R + dx, B + dy); }
  // Grown by padding on all four sides (negative shrinks).
  IRECT GetPadded(int padding) const { return IRECT(L - padding, T - padding, R + padding, B + padding); }
};

// Handle of a skin image. Frames are numbered from 1. The pixels belong to
// the editor's process-wide bitmap cache; copying the handle is a plain copy.
struct IBitmap
{
  LICE_IBitmap* mData = nullptr;
  int W = 0, H = 0; // size of the whole image (all frames)
  int N = 1;        // number of frames
  bool mFramesAreHorizontal = false;

  IBitmap() = default;
  IBitmap(LICE_IBitmap* pData, int w, int h, int n = 1, bool framesAreHorizontal = false)
    : mData(pData), W(w), H(h), N(n), mFramesAreHorizontal(framesAreHorizontal) {}
  // Width of one frame (W / N when frames are horizontal), 0 for N < 1.
  int frameWidth() const;
  // Height of one frame (H / N when frames are stacked), 0 for N < 1.
  int frameHeight() const;
};

// Mouse buttons and modifier keys: left, right (or Command), Shift,
// Control, Option.
struct IMouseMod
{
  bool L, R, S, C, A;
  IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false, bool a = false)
    : L(l), R(r), S(s), C(c), A(a) {}
};

enum EDirection { kVertical = 0, kHorizontal = 1 };
enum EAlignment { kAlignTopLeft = 0, kAlignCentred = 1 };
