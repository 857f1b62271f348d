// The X11 view's text field: a child window over the prompted area, drawn
// with the editor's own text drawing.
#include "bridge/IGraphicsLinuxView.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace x11_view;

namespace
{
const IColor kSelection(255, 180, 210, 255);

// The characters a typed value may hold, by parameter type (none: nothing).
const char* AllowedCharacters(const IParam* param)
{
  switch (param->Type())
  {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: return "0123456789-+";
    case IParam::kTypeDouble: return "0123456789.-+";
    default: return "";
  }
}
}  // namespace

bool TextFieldAccepts(const char* allowed, int maxLength, const std::string& text)
{
  if (allowed)
    for (char c : text)
      if (!c || !std::strchr(allowed, c)) return false;
  return maxLength <= 0 || static_cast<int>(text.size()) <= maxLength;
}

void IGraphicsLinuxView::OpenEntry(IControl* control, IText* text, IRECT* area, const char* initial, IParam* param)
{
  if (!control || entry.w || !area) return;
  IRECT r = *area;
  if (r.W() <= 0 || r.H() <= 0) return;
  entry.control = control;
  entry.param = param;
  entry.text = text ? *text : IText();
  entry.text.mSize = static_cast<int>(std::trunc(entry.text.mSize * 0.9));
  entry.text.mColor = entry.text.mTextEntryFGColor;
  entry.r = r;
  entry.value = initial ? initial : "";
  entry.selected = !entry.value.empty();
  entry.hasAllowed = param != nullptr;
  entry.allowed = param ? AllowedCharacters(param) : "";
  entry.maxLength = param ? control->GetTextEntryLength() : 0;
  entry.bitmap.resize(r.W(), r.H());
  XSetWindowAttributes sa = {};
  sa.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | FocusChangeMask;
  sa.background_pixel = WhitePixel(dpy, screen);
  entry.w = XCreateWindow(dpy, win, r.L * scale, r.T * scale, static_cast<unsigned>(r.W() * scale),
                          static_cast<unsigned>(r.H() * scale), 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWEventMask | CWBackPixel, &sa);
  entry.presenter.Init(dpy, visual, depth, r.W() * scale, r.H() * scale);
  XMapRaised(dpy, entry.w);
  if (!mapped && !embedded) Map();
  XRaiseWindow(dpy, win);
  XSync(dpy, False);
  TakeFocus(entry.w);
  DrawEntry();
}

void IGraphicsLinuxView::DrawEntry()
{
  if (!entry.w) return;
  DrawInto(&entry.bitmap, [&] {
    const IRECT all(0, 0, entry.r.W(), entry.r.H());
    Fill(entry.text.mTextEntryBGColor, all);
    IRECT textRect(2, 0, all.R - 2, all.B);
    const int w = TextWidth(&entry.text, entry.value);
    int x = 2 + w;
    if (entry.text.mAlign == IText::kAlignCenter) x = (all.R + w) / 2;
    if (entry.text.mAlign == IText::kAlignFar) x = all.R - 3;
    x = std::min(std::max(x, 1), all.R - 2);
    const int pad = std::max(2, all.B / 6);
    if (entry.selected)
      Fill(kSelection, IRECT(std::max(1, x - w), pad, x + 1, all.B - pad));
    DrawText(&entry.text, entry.value, textRect);
    // The caret after the text.
    g->DrawVerticalLine(&entry.text.mTextEntryFGColor, x, pad, all.B - 1 - pad);
  });
  entry.presenter.Put(entry.w, gc, &entry.bitmap, IRECT(0, 0, entry.r.W(), entry.r.H()), scale, 0, 0);
}

void IGraphicsLinuxView::EntryEvent(XEvent& ev)
{
  switch (ev.type)
  {
    case Expose: DrawEntry(); break;
    case ButtonPress: TakeFocus(entry.w); break;
    case FocusOut:
      // Focus moving to our own window because of a grab is not leaving.
      if (ev.xfocus.mode == NotifyNormal && ev.xfocus.detail != NotifyInferior &&
          ev.xfocus.detail != NotifyPointer)
        CloseEntry(true);
      break;
    case KeyPress:
    {
      KeySym sym = NoSymbol;
      const std::string typed = LookupText(&ev.xkey, &sym);
      if (sym == XK_Return || sym == XK_KP_Enter)
        CloseEntry(true);
      else if (sym == XK_Escape)
        CloseEntry(false);
      else if (sym == XK_BackSpace)
      {
        if (entry.selected) entry.value.clear();
        if (!entry.value.empty()) entry.value.pop_back();
        entry.selected = false;
        DrawEntry();
      }
      else if (typed.size() == 1 && static_cast<unsigned char>(typed[0]) >= 0x20 && typed[0] != 0x7f)
      {
        // The field opens with its text selected: the first key replaces it.
        const std::string next = (entry.selected ? std::string() : entry.value) + typed;
        if (TextFieldAccepts(entry.hasAllowed ? entry.allowed.c_str() : nullptr, entry.maxLength, next))
        {
          entry.value = next;
          entry.selected = false;
          DrawEntry();
        }
      }
      break;
    }
    default: break;
  }
}

void IGraphicsLinuxView::CloseEntry(bool commit)
{
  if (!entry.w) return;
  IControl* control = entry.control;
  IParam* param = entry.param;
  std::string value = entry.value;
  XDestroyWindow(dpy, entry.w);
  entry.presenter.Release();
  entry.w = 0;
  entry.control = nullptr;
  entry.param = nullptr;
  if (!gone) TakeFocus(win);
  if (commit && control)
  {
    if (param)
      g->SetFromStringAfterPrompt(control, param, &value[0]);
    else
      control->TextFromTextEntry(value.c_str());
  }
  const IRECT all(0, 0, g->Width(), g->Height());
  exposed = exposed.Union(&all);
}

// ---------------------------------------------------------------------------

void IGraphicsLinux::ForceEndUserEdit()
{
  if (!mView) return IGraphicsHeadless::ForceEndUserEdit();
  ErrorScope trap(mView->dpy);
  mView->CloseEntry(false);
}

void IGraphicsLinux::CreateTextEntry(IControl* control, IText* text, IRECT* area, const char* initial,
                                     IParam* param)
{
  if (!mView || mView->gone) return IGraphicsHeadless::CreateTextEntry(control, text, area, initial, param);
  ErrorScope trap(mView->dpy);
  mView->OpenEntry(control, text, area, initial, param);
}
