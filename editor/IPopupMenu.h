// IPopupMenu: platform-independent description of a popup menu. The editor
// fills one in, the platform layer shows it (CreateIPopupMenu) and writes the
// index of the chosen item back into the menu it returns.
#pragma once

#include "framework/Containers.h"

class IPopupMenu;

class IPopupMenuItem
{
public:
  enum Flags
  {
    kNoFlags = 0,
    kDisabled = 1 << 0,   // shown greyed, cannot be chosen
    kTitle = 1 << 1,      // shown indented one level
    kChecked = 1 << 2,    // shown with a check mark
    kSeparator = 1 << 3,  // a separator line without a title
  };

  // `text` null means empty; `submenu` is not owned.
  IPopupMenuItem(const char* text, int flags = kNoFlags, IPopupMenu* submenu = nullptr)
    : mText(text), mSubmenu(submenu), mFlags(flags)
  {
  }

  // Plain reads and writes of the text, submenu and flags.
  const char* GetText() const { return mText.Get(); }
  void SetText(const char* text) { mText.Set(text); }
  IPopupMenu* GetSubmenu() const { return mSubmenu; }
  int GetFlags() const { return mFlags; }
  bool GetEnabled() const { return !(mFlags & kDisabled); }
  bool GetChecked() const { return (mFlags & kChecked) != 0; }
  bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
  bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
  void SetEnabled(bool state) { SetFlag(kDisabled, !state); }
  void SetChecked(bool state) { SetFlag(kChecked, state); }
  void SetTitle(bool state) { SetFlag(kTitle, state); }

private:
  void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }

  WDL_String mText;
  IPopupMenu* mSubmenu;
  int mFlags;
};

class IPopupMenu
{
public:
  IPopupMenu() = default;
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;
  // Deletes the items; their submenus belong to whoever built them.
  ~IPopupMenu();

  // Insertion: `index` -1 appends; any other value inserts at clamp(index, 0, count).
  // Takes ownership of `item`; returns it, or null (item deleted) when it could
  // not be stored. A null item is ignored.
  IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
  // Creates an item with `text` and `itemFlags`; returns it, or null on failure.
  IPopupMenuItem* AddItem(const char* text, int index = -1, int itemFlags = IPopupMenuItem::kNoFlags);
  // Creates an item leading to `submenu` (not owned).
  IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* submenu);
  IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
  // Adds a separator item at `index` (-1 appends); returns it, or null on failure.
  IPopupMenuItem* AddSeparator(int index = -1);

  // The item at `index`, or null outside the list.
  IPopupMenuItem* GetItem(int index) const { return mMenuItems.Get(index); }
  // The item's text, or "" outside the list.
  const char* GetItemText(int index) const;
  // Number of items.
  int GetNItems() const { return mMenuItems.GetSize(); }

  // Numbering of the titles: 0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: "; other values are ignored.
  void SetPrefix(int count);
  // The numbering setting (0..3).
  int GetPrefix() const { return mPrefix; }
  // The numbering pattern for the current prefix, or null for none.
  const char* GetPrefixFormat() const;

  // Sets or clears the checked flag; false when there is no such item.
  bool CheckItem(int index, bool state);
  // Only the item at `index` stays checked; an index outside the list clears all.
  void CheckItemAlone(int index);
  // False when there is no such item.
  bool IsItemChecked(int index) const;

  // Written by the platform layer; -1 until an item is chosen.
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  // Whether several items may be checked at once (platform hint; off by default).
  bool GetCanMultiCheck() const { return mCanMultiCheck; }
  void SetMultiCheck(bool multicheck) { mCanMultiCheck = multicheck; }

private:
  int mPrefix = 0;
  int mChosenItemIdx = -1;
  bool mCanMultiCheck = false;
  WDL_PtrList<IPopupMenuItem> mMenuItems;
};
