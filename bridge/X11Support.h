// Pieces of the X11 view that need no window of their own to be checked:
// the copy of editor pixels into an X image (MIT-SHM when the server allows
// it, else XPutImage), the rules that map keys, scale and typed text, and the
// editing of a text field's contents.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <string>

#include "framework/IPlugStructs.h"
#include "raster/Raster.h"

// An image the size of one window, for presenting raster bitmaps in it.
class X11Presenter
{
public:
  X11Presenter() = default;
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;
  ~X11Presenter() { Release(); }

  // Makes the image for a window of w x h device pixels on `visual`; tries
  // shared memory first unless QUILL_X11_NO_SHM is set. False when no image
  // can be made at all. Releases an earlier image first.
  bool Init(Display* dpy, Visual* visual, int depth, int w, int h);
  // Converts the area `r` (source pixels) of `src` into the image, each pixel
  // as a scale x scale block, and puts it into `win` at (dx + r.L * scale,
  // dy + r.T * scale). Waits for the server to have read shared memory.
  void Put(Window win, GC gc, LICE_IBitmap* src, IRECT r, int scale, int dx, int dy);
  // Frees the image and detaches shared memory (without telling the server
  // when `connectionLost`). Safe to call twice.
  void Release(bool connectionLost = false);
  // Whether the image lives in shared memory.
  bool Shared() const { return mShared; }

private:
  void Convert(LICE_IBitmap* src, IRECT r, int scale);

  Display* mDpy = nullptr;
  XImage* mImage = nullptr;
  XShmSegmentInfo mShm = {};
  bool mShared = false;
  bool mFastPath = false;  // 32-bit pixels 0x00RRGGBB in host order
};

// Device pixels per editor pixel: QUILL_UI_SCALE ("1" or "2") when set to one
// of those, else 2 when the resource string holds Xft.dpi >= 192, else 1.
int X11ScaleFor(const char* envScale, const char* resources);

// The editor key code of a key: space and arrows by key symbol, digits and
// letters (either case) by the one character the key types with modifiers
// other than Shift ignored; -1 for any other key.
int X11KeyCode(unsigned long keysym, const std::string& unmodifiedText);

// Whether a text field may hold `text` (UTF-8): every byte in `allowed` (null:
// any) and no more than maxLength characters (<= 0: any length).
bool TextFieldAccepts(const char* allowed, int maxLength, const std::string& text);

// The UTF-8 text a key types: the key symbol's character for Latin-1 and
// Unicode key symbols, the looked-up ASCII character otherwise; "" for
// control characters, keys that type nothing and any key with Control held.
// `lookedUp` is what XLookupString gave, whose encoding depends on the locale.
std::string X11TypedText(unsigned long keysym, const std::string& lookedUp, bool control);

// The text of a one-line field with its caret and selection, as byte offsets
// into the UTF-8 text that always fall between characters. The selection runs
// between the anchor and the caret; it is empty when they meet.
class TextFieldEdit
{
public:
  // New text, the caret at its end; all of it selected when `selectAll`.
  void Reset(const std::string& text, bool selectAll);
  const std::string& Text() const { return mText; }
  size_t Caret() const { return mCaret; }
  size_t SelectionStart() const { return mCaret < mAnchor ? mCaret : mAnchor; }
  size_t SelectionEnd() const { return mCaret < mAnchor ? mAnchor : mCaret; }
  bool HasSelection() const { return mCaret != mAnchor; }

  // Left/Right: the caret one character over or, with `word` (Ctrl), to the
  // start of the word before it / the end of the word after it. Home/End: to
  // the start / end. With `extend` (Shift) the selection grows or shrinks
  // with it; without, a selection first collapses to the edge in the
  // direction of travel (word moves start from the caret instead). Words are
  // runs of letters, digits, '_' and non-ASCII characters; a '.' or ','
  // between digits belongs to the number.
  void Left(bool extend, bool word = false);
  void Right(bool extend, bool word = false);
  void Home(bool extend);
  void End(bool extend);
  void SelectAll();
  // The caret to the character boundary at or before byte `offset`.
  void PlaceCaret(size_t offset, bool extend);
  // Erase the selection, else the character (with `word`: up to the word
  // boundary Left/Right would move to) before (Backspace) or after (Delete)
  // the caret; nothing at the respective end.
  void Backspace(bool word = false);
  void Delete(bool word = false);
  // Puts `typed` in place of the selection, or at the caret, when the result
  // passes TextFieldAccepts(allowed, maxLength); false and unchanged otherwise.
  bool Insert(const std::string& typed, const char* allowed, int maxLength);
  // Puts the characters of `pasted` the field may hold in place of the
  // selection, or at the caret: control characters, malformed UTF-8 and
  // characters with a byte outside `allowed` (null: any) are left out, and
  // the rest is cut to what fits in maxLength characters (<= 0: any). False
  // and unchanged when none of it goes in.
  bool Paste(const std::string& pasted, const char* allowed, int maxLength);
  // The selected part of the text ("" without a selection).
  std::string SelectedText() const { return mText.substr(SelectionStart(), SelectionEnd() - SelectionStart()); }

private:
  void Erase(size_t from, size_t to);
  size_t Prev(size_t i) const;
  size_t Next(size_t i) const;
  bool InWord(size_t i) const;
  size_t PrevWord(size_t i) const;
  size_t NextWord(size_t i) const;

  std::string mText;
  size_t mCaret = 0, mAnchor = 0;
};
