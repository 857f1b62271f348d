// IGraphicsHeadless: a complete IGraphics without a window.
//
// It serves tests and off-screen rendering (snapshots of the editor). Window
// operations do nothing or report failure, as a window bridge without a view
// would. Popup menus and text entries take answers that the caller queues
// beforehand, so prompts can be exercised end to end:
//
//   g->QueueMenuChoice(2);            // the next menu picks item 2
//   g->QueueTextEntry("440");         // the next text entry is answered "440"
//
// A text entry opened with nothing queued stays open until CommitTextEntry()
// or ForceEndUserEdit().
//
// Skin images are PNG files found by the last path component of their name in
// the resource folder set with SetResourceFolder() (per editor), else among
// the resources of the bundle with the editor's bundle identifier
// (SetBundleID), else in the folder set with SetDefaultResourceFolder()
// (process-wide), else in "resources" and then "resources/img" beside the
// running module.
//
// OpenWindow makes an off-screen view: a host that asks the platform for its
// picture (QuillDrawOffscreenView) gets the whole editor drawn as a first
// paint would, without holding the plug-in or the editor object.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"

class IGraphicsHeadless : public IGraphics
{
public:
  // As IGraphics: `width` x `height` pixels, frame rate <= 0 becomes 25.
  IGraphicsHeadless(IPlugBase* plug, int width, int height, int fps = 0);
  ~IGraphicsHeadless() override;

  // Counts the call and records `r`; always succeeds.
  bool DrawScreen(IRECT* r) override;
  // Closes an open text entry without delivering its text.
  void ForceEndUserEdit() override;
  // Returns "Headless".
  const char* GetGUIAPI() override;
  // Records the text; returns the queued answer (QueueMessageBoxAnswer), else 0.
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  // Records the items as shown and answers with the next queued choice: returns
  // `menu` with its chosen index set, or null when nothing is queued, the choice
  // is -1 (cancel), outside the menu, disabled or a separator.
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* area) override;
  // Opens an entry; answers it at once when a text is queued.
  void CreateTextEntry(IControl* control, IText* text, IRECT* area, const char* initial, IParam* param) override;
  // Directory of the running executable.
  void HostPath(WDL_String* path) override;
  // Directory of the module holding this code.
  void PluginPath(WDL_String* path) override;
  // $HOME/Desktop ("" without HOME).
  void DesktopPath(WDL_String* path) override;
  // $XDG_DATA_HOME, else $HOME/.local/share ("" without either).
  void AppSupportPath(WDL_String* path, bool isSystem = false) override;
  void SandboxSafeAppSupportPath(WDL_String* path) override;
  // No dialog without a window: `file` becomes empty (cancelled).
  void PromptForFile(WDL_String* file, EFileAction action = kFileOpen, WDL_String* dir = 0,
                     char* extensions = 0) override;
  // No dialog or browser without a window: both return false.
  bool PromptForColor(IColor* color, char* prompt = 0) override;
  bool OpenURL(const char* url, const char* windowTitle = 0, const char* confirmText = 0,
               const char* errorText = 0) override;
  // Opens the off-screen view (the parent is not used) and returns it; the
  // same view while it is open. Null when the platform cannot register it.
  // Editor thread.
  void* OpenWindow(void* parent) override;
  using IGraphics::OpenWindow;
  // Closes the off-screen view; its pointer is then no longer a view.
  void CloseWindow() override;
  // The open view, or null.
  void* GetWindow() override;
  // No clipboard: `text` becomes empty and the answer is false.
  bool GetTextFromClipboard(WDL_String* text) override;
  // Nothing to update.
  void UpdateTooltips() override;

  // ---- Scripted answers ----
  // Item index the next menu chooses; -1 cancels it.
  void QueueMenuChoice(int itemIdx) { mMenuChoices.push_back(itemIdx); }
  // Text the next text entry is answered with.
  void QueueTextEntry(const char* text) { mTextAnswers.push_back(text ? text : ""); }
  // Button number the next message box returns.
  void QueueMessageBoxAnswer(int answer) { mMessageBoxAnswers.push_back(answer); }
  // Ends the open text entry with `text` (cut to the control's text-entry
  // length); false when no entry is open.
  bool CommitTextEntry(const char* text);

  // ---- What the platform was asked to show ----
  struct ShownMenuItem
  {
    std::string title;  // with the menu's numbering prefix
    int flags;
  };
  // Items of the last menu shown (empty before any).
  const std::vector<ShownMenuItem>& LastMenu() const { return mLastMenu; }
  // Menus shown so far; whether a text entry is open.
  int MenusShown() const { return mMenusShown; }
  bool TextEntryOpen() const { return mEntry.open; }
  // Initial text and area of the last text entry.
  const char* LastTextEntryInitial() const { return mLastEntryInitial.c_str(); }
  IRECT LastTextEntryRECT() const { return mLastEntryRECT; }
  // Counts and last arguments of text entries, screen copies and message boxes.
  int TextEntriesShown() const { return mEntriesShown; }
  int DrawScreenCalls() const { return mDrawScreenCalls; }
  IRECT LastDrawScreenRECT() const { return mLastScreenRECT; }
  const char* LastMessageBoxText() const { return mLastMessage.c_str(); }

  // ---- Resources ----
  // Identifier of the plug-in bundle whose resources hold the skin images
  // (null or "": none).
  void SetBundleID(const char* id) { mBundleID = id ? id : ""; }
  const char* GetBundleID() const { return mBundleID.c_str(); }
  // Folder searched for skin images by this editor (null or "" restores the default search).
  void SetResourceFolder(const char* dir) { mResourceFolder = dir ? dir : ""; }
  // Folder searched by every headless editor that has none of its own.
  static void SetDefaultResourceFolder(const char* dir);
  // Full path `name`'s image would be loaded from, or "" when no candidate file exists.
  std::string ResolveResource(const char* name) const;

protected:
  LICE_IBitmap* OSLoadBitmap(int id, const char* name) override;

private:
  struct TextEntry
  {
    bool open = false;
    IControl* control = nullptr;
    IParam* param = nullptr;
    IRECT rect;
    std::string initial;
  };

  void DeliverText(const char* text);
  // The skin image file of that name among the bundle's resources, or "".
  std::string BundleResource(const char* file) const;

protected:
  // What the platform calls to take a view's picture (refCon: the editor):
  // the whole editor drawn into its back buffer and copied out.
  static bool DrawView(void* refCon, uint32_t* pixels, int width, int height);

private:

  std::deque<int> mMenuChoices, mMessageBoxAnswers;
  std::deque<std::string> mTextAnswers;
  std::vector<ShownMenuItem> mLastMenu;
  TextEntry mEntry;
  int mMenusShown = 0, mEntriesShown = 0, mDrawScreenCalls = 0;
  IRECT mLastScreenRECT, mLastEntryRECT;
  std::string mLastEntryInitial;
  std::string mLastMessage;
  std::string mResourceFolder;
  std::string mBundleID;
  char mView = 0; // its address is the off-screen view
  bool mViewOpen = false;
};
