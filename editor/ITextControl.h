// Controls that show text rather than a bitmap frame, or act on something
// outside the editor:
//   ITextControl          a string in an IText style; what IControl::SetDirty
//                         expects as a value display or name display control
//   ICaptionControl       its parameter's current display text (and label)
//   IURLControl           opens a web address when pressed
//   IFileSelectorControl  runs the platform's file dialog when pressed
//   IBitmapTextControl    a string drawn with a bitmap font (DrawBitmapedText)
// All run on the user-interface thread.
#pragma once

#include "editor/IControl.h"
#include "editor/IGraphics.h"

class ITextControl : public IControl
{
public:
  // Copies the whole `text` style (null keeps the default style) and `str` (null: empty).
  ITextControl(IPlugBase* plug, IRECT rect, IText* text, const char* str = "");

  // Replaces the text and marks the control dirty when it differs byte for byte.
  void SetTextFromPlug(const char* str);
  // Replaces the text without marking anything dirty.
  void SetTextString(const char* str) { mStr.Set(str); }
  // The current text; never null.
  const char* GetTextForPlug() const { return mStr.Get(); }

  // Draws the text with IGraphics::DrawIText when it is not empty; returns true.
  bool Draw(IGraphics* graphics) override;

protected:
  WDL_String mStr;
};

class ICaptionControl : public ITextControl
{
public:
  // Shows parameter `paramIdx`'s display text in the style `text`, followed by
  // a space and its label when `showParamLabel`. Prompts stay disabled until
  // the owner enables them.
  ICaptionControl(IPlugBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel);

  // A press with L or R, or a double click, prompts for a value (when enabled).
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  // Rebuilds the text from the parameter's current value, then draws it.
  bool Draw(IGraphics* graphics) override;

protected:
  bool mShowParamLabel;
};

class IURLControl : public IControl
{
public:
  // Texts longer than their arrays (255, 255 and 1023 characters) are cut;
  // null or empty ones leave their array empty.
  IURLControl(IPlugBase* plug, IRECT rect, const char* url, const char* backupURL = 0,
              const char* errMsgOnFailure = 0);

  // Opens the URL through the graphics object; when that fails or the URL is
  // empty, the backup URL.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  // Draws nothing; returns true.
  bool Draw(IGraphics*) override { return true; }

  const char* GetURL() const { return mURL; }
  const char* GetBackupURL() const { return mBackupURL; }
  const char* GetErrorMessage() const { return mErrMsg; }

protected:
  char mURL[256], mBackupURL[256], mErrMsg[1024];
};

class IFileSelectorControl : public IControl
{
public:
  enum EFileSelectorState { kFSNone = 0, kFSSelecting = 1, kFSDone = 2 };

  // `bitmap` is shown while the dialog is open; `dir` and `extensions`
  // (space-separated, e.g. "wav aif") are handed to the dialog.
  IFileSelectorControl(IPlugBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap,
                       EFileAction action = kFileOpen, const char* dir = "", const char* extensions = "");

  // Runs the platform's file dialog (only with an attached editor); the value
  // then toggles between 0 and 1 so the plug-in sees a change.
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  // While the dialog is open, the bitmap's top-left part; otherwise nothing.
  bool Draw(IGraphics* graphics) override;
  // Dirty as usual, and once more after a selection finished.
  bool IsDirty() override;

  // The chosen file's path ("" before any or after a cancel).
  void GetLastSelectedFileForPlug(WDL_String* out) const;
  void SetLastSelectedFileFromPlug(const char* file);
  EFileSelectorState GetState() const { return mState; }

protected:
  IBitmap mBitmap;
  WDL_String mDir, mFile, mExtensions;
  EFileAction mFileAction;
  EFileSelectorState mState = kFSNone;
};

// Draws `str` with a bitmap font (one frame per character, frame 1 is the
// space, code 32) into `r`: aligned by text->mAlign, vertically centred with
// `vCenter`, broken into lines of the rectangle's width with `multiline`
// (else cut at it). Characters are charWidth by charHeight, charOffset apart.
// Null arguments or an empty string draw nothing.
void DrawBitmapedText(IGraphics* g, IBitmap* fontBitmap, IRECT* r, IText* text, IChannelBlend* blend,
                      const char* str, bool vCenter, bool multiline, int charWidth, int charHeight,
                      int charOffset);

class IBitmapTextControl : public IControl
{
public:
  // `fontBitmap`: the font, one frame per character from the space on.
  IBitmapTextControl(IPlugBase* plug, IRECT rect, IBitmap* fontBitmap, const char* str = "", IText* text = 0,
                     int charWidth = 6, int charHeight = 12, int charOffset = 0, bool multiLine = false,
                     bool vCenter = true);

  // Replaces the text and marks the control dirty when it differs byte for byte.
  void SetTextFromPlug(const char* str);
  const char* GetTextForPlug() const { return mStr.Get(); }
  // DrawBitmapedText of the text when it is not empty; returns true.
  bool Draw(IGraphics* graphics) override;

protected:
  WDL_String mStr;
  int mCharWidth, mCharHeight, mCharOffset;
  IBitmap mFontBitmap;
  bool mMultiLine, mVCentre;
};
