// Desktop services of the X11 view: file dialogs through zenity or kdialog,
// addresses through xdg-open, and the clipboard.
#include "bridge/IGraphicsLinuxView.h"

#include <X11/Xatom.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
bool IGraphicsLinuxView::ReadClipboard(std::string* out)
{
  if (XGetSelectionOwner(dpy, clipboard) == None) return false;
  XConvertSelection(dpy, clipboard, utf8, clipProp, win, CurrentTime);
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(500);
  bool answered = false, ok = false;
  auto modal = [&](XEvent& ev) -> bool {
    if (ev.type != SelectionNotify || ev.xselection.requestor != win) return false;
    answered = true;
    if (ev.xselection.property == None) return true;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, win, clipProp, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after,
                           &data) == Success &&
        data && format == 8 && (type == utf8 || type == XA_STRING))
    {
      out->assign(reinterpret_cast<char*>(data), n);
      ok = true;
    }
    if (data) XFree(data);
    return true;
  };
  while (!answered && !gone && Clock::now() < end)
  {
    Pump(modal);
    if (answered) break;
    XFlush(dpy);
    pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, 20);
  }
  return ok;
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
