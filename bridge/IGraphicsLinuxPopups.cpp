// Menus, message boxes and tooltips of the X11 view: override-redirect
// windows drawn with the editor's own drawing, modal while they hold the
// pointer and keyboard.
#include "bridge/IGraphicsLinuxView.h"

#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bridge/X11Calls.h"

using namespace x11_view;

namespace
{
// Menus, boxes and tooltips speak in the desktop's plain face.
const char* const kPopupFace = "Sans";
constexpr int kMenuItemH = 18, kMenuSeparatorH = 7, kMenuTextLeft = 22, kMenuPadRight = 14;

const IColor kMenuBack(255, 240, 240, 240), kMenuHover(255, 60, 110, 200), kMenuFrame(255, 120, 120, 120),
    kMenuText(255, 0, 0, 0), kMenuTextDisabled(255, 150, 150, 150), kMenuTextHover(255, 255, 255, 255),
    kTooltipBack(255, 255, 255, 220), kButtonFace(255, 225, 225, 225);
}  // namespace

// ---- Drawing into a bitmap of our own with the editor's text drawing ----
void IGraphicsLinuxView::DrawInto(LICE_SysBitmap* target, const std::function<void()>& draw)
{
  LICE_SysBitmap* saved = g->mDrawBitmap;
  const IRECT savedRect = g->mDrawRECT;
  g->mDrawBitmap = target;
  g->mDrawRECT = IRECT(0, 0, target->getWidth(), target->getHeight());
  draw();
  g->mDrawBitmap = saved;
  g->mDrawRECT = savedRect;
}

// Width of `s` in the style, or an estimate while no font answers.
int IGraphicsLinuxView::TextWidth(IText* style, const std::string& s)
{
  if (s.empty()) return 0;
  IRECT r;
  std::string copy = s;
  if (g->MeasureIText(style, &copy[0], &r) && r.W() > 0) return r.W();
  return static_cast<int>(s.size()) * std::max(1, style->mSize * 6 / 10);
}

// Text in r, centred vertically (the editor's text starts at the top).
void IGraphicsLinuxView::DrawText(IText* style, const std::string& s, IRECT r)
{
  if (s.empty()) return;
  std::string copy = s;
  IRECT m = r;
  if (g->MeasureIText(style, &copy[0], &m) && m.H() > 0 && m.H() < r.H()) r.T += (r.H() - m.H()) / 2;
  g->DrawIText(style, &copy[0], &r);
}

// ---- Override-redirect windows for menus, boxes and tooltips ----
// `name` (null: none yet) lets tests and window lists tell the popups
// apart; modal ones get theirs once they hold the pointer.
Window IGraphicsLinuxView::MakePopup(const char* name, int x, int y, int w, int h, long mask)
{
  XSetWindowAttributes sa = {};
  sa.override_redirect = True;
  sa.save_under = True;
  sa.event_mask = mask;
  sa.background_pixel = WhitePixel(dpy, screen);
  Window p = XCreateWindow(dpy, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWEventMask | CWBackPixel,
                           &sa);
  if (name) XStoreName(dpy, p, name);
  XMapRaised(dpy, p);
  return p;
}

// Root position of the editor point (x, y).
void IGraphicsLinuxView::ToRoot(int x, int y, int* rx, int* ry)
{
  Window child;
  if (!XTranslateCoordinates(dpy, win, root, x * scale, y * scale, rx, ry, &child))
  {
    *rx = x * scale;
    *ry = y * scale;
  }
}

// Keeps a popup of w x h device pixels on the screen.
void IGraphicsLinuxView::KeepOnScreen(int* x, int* y, int w, int h)
{
  const int sw = DisplayWidth(dpy, screen), sh = DisplayHeight(dpy, screen);
  *x = std::max(0, std::min(*x, sw - w));
  *y = std::max(0, std::min(*y, sh - h));
}

bool IGraphicsLinuxView::Grab(Window w)
{
  const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
  for (int tries = 0; tries < 20; ++tries)
  {
    if (XGrabPointer(dpy, w, True, mask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
    {
      XGrabKeyboard(dpy, w, True, GrabModeAsync, GrabModeAsync, CurrentTime);
      return true;
    }
    usleep(5000);  // the click that opened us may still hold a grab
  }
  return false;
}

void IGraphicsLinuxView::Ungrab()
{
  XUngrabPointer(dpy, CurrentTime);
  XUngrabKeyboard(dpy, CurrentTime);
  XFlush(dpy);
}

// ---- Popup menus ----
IText IGraphicsLinuxView::MenuStyle(const IColor& c)
{
  return IText(12, &c, kPopupFace, IText::kStyleNormal, IText::kAlignNear);
}

std::string IGraphicsLinuxView::ItemTitle(IPopupMenu* menu, int i)
{
  const IPopupMenuItem* item = menu->GetItem(i);
  std::string title;
  const char* prefix = menu->GetPrefixFormat();
  if (prefix && !item->GetIsSeparator())
  {
    char number[16];
    std::snprintf(number, sizeof(number), prefix, i + 1);
    title = number;
  }
  return title + (item->GetText() ? item->GetText() : "");
}

void IGraphicsLinuxView::LayoutMenu(MenuWin& m)
{
  IText style = MenuStyle(kMenuText);
  int widest = 0, y = 2;
  m.tops.clear();
  for (int i = 0; i < m.menu->GetNItems(); ++i)
  {
    const IPopupMenuItem* item = m.menu->GetItem(i);
    m.tops.push_back(y);
    if (item->GetIsSeparator())
    {
      y += kMenuSeparatorH;
      continue;
    }
    int w = TextWidth(&style, ItemTitle(m.menu, i)) + (item->GetIsTitle() ? 12 : 0);
    if (item->GetSubmenu()) w += 12;
    widest = std::max(widest, w);
    y += kMenuItemH;
  }
  m.tops.push_back(y);
  m.width = std::max(80, widest + kMenuTextLeft + kMenuPadRight);
  m.height = y + 2;
  m.bitmap.resize(m.width, m.height);
}

void IGraphicsLinuxView::DrawMenu(MenuWin& m)
{
  DrawInto(&m.bitmap, [&] {
    IRECT all(0, 0, m.width, m.height);
    Fill(kMenuBack, all);
    IRECT frame(0, 0, m.width - 1, m.height - 1);
    g->DrawRect(&kMenuFrame, &frame);
    for (int i = 0; i < m.menu->GetNItems(); ++i)
    {
      const IPopupMenuItem* item = m.menu->GetItem(i);
      const int top = m.tops[static_cast<size_t>(i)], bottom = m.tops[static_cast<size_t>(i) + 1];
      if (item->GetIsSeparator())
      {
        g->DrawHorizontalLine(&kMenuFrame, (top + bottom) / 2, 4, m.width - 5);
        continue;
      }
      const bool hot = i == m.hover && item->GetEnabled();
      if (hot) Fill(kMenuHover, IRECT(1, top, m.width - 1, bottom));
      const IColor& c = !item->GetEnabled() ? kMenuTextDisabled : hot ? kMenuTextHover : kMenuText;
      if (item->GetChecked())
      {
        // A tick: two strokes.
        const int cy = (top + bottom) / 2;
        g->DrawLine(&c, 7, static_cast<float>(cy), 10, static_cast<float>(cy + 3));
        g->DrawLine(&c, 10, static_cast<float>(cy + 3), 15, static_cast<float>(cy - 4));
      }
      IText style = MenuStyle(c);
      const int indent = item->GetIsTitle() ? 12 : 0;
      DrawText(&style, ItemTitle(m.menu, i), IRECT(kMenuTextLeft + indent, top, m.width - kMenuPadRight, bottom));
      if (item->GetSubmenu())
      {
        const int cy = (top + bottom) / 2;
        for (int k = 0; k < 4; ++k) g->DrawVerticalLine(&c, m.width - 10 + k, cy - 3 + k, cy + 3 - k);
      }
    }
  });
  m.presenter.Put(m.w, gc, &m.bitmap, IRECT(0, 0, m.width, m.height), scale, 0, 0);
}

std::unique_ptr<IGraphicsLinuxView::MenuWin> IGraphicsLinuxView::OpenMenu(IPopupMenu* menu, int rx, int ry)
{
  std::unique_ptr<MenuWin> m(new MenuWin);
  m->menu = menu;
  LayoutMenu(*m);
  int x = rx, y = ry;
  KeepOnScreen(&x, &y, m->width * scale, m->height * scale);
  m->x = x;
  m->y = y;
  m->w = MakePopup(nullptr, x, y, m->width * scale, m->height * scale, ExposureMask);
  m->presenter.Init(dpy, visual, depth, m->width * scale, m->height * scale);
  DrawMenu(*m);
  return m;
}

void IGraphicsLinuxView::CloseMenu(MenuWin& m)
{
  m.presenter.Release();
  XDestroyWindow(dpy, m.w);
}

// The item under root point (rx, ry) of menu m, or -1.
int IGraphicsLinuxView::ItemAt(const MenuWin& m, int rx, int ry) const
{
  const int x = FloorDiv(rx - m.x, scale), y = FloorDiv(ry - m.y, scale);
  if (x < 0 || x >= m.width || y < 0 || y >= m.height) return -1;
  for (size_t i = 0; i + 1 < m.tops.size(); ++i)
    if (y >= m.tops[i] && y < m.tops[i + 1]) return static_cast<int>(i);
  return -1;
}

IPopupMenu* IGraphicsLinuxView::RunMenu(IPopupMenu* menu, IRECT* area)
{
  if (!menu || menu->GetNItems() == 0) return nullptr;
  g->ReleaseMouseCapture();
  HideTooltip();
  const IRECT r = area ? *area : IRECT();
  int rx = 0, ry = 0;
  ToRoot(r.L, r.B + 1 + 4, &rx, &ry);
  std::vector<std::unique_ptr<MenuWin>> open;
  open.push_back(OpenMenu(menu, rx, ry));
  XSync(dpy, False);
  if (!Grab(open[0]->w))
  {
    CloseMenu(*open[0]);
    return nullptr;
  }
  XStoreName(dpy, open[0]->w, "quill-menu");
  XFlush(dpy);
  bool done = false;
  IPopupMenu* result = nullptr;
  bool pressedInside = false;

  auto hit = [&](int rootX, int rootY, int* level) {
    for (int l = static_cast<int>(open.size()) - 1; l >= 0; --l)
    {
      const int item = ItemAt(*open[static_cast<size_t>(l)], rootX, rootY);
      if (item >= 0)
      {
        *level = l;
        return item;
      }
    }
    *level = -1;
    return -1;
  };
  auto hover = [&](int level, int item) {
    // Leaving a submenu's item closes the menus below it.
    while (static_cast<int>(open.size()) > level + 1)
    {
      CloseMenu(*open.back());
      open.pop_back();
    }
    MenuWin& m = *open[static_cast<size_t>(level)];
    if (m.hover != item)
    {
      m.hover = item;
      DrawMenu(m);
    }
    const IPopupMenuItem* it = m.menu->GetItem(item);
    if (it && it->GetEnabled() && it->GetSubmenu() && it->GetSubmenu()->GetNItems() > 0)
    {
      open.push_back(OpenMenu(it->GetSubmenu(), m.x + m.width * scale - 2,
                              m.y + m.tops[static_cast<size_t>(item)] * scale));
      XStoreName(dpy, open.back()->w, "quill-submenu");
    }
  };
  auto choose = [&](int level, int item) {
    MenuWin& m = *open[static_cast<size_t>(level)];
    const IPopupMenuItem* it = m.menu->GetItem(item);
    if (!it || !it->GetEnabled() || it->GetIsSeparator() || it->GetSubmenu()) return;
    m.menu->SetChosenItemIdx(item);
    result = m.menu;
    done = true;
  };

  auto modal = [&](XEvent& ev) -> bool {
    for (auto& m : open)
      if (ev.xany.window == m->w)
      {
        if (ev.type == Expose) DrawMenu(*m);
      }
    switch (ev.type)
    {
      case MotionNotify:
      {
        int level;
        const int item = hit(ev.xmotion.x_root, ev.xmotion.y_root, &level);
        if (item >= 0 && !(open[static_cast<size_t>(level)]->hover == item &&
                           static_cast<int>(open.size()) > level + 1))
          hover(level, item);
        return true;
      }
      case ButtonPress:
      {
        int level;
        const int item = hit(ev.xbutton.x_root, ev.xbutton.y_root, &level);
        if (ev.xbutton.button == Button4 || ev.xbutton.button == Button5) return true;
        if (item < 0)
        {
          // A click outside every menu closes them all with no choice.
          bool inside = false;
          for (auto& m : open)
            inside |= FloorDiv(ev.xbutton.x_root - m->x, scale) >= 0 &&
                      FloorDiv(ev.xbutton.x_root - m->x, scale) < m->width &&
                      FloorDiv(ev.xbutton.y_root - m->y, scale) >= 0 &&
                      FloorDiv(ev.xbutton.y_root - m->y, scale) < m->height;
          if (!inside) done = true;
          return true;
        }
        pressedInside = true;
        return true;
      }
      case ButtonRelease:
      {
        int level;
        const int item = hit(ev.xbutton.x_root, ev.xbutton.y_root, &level);
        if (item >= 0 && pressedInside) choose(level, item);
        return true;
      }
      case KeyPress:
      {
        KeySym sym = NoSymbol;
        LookupText(&ev.xkey, &sym);
        MenuWin& m = *open.back();
        const int n = m.menu->GetNItems();
        if (sym == XK_Escape) done = true;
        else if (sym == XK_Down || sym == XK_Up)
        {
          int i = m.hover;
          for (int step = 0; step < n; ++step)
          {
            i = sym == XK_Down ? (i + 1) % n : (i - 1 + n) % n;
            if (!m.menu->GetItem(i)->GetIsSeparator()) break;
          }
          m.hover = i;
          DrawMenu(m);
        }
        else if ((sym == XK_Return || sym == XK_KP_Enter) && m.hover >= 0)
          choose(static_cast<int>(open.size()) - 1, m.hover);
        return true;
      }
      case KeyRelease: return true;
      default: return false;
    }
  };

  while (!done && !gone)
  {
    Pump(modal);
    if (done || gone) break;
    Tick();
    Wait();
  }
  Ungrab();
  while (!open.empty())
  {
    CloseMenu(*open.back());
    open.pop_back();
  }
  XSync(dpy, False);
  return result;
}

// ---- Message boxes ----
int IGraphicsLinuxView::RunMessageBox(const char* text, const char* caption, int type)
{
  struct Button
  {
    const char* label;
    int result;
    IRECT r;
  };
  std::vector<Button> buttons = [type]() -> std::vector<Button> {
    switch (type)
    {
      case 1: return {{"OK", 1, {}}, {"Cancel", 7, {}}};
      case 3: return {{"Yes", 1, {}}, {"No", 7, {}}, {"Cancel", 2, {}}};
      case 4: return {{"Yes", 1, {}}, {"No", 7, {}}};
      default: return {{"OK", 1, {}}};
    }
  }();
  HideTooltip();
  g->ReleaseMouseCapture();
  IText body(12, &kMenuText, kPopupFace, IText::kStyleNormal, IText::kAlignNear);
  IText head(13, &kMenuText, kPopupFace, IText::kStyleBold, IText::kAlignNear);
  // Lines broken at spaces to fit the box.
  const int w = 360, textW = w - 32, lineH = 17;
  std::vector<std::string> lines;
  std::string all = text ? text : "";
  size_t start = 0;
  while (start <= all.size())
  {
    size_t nl = all.find('\n', start);
    if (nl == std::string::npos) nl = all.size();
    std::string para = all.substr(start, nl - start), line;
    size_t p = 0;
    while (p <= para.size())
    {
      size_t sp = para.find(' ', p);
      if (sp == std::string::npos) sp = para.size();
      const std::string word = para.substr(p, sp - p);
      const std::string tryLine = line.empty() ? word : line + " " + word;
      if (!line.empty() && TextWidth(&body, tryLine) > textW)
      {
        lines.push_back(line);
        line = word;
      }
      else
        line = tryLine;
      p = sp + 1;
    }
    lines.push_back(line);
    start = nl + 1;
  }
  const int h = 16 + 22 + static_cast<int>(lines.size()) * lineH + 16 + 26 + 12;
  int bx = w - 16;
  for (int i = static_cast<int>(buttons.size()) - 1; i >= 0; --i)
  {
    buttons[static_cast<size_t>(i)].r = IRECT(bx - 80, h - 12 - 26, bx, h - 12);
    bx -= 88;
  }
  // Centred over the view.
  int vx = 0, vy = 0;
  ToRoot(0, 0, &vx, &vy);
  int x = vx + (g->Width() * scale - w * scale) / 2, y = vy + (g->Height() * scale - h * scale) / 2;
  KeepOnScreen(&x, &y, w * scale, h * scale);
  LICE_SysBitmap bitmap(w, h);
  X11Presenter boxPresenter;
  boxPresenter.Init(dpy, visual, depth, w * scale, h * scale);
  Window box = MakePopup(nullptr, x, y, w * scale, h * scale, ExposureMask);
  int hot = -1;
  auto draw = [&] {
    DrawInto(&bitmap, [&] {
      Fill(kMenuBack, IRECT(0, 0, w, h));
      IRECT frame(0, 0, w - 1, h - 1);
      g->DrawRect(&kMenuFrame, &frame);
      DrawText(&head, caption ? caption : "", IRECT(16, 14, w - 16, 36));
      for (size_t i = 0; i < lines.size(); ++i)
        DrawText(&body, lines[i], IRECT(16, 40 + static_cast<int>(i) * lineH, w - 16, 40 + (static_cast<int>(i) + 1) * lineH));
      for (size_t i = 0; i < buttons.size(); ++i)
      {
        IRECT b = buttons[i].r;
        Fill(static_cast<int>(i) == hot ? kMenuHover : kButtonFace, b);
        IRECT edge(b.L, b.T, b.R - 1, b.B - 1);
        g->DrawRect(&kMenuFrame, &edge);
        IText label(12, static_cast<int>(i) == hot ? &kMenuTextHover : &kMenuText, kPopupFace,
                    i == 0 ? IText::kStyleBold : IText::kStyleNormal, IText::kAlignCenter);
        DrawText(&label, buttons[i].label, b);
      }
    });
    boxPresenter.Put(box, gc, &bitmap, IRECT(0, 0, w, h), scale, 0, 0);
  };
  XSync(dpy, False);
  draw();
  int result = -1;
  if (!Grab(box))
    result = 0;
  else
    XStoreName(dpy, box, "quill-message");
  XFlush(dpy);
  auto buttonAt = [&](int rootX, int rootY) {
    const int px = FloorDiv(rootX - x, scale), py = FloorDiv(rootY - y, scale);
    for (size_t i = 0; i < buttons.size(); ++i)
      if (buttons[i].r.Contains(px, py)) return static_cast<int>(i);
    return -1;
  };
  auto modal = [&](XEvent& ev) -> bool {
    if (ev.xany.window == box && ev.type == Expose) draw();
    switch (ev.type)
    {
      case MotionNotify:
      {
        const int b = buttonAt(ev.xmotion.x_root, ev.xmotion.y_root);
        if (b != hot)
        {
          hot = b;
          draw();
        }
        return true;
      }
      case ButtonRelease:
      {
        const int b = buttonAt(ev.xbutton.x_root, ev.xbutton.y_root);
        if (b >= 0) result = buttons[static_cast<size_t>(b)].result;
        return true;
      }
      case ButtonPress: return true;
      case KeyPress:
      {
        KeySym sym = NoSymbol;
        LookupText(&ev.xkey, &sym);
        if (sym == XK_Return || sym == XK_KP_Enter) result = 1;
        if (sym == XK_Escape)
        {
          result = 0;
          for (const Button& b : buttons)
            if (!std::strcmp(b.label, "Cancel")) result = b.result;
        }
        return true;
      }
      case KeyRelease: return true;
      default: return false;
    }
  };
  while (result < 0 && !gone)
  {
    Pump(modal);
    if (result >= 0 || gone) break;
    Tick();
    Wait();
  }
  Ungrab();
  boxPresenter.Release();
  XDestroyWindow(dpy, box);
  XSync(dpy, False);
  return std::max(result, 0);
}

// ---- Tooltips ----
const char* IGraphicsLinuxView::TooltipAt(int x, int y)
{
  for (int i = g->GetNControls() - 1; i > 0; --i)
  {
    IControl* c = g->GetControl(i);
    IRECT* t = c->GetTargetRECT();
    if (c->IsHidden() || t->Empty() || !t->Contains(x, y)) continue;
    return c->GetTooltip() && c->GetTooltip()[0] ? c->GetTooltip() : nullptr;
  }
  return nullptr;
}

void IGraphicsLinuxView::ShowTooltip()
{
  tipPending = false;
  if (tipWin) return;
  const char* tip = TooltipAt(tipX, tipY);
  if (!tip) return;
  IText style(11, &kMenuText, kPopupFace, IText::kStyleNormal, IText::kAlignNear);
  const int w = TextWidth(&style, tip) + 10, h = 18;
  tipBitmap.resize(w, h);
  DrawInto(&tipBitmap, [&] {
    Fill(kTooltipBack, IRECT(0, 0, w, h));
    IRECT frame(0, 0, w - 1, h - 1);
    g->DrawRect(&kMenuFrame, &frame);
    DrawText(&style, tip, IRECT(5, 0, w - 5, h));
  });
  int x = tipRootX + 12, y = tipRootY + 18;
  KeepOnScreen(&x, &y, w * scale, h * scale);
  tipWin = MakePopup("quill-tooltip", x, y, w * scale, h * scale, ExposureMask);
  tipPresenter.Init(dpy, visual, depth, w * scale, h * scale);
  XSync(dpy, False);
  tipPresenter.Put(tipWin, gc, &tipBitmap, IRECT(0, 0, w, h), scale, 0, 0);
}

void IGraphicsLinuxView::HideTooltip()
{
  if (!tipWin) return;
  tipPresenter.Release();
  XDestroyWindow(dpy, tipWin);
  tipWin = 0;
}

// ---------------------------------------------------------------------------

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type)
{
  if (!mView || mView->gone) return IGraphicsHeadless::ShowMessageBox(text, caption, type);
  ErrorScope trap(mView->dpy);
  return mView->RunMessageBox(text, caption, type);
}

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* menu, IRECT* area)
{
  if (!mView || mView->gone) return IGraphicsHeadless::CreateIPopupMenu(menu, area);
  ErrorScope trap(mView->dpy);
  return mView->RunMenu(menu, area);
}

void IGraphicsLinux::UpdateTooltips()
{
  if (!mView) return;
  ErrorScope trap(mView->dpy);
  mView->HideTooltip();
}
