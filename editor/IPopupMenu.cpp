#include "editor/IPopupMenu.h"

IPopupMenu::~IPopupMenu() { mMenuItems.Empty(true); }

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index)
{
  if (!item) return nullptr;
  IPopupMenuItem* stored = (index == -1) ? mMenuItems.Add(item) : mMenuItems.Insert(index, item);
  if (!stored) delete item;
  return stored;
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int itemFlags)
{
  return AddItem(new IPopupMenuItem(text, itemFlags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu)
{
  return AddItem(new IPopupMenuItem(text, IPopupMenuItem::kNoFlags, submenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu) { return AddItem(text, -1, submenu); }

IPopupMenuItem* IPopupMenu::AddSeparator(int index)
{
  return AddItem(new IPopupMenuItem("", IPopupMenuItem::kSeparator), index);
}

const char* IPopupMenu::GetItemText(int index) const
{
  IPopupMenuItem* item = GetItem(index);
  return item ? item->GetText() : "";
}

void IPopupMenu::SetPrefix(int count)
{
  if (count >= 0 && count <= 3) mPrefix = count;
}

const char* IPopupMenu::GetPrefixFormat() const
{
  switch (mPrefix)
  {
    case 1: return "%1d: ";
    case 2: return "%02d: ";
    case 3: return "%03d: ";
    default: return nullptr;
  }
}

bool IPopupMenu::CheckItem(int index, bool state)
{
  IPopupMenuItem* item = GetItem(index);
  if (!item) return false;
  item->SetChecked(state);
  return true;
}

void IPopupMenu::CheckItemAlone(int index)
{
  for (int i = 0; i < mMenuItems.GetSize(); ++i) mMenuItems.Get(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const
{
  IPopupMenuItem* item = GetItem(index);
  return item && item->GetChecked();
}
