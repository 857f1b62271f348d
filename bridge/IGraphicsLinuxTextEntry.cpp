// The X11 view's text field: a child window over the prompted area, drawn
// with the editor's own text drawing, edited as a one-line desktop field
// (caret, selection, word moves, the clipboard, UTF-8 characters kept whole).
#include "bridge/IGraphicsLinuxView.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "bridge/X11Calls.h"

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

bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Bytes in the well-formed UTF-8 character at s[i], or 0 when it is not one
// (stray continuation bytes, cut-off or overlong sequences, surrogates).
size_t Utf8CharLength(const std::string& s, size_t i)
{
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n;
  unsigned char lo = 0x80, hi = 0xbf;  // the range of the second byte
  if (c < 0x80) return 1;
  if (c >= 0xc2 && c <= 0xdf) n = 2;
  else if (c >= 0xe0 && c <= 0xef) n = 3, lo = c == 0xe0 ? 0xa0 : 0x80, hi = c == 0xed ? 0x9f : 0xbf;
  else if (c >= 0xf0 && c <= 0xf4) n = 4, lo = c == 0xf0 ? 0x90 : 0x80, hi = c == 0xf4 ? 0x8f : 0xbf;
  else return 0;
  if (i + n > s.size()) return 0;
  const unsigned char second = static_cast<unsigned char>(s[i + 1]);
  if (second < lo || second > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if (!Continuation(s[i + k])) return 0;
  return n;
}

void AppendUtf8(unsigned long code, std::string* out)
{
  if (code < 0x80)
    *out += static_cast<char>(code);
  else if (code < 0x800)
  {
    *out += static_cast<char>(0xc0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3f));
  }
  else if (code < 0x10000)
  {
    *out += static_cast<char>(0xe0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    *out += static_cast<char>(0x80 | (code & 0x3f));
  }
  else
  {
    *out += static_cast<char>(0xf0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    *out += static_cast<char>(0x80 | (code & 0x3f));
  }
}
}  // namespace

bool TextFieldAccepts(const char* allowed, int maxLength, const std::string& text)
{
  if (allowed)
    for (char c : text)
      if (!c || !std::strchr(allowed, c)) return false;
  if (maxLength <= 0) return true;
  const auto characters = std::count_if(text.begin(), text.end(), [](char c) { return !Continuation(c); });
  return characters <= maxLength;
}

std::string X11TypedText(unsigned long keysym, const std::string& lookedUp, bool control)
{
  if (control) return "";
  if (lookedUp.size() == 1 && lookedUp[0] >= 0x20 && lookedUp[0] < 0x7f) return lookedUp;  // also keypad keys
  // Anything else is taken from the key symbol: XLookupString answers in the
  // locale's encoding, which a plug-in inside a host cannot know.
  unsigned long code = 0;
  if (keysym >= 0xa0 && keysym <= 0xff)
    code = keysym;  // Latin-1 symbols are their own code points
  else if (keysym >= 0x20a0 && keysym <= 0x20ac)
    code = keysym;  // the currency symbols (the euro sign among them) too
  else if ((keysym & 0xff000000ul) == 0x01000000ul)
    code = keysym & 0x00fffffful;
  if (code < 0xa0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return "";
  std::string out;
  AppendUtf8(code, &out);
  return out;
}

// ---------------------------------------------------------------------------

void TextFieldEdit::Reset(const std::string& text, bool selectAll)
{
  mText = text;
  mCaret = mText.size();
  mAnchor = selectAll ? 0 : mCaret;
}

size_t TextFieldEdit::Prev(size_t i) const
{
  if (i == 0) return 0;
  do --i;
  while (i > 0 && Continuation(mText[i]));
  return i;
}

size_t TextFieldEdit::Next(size_t i) const
{
  if (i >= mText.size()) return mText.size();
  do ++i;
  while (i < mText.size() && Continuation(mText[i]));
  return i;
}

bool TextFieldEdit::InWord(size_t i) const
{
  const char c = mText[i];
  if (static_cast<unsigned char>(c) >= 0x80 || Digit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
    return true;
  return (c == '.' || c == ',') && i > 0 && i + 1 < mText.size() && Digit(mText[i - 1]) && Digit(mText[i + 1]);
}

size_t TextFieldEdit::PrevWord(size_t i) const
{
  while (i > 0 && !InWord(Prev(i))) i = Prev(i);
  while (i > 0 && InWord(Prev(i))) i = Prev(i);
  return i;
}

size_t TextFieldEdit::NextWord(size_t i) const
{
  while (i < mText.size() && !InWord(i)) i = Next(i);
  while (i < mText.size() && InWord(i)) i = Next(i);
  return i;
}

void TextFieldEdit::Left(bool extend, bool word)
{
  if (word)
    mCaret = PrevWord(mCaret);
  else if (!extend && HasSelection())
    mCaret = SelectionStart();
  else
    mCaret = Prev(mCaret);
  if (!extend) mAnchor = mCaret;
}

void TextFieldEdit::Right(bool extend, bool word)
{
  if (word)
    mCaret = NextWord(mCaret);
  else if (!extend && HasSelection())
    mCaret = SelectionEnd();
  else
    mCaret = Next(mCaret);
  if (!extend) mAnchor = mCaret;
}

void TextFieldEdit::Home(bool extend)
{
  mCaret = 0;
  if (!extend) mAnchor = mCaret;
}

void TextFieldEdit::End(bool extend)
{
  mCaret = mText.size();
  if (!extend) mAnchor = mCaret;
}

void TextFieldEdit::SelectAll()
{
  mAnchor = 0;
  mCaret = mText.size();
}

void TextFieldEdit::PlaceCaret(size_t offset, bool extend)
{
  mCaret = std::min(offset, mText.size());
  while (mCaret > 0 && mCaret < mText.size() && Continuation(mText[mCaret])) --mCaret;
  if (!extend) mAnchor = mCaret;
}

void TextFieldEdit::Erase(size_t from, size_t to)
{
  mText.erase(from, to - from);
  mCaret = mAnchor = from;
}

void TextFieldEdit::Backspace(bool word)
{
  if (HasSelection())
    Erase(SelectionStart(), SelectionEnd());
  else
    Erase(word ? PrevWord(mCaret) : Prev(mCaret), mCaret);
}

void TextFieldEdit::Delete(bool word)
{
  if (HasSelection())
    Erase(SelectionStart(), SelectionEnd());
  else
    Erase(mCaret, word ? NextWord(mCaret) : Next(mCaret));
}

bool TextFieldEdit::Insert(const std::string& typed, const char* allowed, int maxLength)
{
  const size_t from = SelectionStart(), to = SelectionEnd();
  std::string next = mText;
  next.replace(from, to - from, typed);
  if (!TextFieldAccepts(allowed, maxLength, next)) return false;
  mText = std::move(next);
  mCaret = mAnchor = from + typed.size();
  return true;
}

bool TextFieldEdit::Paste(const std::string& pasted, const char* allowed, int maxLength)
{
  const size_t from = SelectionStart(), to = SelectionEnd();
  const auto kept = std::count_if(mText.begin(), mText.end(), [](char c) { return !Continuation(c); }) -
                    std::count_if(mText.begin() + from, mText.begin() + to, [](char c) { return !Continuation(c); });
  long room = maxLength > 0 ? maxLength - static_cast<long>(kept) : static_cast<long>(pasted.size());
  std::string fits;
  for (size_t i = 0, n; i < pasted.size() && room > 0; i += n ? n : 1)
  {
    n = Utf8CharLength(pasted, i);
    if (!n) continue;
    const unsigned char c = static_cast<unsigned char>(pasted[i]);
    if (c < 0x20 || c == 0x7f || (c == 0xc2 && static_cast<unsigned char>(pasted[i + 1]) < 0xa0)) continue;
    bool ok = true;
    for (size_t k = 0; k < n && ok && allowed; ++k) ok = std::strchr(allowed, pasted[i + k]) != nullptr;
    if (!ok) continue;
    fits.append(pasted, i, n);
    --room;
  }
  if (fits.empty()) return false;
  mText.replace(from, to - from, fits);
  mCaret = mAnchor = from + fits.size();
  return true;
}

// ---------------------------------------------------------------------------

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
  // The field opens with its text selected: the first key replaces it.
  entry.edit.Reset(initial ? initial : "", true);
  entry.scroll = 0;
  entry.hasAllowed = param != nullptr;
  entry.allowed = param ? AllowedCharacters(param) : "";
  entry.maxLength = param ? control->GetTextEntryLength() : 0;
  entry.bitmap.resize(r.W(), r.H());
  XSetWindowAttributes sa = {};
  sa.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | Button1MotionMask | FocusChangeMask;
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

int IGraphicsLinuxView::EntryTextLeft()
{
  // Two pixels of margin each side, as the text has always had.
  const int left = 2, right = entry.r.W() - 2, room = right - left;
  IText* style = &entry.text;
  const std::string& text = entry.edit.Text();
  const int w = TextWidth(style, text);
  if (w <= room)
  {
    entry.scroll = 0;
    if (style->mAlign == IText::kAlignCenter) return (left + right - w) / 2;
    if (style->mAlign == IText::kAlignFar) return right - w;
    return left;
  }
  // Too long for the field: it scrolls just enough to keep the caret in view.
  const int caret = TextWidth(style, text.substr(0, entry.edit.Caret()));
  entry.scroll = std::min(std::max(entry.scroll, caret - room), caret);
  entry.scroll = std::max(0, std::min(entry.scroll, w - room));
  return left - entry.scroll;
}

size_t IGraphicsLinuxView::EntryOffsetAt(int x)
{
  // The character boundary nearest to x (field pixels).
  const std::string& text = entry.edit.Text();
  const int left = EntryTextLeft();
  size_t best = 0;
  int bestDistance = std::abs(x - left);
  for (size_t i = 1; i <= text.size(); ++i)
  {
    if (i < text.size() && Continuation(text[i])) continue;
    const int d = std::abs(x - (left + TextWidth(&entry.text, text.substr(0, i))));
    if (d < bestDistance)
    {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

void IGraphicsLinuxView::DrawEntry()
{
  if (!entry.w) return;
  DrawInto(&entry.bitmap, [&] {
    const IRECT all(0, 0, entry.r.W(), entry.r.H());
    Fill(entry.text.mTextEntryBGColor, all);
    const std::string& text = entry.edit.Text();
    const int left = EntryTextLeft();
    auto xAt = [&](size_t offset) { return left + TextWidth(&entry.text, text.substr(0, offset)); };
    const int pad = std::max(2, all.B / 6);
    if (entry.edit.HasSelection())
      Fill(kSelection, IRECT(std::max(1, xAt(entry.edit.SelectionStart())), pad,
                             std::min(all.R - 1, xAt(entry.edit.SelectionEnd()) + 1), all.B - pad));
    // Drawn from the left edge worked out above, so the caret lines up with
    // the characters whatever the alignment.
    IText style = entry.text;
    style.mAlign = IText::kAlignNear;
    DrawText(&style, text, IRECT(left, 0, std::max(all.R, left + TextWidth(&style, text) + 1), all.B));
    const int x = std::min(std::max(xAt(entry.edit.Caret()), 1), all.R - 2);
    g->DrawVerticalLine(&entry.text.mTextEntryFGColor, x, pad, all.B - 1 - pad);
  });
  entry.presenter.Put(entry.w, gc, &entry.bitmap, IRECT(0, 0, entry.r.W(), entry.r.H()), scale, 0, 0);
}

void IGraphicsLinuxView::EntryEvent(XEvent& ev)
{
  TextFieldEdit& edit = entry.edit;
  switch (ev.type)
  {
    case Expose: DrawEntry(); break;
    case ButtonPress:
      TakeFocus(entry.w);
      if (ev.xbutton.button == Button1)
      {
        edit.PlaceCaret(EntryOffsetAt(FloorDiv(ev.xbutton.x, scale)), (ev.xbutton.state & ShiftMask) != 0);
        DrawEntry();
      }
      break;
    case MotionNotify:
      // Dragging with the left button selects.
      edit.PlaceCaret(EntryOffsetAt(FloorDiv(ev.xmotion.x, scale)), true);
      DrawEntry();
      break;
    case FocusOut:
      // Focus moving to our own window because of a grab is not leaving.
      if (ev.xfocus.mode == NotifyNormal && ev.xfocus.detail != NotifyInferior &&
          ev.xfocus.detail != NotifyPointer)
        CloseEntry(true);
      break;
    case KeyPress:
    {
      KeySym sym = NoSymbol;
      const std::string looked = LookupText(&ev.xkey, &sym);
      const bool shift = (ev.xkey.state & ShiftMask) != 0, control = (ev.xkey.state & ControlMask) != 0;
      const char* allowed = entry.hasAllowed ? entry.allowed.c_str() : nullptr;
      switch (sym)
      {
        case XK_Return: case XK_KP_Enter: CloseEntry(true); return;
        case XK_Escape: CloseEntry(false); return;
        case XK_Left: case XK_KP_Left: edit.Left(shift, control); break;
        case XK_Right: case XK_KP_Right: edit.Right(shift, control); break;
        case XK_Home: case XK_KP_Home: edit.Home(shift); break;
        case XK_End: case XK_KP_End: edit.End(shift); break;
        case XK_BackSpace: edit.Backspace(control); break;
        case XK_Delete: case XK_KP_Delete: edit.Delete(control); break;
        default:
        {
          const KeySym lower = sym >= XK_A && sym <= XK_Z ? sym - XK_A + XK_a : sym;
          if (control && lower == XK_a)
            edit.SelectAll();
          else if (control && (lower == XK_c || lower == XK_x))
          {
            // Without a selection the clipboard keeps what it holds.
            if (!edit.HasSelection() || !WriteClipboard(edit.SelectedText(), ev.xkey.time)) return;
            if (lower == XK_c) return;
            edit.Delete();
          }
          else if (control && lower == XK_v)
          {
            std::string pasted;
            if (!ReadClipboard(&pasted, ev.xkey.time) || !entry.w || !edit.Paste(pasted, allowed, entry.maxLength))
              return;
          }
          else
          {
            const std::string typed = X11TypedText(sym, looked, control);
            if (typed.empty() || !edit.Insert(typed, allowed, entry.maxLength)) return;
          }
        }
      }
      DrawEntry();
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
  std::string value = entry.edit.Text();
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
