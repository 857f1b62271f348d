// IGraphics: the editor's graphics context.
//
// One instance per editor. It owns the ordered list of controls (index 0 is the
// background; later controls draw over earlier ones and win hit tests), the key
// catcher, the back buffer every control draws into and the scratch bitmap of
// DrawRotatedMask. It loads skin bitmaps through a process-wide cache, carries
// parameter values between the plug-in and the controls, decides on each timer
// tick which controls must be drawn again, and routes mouse and key events.
//
// It is abstract: a platform layer derives from it and supplies the window, the
// copy of the back buffer to the screen, popup menus, text entry and paths
// (IGraphicsHeadless is the one without a window).
//
// Threads: everything runs on the user-interface thread and takes no lock,
// except the bitmap cache, which has its own recursive mutex.
//
// Usage:
//   IGraphicsHeadless* g = new IGraphicsHeadless(plug, 300, 200, 30);
//   g->AttachPanelBackground(&COLOR_BLACK);
//   IBitmap knob = g->LoadIBitmap(101, "resources/img/knob.png", 60);
//   g->AttachControl(new IKnobMultiControl(plug, 10, 10, kGain, &knob));
//   plug->AttachGraphics(g);   // pushes the values, creates the back buffer
//   IRECT r; if (g->IsDirty(&r)) g->Draw(&r);
#pragma once

#include "editor/IControl.h"
#include "framework/Containers.h"
#include "framework/IPlugEditor.h"
#include "framework/IPlugStructs.h"
#include "raster/Raster.h"

class IPlugBase;
class IParam;
class IPopupMenu;

// Platform-independent key codes passed to OnKeyDown.
enum EIPlugKeyCodes
{
  KEY_SPACE = 0,
  KEY_UPARROW = 1,
  KEY_DOWNARROW = 2,
  KEY_LEFTARROW = 3,
  KEY_RIGHTARROW = 4,
  KEY_DIGIT_0 = 5,   // digits 0..9 are 5..14
  KEY_ALPHA_A = 15,  // letters A..Z (either case) are 15..40
};

enum EFileAction
{
  kFileOpen = 0,
  kFileSave = 1
};

// Packs a colour into a raster pixel (alpha in bits 0-7, red 8-15, green 16-23,
// blue 24-31); channels outside 0..255 are clamped (IColor::ToPixel).
LICE_PackedPixel IColorToPixel(const IColor& color);
// Unpacks a raster pixel into a colour.
IColor PixelToIColor(LICE_PackedPixel pixel);
// The raster weight and combine mode for a blend; null means an alpha-blended copy at 1.0.
void BlendToLice(const IChannelBlend* blend, float* weight, int* mode);

// Process-wide store of the bitmaps the editors load or make. Owns the bitmaps.
class BitmapStorage
{
public:
  BitmapStorage() = default;
  BitmapStorage(const BitmapStorage&) = delete;
  BitmapStorage& operator=(const BitmapStorage&) = delete;
  // Deletes every bitmap it holds.
  ~BitmapStorage();

  // The first bitmap stored under `id`, or null. Any thread.
  LICE_IBitmap* Find(int id);
  // Stores `bitmap` under `id` (-1 for made bitmaps); the storage takes ownership.
  // A null bitmap is ignored. Duplicates are not checked. Any thread.
  void Add(LICE_IBitmap* bitmap, int id = -1);
  // Removes the first record holding `bitmap` and deletes the bitmap; a bitmap
  // that is not stored is left alone. Any thread.
  void Remove(LICE_IBitmap* bitmap);
  // Number of records (for diagnostics and tests).
  int Count();

private:
  struct Record
  {
    int id;
    LICE_IBitmap* bitmap;
  };
  WDL_PtrList<Record> mRecords;
  WDL_Mutex mMutex;
};

// Process-wide store of the fonts every editor draws text with, keyed by size,
// orientation, style and face name (colour, quality and alignment are not part
// of the key). Owns the fonts; they live until the process ends.
class FontStorage
{
public:
  FontStorage() = default;
  FontStorage(const FontStorage&) = delete;
  FontStorage& operator=(const FontStorage&) = delete;
  // Deletes every font it holds.
  ~FontStorage();

  // The font of the first record matching the text's key, or null. Any thread.
  LICE_CachedFont* Find(IText* text);
  // Stores `font` (a LICE_CachedFont; the storage takes ownership) under the
  // text's key. Null arguments are ignored. Any thread.
  void Add(LICE_IFont* font, IText* text);
  // Number of records (for diagnostics and tests).
  int Count();
  // The storage's recursive mutex, held by IGraphics::CacheFont across the
  // look-up, the creation and the insertion of a font.
  WDL_Mutex* Mutex() { return &mMutex; }

private:
  struct Record
  {
    int size, orientation, style;
    char face[32];
    LICE_CachedFont* font;
  };
  WDL_PtrList<Record> mRecords;
  WDL_Mutex mMutex;
};

class IGraphics : public IPlugEditor
{
public:
  // `width` x `height` in pixels; a frame rate <= 0 becomes 25.
  IGraphics(IPlugBase* plug, int width, int height, int fps = 0);

  // ---- Platform operations, in virtual slot order ----
  // Copies the area `r` of the back buffer to the window; false on failure.
  virtual bool DrawScreen(IRECT* r) = 0;
  // Measures `str` in the style `text`, widening `r`; false when no font is available.
  virtual bool MeasureIText(IText* text, char* str, IRECT* r);
  // Ends an open text entry.
  virtual void ForceEndUserEdit() = 0;
  // New editor size in pixels (> 0); resizes the surfaces and tells the plug-in.
  virtual void Resize(int w, int h);
  // True when GetWindow() is not null.
  virtual bool WindowIsOpen();
  // Name of the windowing interface; "" in the core.
  virtual const char* GetGUIAPI();
  // Returns the button pressed, or 0 on failure.
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // Shows `menu` over `area`; returns the chosen menu (with its chosen index set) or null.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* area) = 0;
  // Opens a text field over `area` with `initial` text; the answer arrives later
  // through SetFromStringAfterPrompt (with `param`) or control->TextFromTextEntry.
  virtual void CreateTextEntry(IControl* control, IText* text, IRECT* area, const char* initial,
                               IParam* param) = 0;
  // Folders of the host application, the plug-in module, the desktop and the
  // per-user (or system) application data; a null `path` is ignored.
  virtual void HostPath(WDL_String* path) = 0;
  virtual void PluginPath(WDL_String* path) = 0;
  virtual void DesktopPath(WDL_String* path) = 0;
  virtual void AppSupportPath(WDL_String* path, bool isSystem = false) = 0;
  virtual void SandboxSafeAppSupportPath(WDL_String* path) = 0;
  // Fills `file` (empty on cancel) and `dir`.
  virtual void PromptForFile(WDL_String* file, EFileAction action = kFileOpen, WDL_String* dir = 0,
                             char* extensions = 0) = 0;
  // Lets the user pick a colour into `color`; false when cancelled or unavailable.
  virtual bool PromptForColor(IColor* color, char* prompt = 0) = 0;
  // Opens `url` in the browser; false on failure.
  virtual bool OpenURL(const char* url, const char* windowTitle = 0, const char* confirmText = 0,
                       const char* errorText = 0) = 0;
  // Returns the platform view, or null on failure.
  virtual void* OpenWindow(void* parent) = 0;
  // Base: returns null (no child-window variant).
  virtual void* OpenWindow(void* parent, void* parentControl, short leftOffset = 0, short topOffset = 0);
  // Base: do nothing.
  virtual void AttachSubWindow(void* parent);
  virtual void RemoveSubWindow();
  // Closes the platform view and stops its timer.
  virtual void CloseWindow() = 0;
  // The platform view, or null while closed.
  virtual void* GetWindow() = 0;
  // False when the clipboard holds no text.
  virtual bool GetTextFromClipboard(WDL_String* text) = 0;
  // Deletes the key catcher, the controls (last first) and the surfaces; bitmaps stay cached.
  virtual ~IGraphics();
  // Base: do nothing.
  virtual void HideMouseCursor();
  virtual void ShowMouseCursor();
  // Applies the tooltip texts of the controls to the platform view.
  virtual void UpdateTooltips() = 0;

  // ---- Construction and surfaces ----
  // Creates the back buffer (width x height) and an empty scratch bitmap. Called by AttachGraphics.
  void PrepDraw() override;
  // Pixel memory of the back buffer, or null before PrepDraw.
  LICE_PackedPixel* GetBits();
  // The back buffer, or null before PrepDraw.
  LICE_IBitmap* GetDrawBitmap() const { return mDrawBitmap; }
  // Editor size in pixels and redraw timer rate in frames per second.
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  // The plug-in this editor belongs to (not owned).
  IPlugBase* GetPlug() const { return mPlug; }

  // ---- Controls ----
  // Takes ownership; returns the new index, or -1 for a null control.
  int AttachControl(IControl* control);
  // Takes ownership of the control that receives keys nothing under the mouse takes.
  void AttachKeyCatcher(IControl* control);
  // Loads the image `id` as an opaque bitmap control at (0, 0) and inserts it at index 0.
  void AttachBackground(int id, const char* name);
  // Inserts a panel of `color` covering the editor at index 0; null colour does nothing.
  void AttachPanelBackground(const IColor* color);
  // Control at `idx`, or null.
  IControl* GetControl(int idx) const { return mControls.Get(idx); }
  // Number of attached controls.
  int GetNControls() const { return mControls.GetSize(); }
  // The key catcher, or null.
  IControl* GetKeyCatcher() const { return mKeyCatcher; }

  // ---- Bitmaps (process-wide cache) ----
  // The image with resource id `id`, loaded once per process (the name is used
  // only on the first load). An image that cannot be loaded is reported on
  // stderr and replaced by an empty bitmap. `nStates` frames (at least 1).
  IBitmap LoadIBitmap(int id, const char* name, int nStates = 1, bool framesAreHorizontal = false);
  // A bilinear-scaled copy of `src` (dest sizes > 0); an empty IBitmap on bad input.
  IBitmap ScaleBitmap(IBitmap* src, int destW, int destH);
  // A copy of the area `r` of `src`; an empty IBitmap on bad input.
  IBitmap CropBitmap(IBitmap* src, IRECT* r);
  // Hands a bitmap made elsewhere to the cache, which frees it at exit.
  void RetainBitmap(IBitmap* bitmap);
  // Removes the bitmap from the cache and frees its pixels now.
  void ReleaseBitmap(IBitmap* bitmap);
  // The process-wide bitmap cache, made on first use.
  static BitmapStorage& BitmapCache();

  // ---- Parameter and control state ----
  // A value from the plug-in: plain when `normalized` is false. Plug-in mutex held
  // when called from AttachGraphics.
  void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
  // Passes a normalized value to one control; ignores a bad index.
  void SetControlFromPlug(int controlIdx, double normalizedValue);
  // Sets every control bound to `paramIdx` as from a user gesture.
  void SetParameterFromGUI(int paramIdx, double normalizedValue);
  // Limits the controls bound to `paramIdx` to [lo, hi] (plain values when not normalized).
  void ClampControl(int paramIdx, double lo, double hi, bool normalized);
  // Hides or shows the controls bound to `paramIdx` (each is redrawn twice).
  void HideControl(int paramIdx, bool hide);
  // Grays the controls bound to `paramIdx` (drawn at weight 0.25, not clickable).
  void GrayOutControl(int paramIdx, bool gray);
  // Marks every control dirty without reporting values to the plug-in.
  void SetAllControlsDirty();
  // Strict passes (the default) redraw every visible control on each pass with a
  // dirty control; non-strict ones only the dirty controls and their neighbours.
  // Marks every control dirty.
  void SetStrictDrawing(bool strict);
  // Whether passes are strict.
  bool GetStrictDrawing() const { return mStrict; }
  // Tooltips of bound controls become their parameters' names.
  void AssignParamNameToolTips();
  // Whether the platform shows tooltips (off by default).
  void EnableTooltips(bool enable) { mEnableTooltips = enable; }
  bool TooltipsEnabled() const { return mEnableTooltips; }

  // ---- Redraw cycle ----
  // Grows `*r` by the rectangle of every dirty control; true when any was dirty.
  // Leaves `*r` alone when nothing is dirty; a null `r` returns false.
  bool IsDirty(IRECT* r);
  // Redraws the dirty controls into the back buffer (strict or not), then
  // DrawScreen(r). With no controls returns true without drawing.
  bool Draw(IRECT* r);
  // Calls OnGUIIdle on every control, for platforms with an idle hook.
  void OnGUIIdle();
  // The area the current pass redraws; bitmap drawing is clipped to it.
  IRECT GetDrawRECT() const { return mDrawRECT; }

  // ---- Drawing API (draws into the back buffer; all return true) ----
  // Copies from (srcX, srcY) of the bitmap into `dest`, clipped to the draw rectangle.
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend = 0);
  // Draws frame `frame` (1-based) of a multi-frame bitmap into `dest`.
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame = 1, const IChannelBlend* blend = 0);
  // Draws the bitmap centred at (destCtrX, destCtrY), rotated by `angle` radians clockwise.
  bool DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                         const IChannelBlend* blend = 0);
  // Draws `base` cut out by `mask` rotated by `angle` degrees, with `top` rotated over it, at (x, y).
  bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                       const IChannelBlend* blend = 0);
  // One pixel at (x, y) rounded to the nearest pixel; `antiAlias` is ignored.
  bool DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend = 0, bool antiAlias = false);
  // Writes the colour at (x, y) unblended; points outside the back buffer are ignored.
  bool ForcePixel(const IColor* color, int x, int y);
  // The back buffer's colour at (x, y); transparent black outside it.
  IColor GetPoint(int x, int y);
  // A line between the truncated end points, ends included.
  bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend = 0,
                bool antiAlias = false);
  // A line along `angle` radians (0 up, clockwise) from radius rMin to rMax around (cx, cy).
  bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                      const IChannelBlend* blend = 0, bool antiAlias = false);
  // Lines in one colour written unblended (source alpha ignored), ends included.
  bool DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi);
  bool DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi);
  // A vertical line at fraction x (0..1) of r's width, from r.T to r.B.
  bool DrawVerticalLine(const IColor* color, IRECT* r, float x);
  // A horizontal line at fraction y (0..1) of r's height counted from the bottom.
  bool DrawHorizontalLine(const IColor* color, IRECT* r, float y);
  // The outline of r, including columns R and rows B.
  bool DrawRect(const IColor* color, IRECT* r);
  // Fills r (not clipped to the draw rectangle).
  bool FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend = 0);
  // ---- Shapes (back buffer pixels; clipped to the back buffer only, not to
  // the draw rectangle; colour and blend as for the other primitives; all
  // return true; null colours or rectangles draw nothing) ----
  // The circle outline between angles minAngle and maxAngle (radians, 0 up, clockwise).
  bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
               const IChannelBlend* blend = 0, bool antiAlias = false);
  // A circle outline of radius r around (cx, cy).
  bool DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = 0,
                  bool antiAlias = false);
  // The outline of r with corners of cornerRadius pixels.
  bool RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool antiAlias);
  // Fills r with corners of cornerRadius pixels: three rectangles and four
  // corner circles, each blended on its own (overlaps of a translucent colour
  // come out darker).
  bool FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool antiAlias);
  // A filled circle of radius r around (cx, cy).
  bool FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend = 0,
                  bool antiAlias = false);
  // A filled triangle.
  bool FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3, IChannelBlend* blend);
  // A filled convex polygon of npoints points; fewer than 3 draw nothing.
  bool FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints, const IChannelBlend* blend = 0);

  // Draws `str` (UTF-8) in the style `text` at the top of `r`, aligned
  // horizontally by the style, not clipped to `r`. With `measure` nothing is
  // drawn and `r` becomes the text's box: its width placed by the alignment,
  // its height below r->T. A null or empty string does nothing and returns
  // true; false when no font can be made for the style (the next call retries).
  bool DrawIText(IText* text, char* str, IRECT* r, bool measure = false);
  // The cached font for the style, made on first use and stored in
  // text->mCached; null (nothing cached) when the platform cannot make it.
  // Any thread: one font per key even under concurrent first use.
  static LICE_CachedFont* CacheFont(IText* text);
  // The process-wide font cache, made on first use.
  static FontStorage& FontCache();

  // ---- Input dispatch (positions in editor pixels; called by the platform layer) ----
  // Captures the control under the mouse and begins a gesture on its parameter.
  void OnMouseDown(int x, int y, IMouseMod* mod);
  // Releases the capture; the captured (or hit) control gets the release and the gesture ends.
  void OnMouseUp(int x, int y, IMouseMod* mod);
  // Passes movement to the captured control; ignored without capture or movement.
  void OnMouseDrag(int x, int y, IMouseMod* mod);
  // True when the double click was delivered as a press.
  bool OnMouseDblClick(int x, int y, IMouseMod* mod);
  // `d` wheel steps to the captured or hit control.
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  // Returns the handle-mouse-over flag.
  bool OnMouseOver(int x, int y, IMouseMod* mod);
  // The pointer left the editor: every control gets OnMouseOut.
  void OnMouseOut();
  // True when a control consumed the key.
  bool OnKeyDown(int x, int y, int key);
  // Capture and stored mouse position become -1.
  void ReleaseMouseCapture();
  // The captured control, else the topmost visible, hittable control at (x, y), else -1.
  int GetMouseControlIdx(int x, int y, bool mouseOver = false);
  // Parameter of the control at (x, y), -1 for none or the background; remembered.
  int GetParamIdxForPTAutomation(int x, int y);
  // The last result of GetParamIdxForPTAutomation; resets it to -1.
  int GetLastClickedParamForPTAutomation();
  // Whether mouse-over events are dispatched (off by default).
  void HandleMouseOver(bool canHandle) { mHandleMouseOver = canHandle; }
  bool CanHandleMouseOver() const { return mHandleMouseOver; }
  // Captured and mouse-over control indices (-1 for none); last press or drag position.
  int GetMouseCapture() const { return mMouseCapture; }
  int GetMouseOver() const { return mMouseOver; }
  int GetMouseX() const { return mMouseX; }
  int GetMouseY() const { return mMouseY; }
  // Menu for enumerations and booleans with texts, text entry otherwise. Null arguments do nothing.
  void PromptUserInput(IControl* control, IParam* param, IRECT* r);
  // Turns typed text into a value of `param` and sets it on `control`. Null arguments do nothing.
  void SetFromStringAfterPrompt(IControl* control, IParam* param, char* text);

protected:
  // Loads one skin image; returns a new bitmap (ownership passes to the caller) or null.
  virtual LICE_IBitmap* OSLoadBitmap(int id, const char* name) = 0;

  // Inserts a control at index 0, below all others.
  void InsertBackground(IControl* control);
  // Calls f(control) for every control bound to `paramIdx`, in index order.
  template <class F>
  void ForEachControlOf(int paramIdx, F f)
  {
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
      IControl* control = mControls.Get(i);
      if (control->ParamIdx() == paramIdx) f(control);
    }
  }

  WDL_PtrList<IControl> mControls;
  IPlugBase* mPlug;
  IRECT mDrawRECT;
  bool mCursorHidden = false;
  int mHiddenCursorX = -1, mHiddenCursorY = -1;
  LICE_SysBitmap* mDrawBitmap = nullptr;
  LICE_MemBitmap* mTmpBitmap = nullptr;
  int mWidth, mHeight, mFPS;
  int mMouseCapture = -1, mMouseOver = -1, mMouseX = 0, mMouseY = 0, mLastClickedParam = -1;
  bool mHandleMouseOver = false, mStrict = true, mEnableTooltips = false;
  IControl* mKeyCatcher = nullptr;
};
