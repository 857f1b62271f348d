// IPopupMenu: insertion positions, flags, the prefix and item ownership.
#include <gtest/gtest.h>

#include <string>

#include "editor/IPopupMenu.h"

namespace
{

std::string Titles(const IPopupMenu& menu)
{
  std::string s;
  for (int i = 0; i < menu.GetNItems(); ++i) s += std::string(i ? "," : "") + menu.GetItemText(i);
  return s;
}

TEST(PopupMenu, ItemsAreAppendedOrInsertedAtTheClampedIndex)
{
  IPopupMenu menu;
  menu.AddItem("a");
  menu.AddItem("b");
  menu.AddItem("c");
  menu.AddItem("end", 99);
  EXPECT_EQ("a,b,c,end", Titles(menu));
  menu.AddItem("front", -2);
  menu.AddItem("second", 1);
  EXPECT_EQ("front,second,a,b,c,end", Titles(menu));
  menu.AddSeparator(0);
  EXPECT_TRUE(menu.GetItem(0)->GetIsSeparator());
  EXPECT_STREQ("", menu.GetItemText(0));
}

TEST(PopupMenu, OutOfRangeLookupsGiveNullAndEmptyText)
{
  IPopupMenu menu;
  menu.AddItem("only");
  EXPECT_EQ(nullptr, menu.GetItem(-1));
  EXPECT_EQ(nullptr, menu.GetItem(1));
  EXPECT_STREQ("", menu.GetItemText(5));
  EXPECT_STREQ("", menu.GetItemText(-1));
  EXPECT_FALSE(menu.CheckItem(1, true));
  EXPECT_FALSE(menu.IsItemChecked(1));
  EXPECT_EQ(nullptr, menu.AddItem(static_cast<IPopupMenuItem*>(nullptr)));
  IPopupMenuItem* nullText = menu.AddItem(static_cast<const char*>(nullptr));
  ASSERT_NE(nullptr, nullText);
  EXPECT_STREQ("", nullText->GetText());
}

TEST(PopupMenu, SetPrefixAcceptsOnlyZeroToThree)
{
  IPopupMenu menu;
  menu.SetPrefix(2);
  menu.SetPrefix(4);
  EXPECT_EQ(2, menu.GetPrefix());
  menu.SetPrefix(-1);
  EXPECT_EQ(2, menu.GetPrefix());
  EXPECT_STREQ("%02d: ", menu.GetPrefixFormat());
  menu.SetPrefix(0);
  EXPECT_EQ(nullptr, menu.GetPrefixFormat());
}

TEST(PopupMenu, CheckItemAloneLeavesOnlyThatItemChecked)
{
  IPopupMenu menu;
  menu.AddItem("a", -1, IPopupMenuItem::kChecked);
  menu.AddItem("b", -1, IPopupMenuItem::kDisabled);
  menu.AddItem("c", -1, IPopupMenuItem::kChecked);
  menu.CheckItemAlone(1);
  EXPECT_FALSE(menu.IsItemChecked(0));
  EXPECT_TRUE(menu.IsItemChecked(1));
  EXPECT_FALSE(menu.IsItemChecked(2));
  EXPECT_FALSE(menu.GetItem(1)->GetEnabled()) << "checking keeps the other flags";
  menu.CheckItemAlone(7);
  EXPECT_FALSE(menu.IsItemChecked(1));
  EXPECT_TRUE(menu.CheckItem(2, true));
  EXPECT_TRUE(menu.IsItemChecked(2));
  EXPECT_TRUE(menu.CheckItem(2, false));
  EXPECT_FALSE(menu.IsItemChecked(2));
}

TEST(PopupMenu, DestroyingAMenuLeavesItsSubmenusIntact)
{
  IPopupMenu sub;
  sub.AddItem("inner");
  {
    IPopupMenu menu;
    IPopupMenuItem* item = menu.AddItem("more", &sub);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(&sub, item->GetSubmenu());
    EXPECT_EQ(0, item->GetFlags());
    menu.AddItem("also", 0, &sub);
    EXPECT_EQ("also,more", Titles(menu));
  }
  EXPECT_EQ(1, sub.GetNItems());
  EXPECT_STREQ("inner", sub.GetItemText(0));
}

}  // namespace
