// Desktop services of the X11 view: file dialogs through zenity or kdialog,
// addresses through xdg-open, and the clipboard.
#include "bridge/IGraphicsLinuxView.h"

#include <X11/Xatom.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bridge/X11Calls.h"

extern char** environ;

using namespace x11_view;

namespace
{
// Runs `argv` (found on PATH) with stdout captured; the exit status or -1.
int RunCapture(const std::vector<std::string>& argv, std::string* out)
{
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0)
  {
    close(fds[0]);
    return -1;
  }
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof(buf))) > 0 || (n < 0 && errno == EINTR))
    if (n > 0 && out) out->append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool OnPath(const char* name)
{
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size())
  {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string ExpandHome(const std::string& path)
{
  const char* home = std::getenv("HOME");
  if (home && path.compare(0, 1, "~") == 0) return home + path.substr(1);
  return path;
}
}  // namespace

// ---- Clipboard ----
namespace
{
// Views of this process that own CLIPBOARD. Each view has a connection of its
// own, and all run on one thread: one asking another through the server would
// wait out its time, as the owner's events are not read meanwhile.
std::vector<IGraphicsLinuxView*> sClipboardOwners;

void Latin1ToUtf8(const unsigned char* data, unsigned long n, std::string* out)
{
  out->clear();
  for (unsigned long i = 0; i < n; ++i)
  {
    if (data[i] < 0x80)
      *out += static_cast<char>(data[i]);
    else
    {
      *out += static_cast<char>(0xc0 | (data[i] >> 6));
      *out += static_cast<char>(0x80 | (data[i] & 0x3f));
    }
  }
}
}  // namespace

bool IGraphicsLinuxView::ReadClipboard(std::string* out, Time time)
{
  const Window owner = XGetSelectionOwner(dpy, clipboard);
  if (owner == None) return false;
  for (IGraphicsLinuxView* v : sClipboardOwners)
    if (v->win == owner && !std::strcmp(DisplayString(v->dpy), DisplayString(dpy)))
    {
      *out = v->clipText;
      return true;
    }
  // UTF-8 first; an owner that cannot give it is asked for Latin-1 text.
  Atom target = utf8;
  XConvertSelection(dpy, clipboard, target, clipProp, win, time);
  XFlush(dpy);
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(500);
  // Only the answer and requests for our own selection are taken from the
  // queue: the rest waits its turn, so no key or click is handled in here.
  auto wanted = [](Display*, XEvent* ev, XPointer arg) -> Bool {
    const IGraphicsLinuxView* v = reinterpret_cast<IGraphicsLinuxView*>(arg);
    return (ev->type == SelectionNotify && ev->xselection.requestor == v->win) ||
           (ev->type == SelectionRequest && ev->xselectionrequest.owner == v->win) ||
           (ev->type == SelectionClear && ev->xselectionclear.window == v->win);
  };
  while (!gone && Clock::now() < end)
  {
    XEvent ev;
    if (!XCheckIfEvent(dpy, &ev, wanted, reinterpret_cast<XPointer>(this)))
    {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::max<long long>(1, std::min<long long>(20, left))));
      continue;
    }
    if (ev.type != SelectionNotify)
    {
      Dispatch(ev, true);
      continue;
    }
    if (ev.xselection.target != target) continue;  // a late answer to an earlier request
    if (ev.xselection.property == None)
    {
      if (target == XA_STRING) return false;
      target = XA_STRING;
      XConvertSelection(dpy, clipboard, target, clipProp, win, time);
      XFlush(dpy);
      continue;
    }
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    bool ok = false;
    if (XGetWindowProperty(dpy, win, clipProp, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after,
                           &data) == Success &&
        data && format == 8 && (type == utf8 || type == XA_STRING))
    {
      if (type == utf8)
        out->assign(reinterpret_cast<char*>(data), n);
      else
        Latin1ToUtf8(data, n, out);
      ok = true;
    }
    if (data) XFree(data);
    return ok;
  }
  return false;
}

bool IGraphicsLinuxView::WriteClipboard(const std::string& text, Time time)
{
  XSetSelectionOwner(dpy, clipboard, win, time);
  if (XGetSelectionOwner(dpy, clipboard) != win) return false;
  clipText = text;
  if (!ownsClipboard) sClipboardOwners.push_back(this);
  ownsClipboard = true;
  return true;
}

void IGraphicsLinuxView::LoseClipboard()
{
  if (!ownsClipboard) return;
  ownsClipboard = false;
  clipText.clear();
  sClipboardOwners.erase(std::remove(sClipboardOwners.begin(), sClipboardOwners.end(), this),
                         sClipboardOwners.end());
}

void IGraphicsLinuxView::AnswerSelection(const XSelectionRequestEvent& rq)
{
  XSelectionEvent note = {};
  note.type = SelectionNotify;
  note.display = dpy;
  note.requestor = rq.requestor;
  note.selection = rq.selection;
  note.target = rq.target;
  note.time = rq.time;
  note.property = None;  // refused unless answered below
  // Clients older than the conventions name no property: the target is used.
  const Atom property = rq.property != None ? rq.property : rq.target;
  // One request carries the whole text; a longer one is refused.
  const long maxRequest = XExtendedMaxRequestSize(dpy) ? XExtendedMaxRequestSize(dpy) : XMaxRequestSize(dpy);
  if (ownsClipboard && rq.selection == clipboard && rq.owner == win)
  {
    if (rq.target == targets)
    {
      const Atom list[] = {targets, utf8};
      XChangeProperty(dpy, rq.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(list), 2);
      note.property = property;
    }
    else if (rq.target == utf8 && static_cast<long>(clipText.size()) < maxRequest * 4 - 256)
    {
      XChangeProperty(dpy, rq.requestor, property, utf8, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(clipText.data()), static_cast<int>(clipText.size()));
      note.property = property;
    }
  }
  XSendEvent(dpy, rq.requestor, False, 0, reinterpret_cast<XEvent*>(&note));
  XFlush(dpy);
}

// ---------------------------------------------------------------------------

void IGraphicsLinux::PromptForFile(WDL_String* file, EFileAction action, WDL_String* dir, char* extensions)
{
  if (!file) return;
  if (!mView)
  {
    file->Set("");
    return;
  }
  const std::string name = file->Get();
  std::string folder = dir && dir->Get()[0] ? dir->Get() : "~/Desktop";
  if (dir && !dir->Get()[0]) dir->Set(folder.c_str());
  file->Set("");
  folder = ExpandHome(folder);
  if (!folder.empty() && folder.back() != '/') folder += '/';

  std::vector<std::string> types;
  if (extensions)
  {
    std::string all(extensions);
    size_t start = 0;
    while (start < all.size())
    {
      size_t sp = all.find(' ', start);
      if (sp == std::string::npos) sp = all.size();
      if (sp > start) types.push_back(all.substr(start, sp - start));
      start = sp + 1;
    }
  }
  std::string patterns;
  for (const std::string& t : types) patterns += (patterns.empty() ? "*." : " *.") + t;

  std::vector<std::string> argv;
  const bool save = action == kFileSave;
  if (OnPath("zenity"))
  {
    argv = {"zenity", "--file-selection", "--filename=" + folder + name};
    if (save) argv.push_back("--save"), argv.push_back("--confirm-overwrite");
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
  }
  else if (OnPath("kdialog"))
  {
    argv = {"kdialog", save ? "--getsavefilename" : "--getopenfilename", folder + name};
    if (!patterns.empty()) argv.push_back(patterns);
  }
  else
  {
    return;  // no dialog program: as if cancelled
  }
  std::string chosen;
  if (RunCapture(argv, &chosen) != 0) return;
  while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
  if (chosen.empty()) return;
  if (save && !types.empty())
  {
    // A saved file gets one of the allowed extensions.
    bool known = false;
    const size_t dot = chosen.rfind('.');
    for (const std::string& t : types)
      known |= dot != std::string::npos && chosen.find('/', dot) == std::string::npos && chosen.substr(dot + 1) == t;
    if (!known) chosen += "." + types[0];
  }
  file->Set(chosen.c_str());
  if (dir)
  {
    const size_t slash = chosen.rfind('/');
    dir->Set(slash == std::string::npos ? "./" : chosen.substr(0, slash + 1).c_str());
  }
}

bool IGraphicsLinux::OpenURL(const char* url, const char*, const char*, const char*)
{
  if (!url || !url[0]) return false;
  const bool web = std::strstr(url, "http") != nullptr;
  // A web address with spaces or control characters cannot be formed.
  if (web)
    for (const char* p = url; *p; ++p)
      if (static_cast<unsigned char>(*p) <= 0x20) return false;
  return RunCapture({"xdg-open", url}, nullptr) == 0;
}

bool IGraphicsLinux::GetTextFromClipboard(WDL_String* text)
{
  if (!mView || mView->gone) return IGraphicsHeadless::GetTextFromClipboard(text);
  ErrorScope trap(mView->dpy);
  std::string value;
  const bool ok = mView->ReadClipboard(&value);
  if (text) text->Set(ok ? value.c_str() : "");
  return ok;
}
