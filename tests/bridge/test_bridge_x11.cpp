// The editor in a live X11 window, on the private X server the test runs on
// (xvfb-run), driven with xdotool as a user would drive it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../editor/EditorTestSupport.h"
#include "../host/HostTestSupport.h"
#include "bridge/IGraphicsLinux.h"
#include "editor/IPopupMenu.h"
#include "host/HostUnit.h"
#include "host/PresetFile.h"
#include "raster/lice_png_write.h"
#include "au/IPlugAU.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

extern char** environ;

// The tremolo's factory (its header's parameter names clash with the test plug-in's).
IPlugAU* MakePlug();

namespace
{

using Clock = std::chrono::steady_clock;

// Runs xdotool with `args` (20 s at most: a window that never comes must not
// hang the test); its output (window ids) is returned.
std::string Xdo(const std::string& args)
{
  std::string out;
  FILE* p = popen(("timeout 20 xdotool " + args).c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

// Runs the view's idle call until `done` holds or `ms` pass; returns `done`.
bool PumpUntil(IGraphicsLinux* g, const std::function<bool()>& done, int ms = 3000)
{
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end)
  {
    g->Idle();
    if (done()) return true;
    pollfd p = {g->ConnectionFd(), POLLIN, 0};
    poll(&p, 1, 10);
  }
  g->Idle();
  return done();
}

void PumpFor(IGraphicsLinux* g, int ms)
{
  PumpUntil(g, [] { return false; }, ms);
}

// The test's own connection, as another program on the display.
struct Peer
{
  Display* d = nullptr;
  Peer()
  {
    // The server may turn a connection away while it tears down earlier ones.
    for (int wait = 10; !(d = XOpenDisplay(nullptr)) && wait <= 640; wait *= 2) usleep(wait * 1000);
  }
  ~Peer()
  {
    if (d) XCloseDisplay(d);
  }
};

// Another program holding `text` in CLIPBOARD; it answers requests for it as
// UTF-8 from a thread of its own (unless `answers` is false) until it goes.
struct ClipboardOwner
{
  Peer peer;
  std::atomic<bool> done{false};
  std::thread serve;
  explicit ClipboardOwner(const std::string& text, bool answers = true)
  {
    const Window w = XCreateSimpleWindow(peer.d, DefaultRootWindow(peer.d), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(peer.d, "CLIPBOARD", False), utf8 = XInternAtom(peer.d, "UTF8_STRING", False);
    XSetSelectionOwner(peer.d, clipboard, w, CurrentTime);
    XSync(peer.d, False);
    if (!answers) return;
    serve = std::thread([this, text, utf8] {
      for (; !done; usleep(5000))
        while (XPending(peer.d))
        {
          XEvent ev;
          XNextEvent(peer.d, &ev);
          if (ev.type != SelectionRequest) continue;
          const XSelectionRequestEvent& rq = ev.xselectionrequest;
          XChangeProperty(peer.d, rq.requestor, rq.property, utf8, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
          XEvent note = {};
          note.xselection.type = SelectionNotify;
          note.xselection.requestor = rq.requestor;
          note.xselection.selection = rq.selection;
          note.xselection.target = rq.target;
          note.xselection.property = rq.property;
          note.xselection.time = rq.time;
          XSendEvent(peer.d, rq.requestor, False, 0, &note);
          XFlush(peer.d);
        }
    });
  }
  ~ClipboardOwner()
  {
    done = true;
    if (serve.joinable()) serve.join();
  }
};

// What CLIPBOARD holds, asked for as another program would while the view runs.
std::string ClipboardText(IGraphicsLinux* g)
{
  Peer peer;
  const Window w = XCreateSimpleWindow(peer.d, DefaultRootWindow(peer.d), 0, 0, 1, 1, 0, 0, 0);
  const Atom property = XInternAtom(peer.d, "PEER_PASTE", False);
  XConvertSelection(peer.d, XInternAtom(peer.d, "CLIPBOARD", False), XInternAtom(peer.d, "UTF8_STRING", False),
                    property, w, CurrentTime);
  XFlush(peer.d);
  XEvent ev;
  if (!PumpUntil(g, [&] { return XCheckTypedWindowEvent(peer.d, w, SelectionNotify, &ev) == True; }) ||
      ev.xselection.property == None)
    return "(no answer)";
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(peer.d, w, property, 0, 1 << 16, True, AnyPropertyType, &type, &format, &n, &after, &data) ==
          Success && data)
    text.assign(reinterpret_cast<char*>(data), n);
  if (data) XFree(data);
  return text;
}

// Pixels of `win` (w x h) that differ from the back buffer shown at `scale`.
int DifferingPixels(Display* d, Window win, LICE_IBitmap* back, int scale, const char* pngPath)
{
  const int w = back->getWidth() * scale, h = back->getHeight() * scale;
  XImage* image = XGetImage(d, win, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (!image) return -1;
  LICE_MemBitmap shot(w, h);
  int differing = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const unsigned long p = XGetPixel(image, x, y);
      const int r = static_cast<int>((p >> 16) & 0xff), g = static_cast<int>((p >> 8) & 0xff),
                b = static_cast<int>(p & 0xff);
      LICE_PutPixel(&shot, x, y, LICE_MakePixel(r, g, b, 255), 1.0f, 0);
      const LICE_PackedPixel want = LICE_GetPixel(back, x / scale, y / scale);
      if (r != LICE_PixelR(want) || g != LICE_PixelG(want) || b != LICE_PixelB(want)) ++differing;
    }
  XDestroyImage(image);
  if (pngPath) LICE_WritePNG(pngPath, &shot, false);
  return differing;
}

// A control covering the editor that records what reaches it.
class Probe : public IControl
{
public:
  Probe(IPlugBase* plug, IRECT r, int param = -1) : IControl(plug, r, param) {}
  bool Draw(IGraphics* g) override { return g->FillIRect(&COLOR_GRAY, &mRECT); }
  void OnMouseDown(int x, int y, IMouseMod* m) override { Note("down", x, y, m); }
  void OnMouseUp(int x, int y, IMouseMod* m) override { Note("up", x, y, m); }
  void OnMouseDrag(int x, int y, int, int, IMouseMod* m) override { Note("drag", x, y, m); }
  void OnMouseDblClick(int x, int y, IMouseMod* m) override { Note("dbl", x, y, m); }
  void OnMouseWheel(int x, int y, IMouseMod* m, int d) override { Note("wheel" + std::to_string(d), x, y, m); }
  void TextFromTextEntry(const char* text) override { entered.push_back(text); }
  bool OnKeyDown(int, int, int key) override
  {
    if (!takeKeys) return false;
    keys.push_back(key);
    return true;
  }
  void Note(const std::string& what, int x, int y, IMouseMod* m)
  {
    std::string mods;
    if (m->L) mods += 'L';
    if (m->R) mods += 'R';
    if (m->S) mods += 'S';
    if (m->C) mods += 'C';
    if (m->A) mods += 'A';
    events.push_back(what + " " + std::to_string(x) + "," + std::to_string(y) + " " + mods);
  }
  std::vector<std::string> events, entered;
  std::vector<int> keys;
  bool takeKeys = true;
};

// A test plug-in with a probe over its whole 200 x 150 editor.
struct ProbeEditor
{
  TestPlug plug;
  IGraphicsLinux* g = new IGraphicsLinux(&plug, 200, 150, 50);
  Probe* probe;
  // `param`: the parameter the probe stands for (-1 none).
  explicit ProbeEditor(int param = -1) : probe(new Probe(&plug, IRECT(0, 0, 200, 150), param))
  {
    g->AttachPanelBackground(&COLOR_BLACK);  // keys go to the controls above it
    g->AttachControl(probe);
    plug.AttachGraphics(g);
  }
  Window Open(void* parent = nullptr)
  {
    const Window w = IGraphicsLinux::XIDFromView(g->OpenWindow(parent));
    if (w && !parent) g->ShowTopLevel("probe");
    PumpFor(g, 150);
    return w;
  }
};

TEST(BridgeX11, MouseAndKeysReachTheEditorWithItsCoordinatesAndModifiers)
{
  ProbeEditor e;
  const Window w = e.Open();
  ASSERT_NE(w, 0u) << e.g->LastError();
  EXPECT_STREQ(e.g->GetGUIAPI(), "X11");
  const std::string win = " --window " + std::to_string(w) + " ";
  const struct
  {
    const char* xdotool;
    std::vector<std::string> events;
  } cases[] = {
      // A window pixel reaches the editor two pixels up and left of it.
      {"mousemove --sync%s50 40 click 1", {"down 48,38 L", "up 48,38 L"}},
      {"mousemove --sync%s10 20 click 3", {"down 8,18 R", "up 8,18 R"}},
      {"mousemove --sync%s4 149 keydown shift click 1 keyup shift", {"down 2,147 LS", "up 2,147 LS"}},
      {"mousemove --sync%s30 30 keydown ctrl keydown alt click 1 keyup alt keyup ctrl",
       {"down 28,28 LCA", "up 28,28 LCA"}},
      // Super makes a left click a right click.
      {"mousemove --sync%s40 30 keydown super click 1 keyup super", {"down 38,28 LR", "up 38,28 LR"}},
      {"mousemove --sync%s60 60 click --repeat 2 --delay 60 1", {"down 58,58 L", "up 58,58 L", "dbl 58,58 L", "up 58,58 L"}},
      {"mousemove --sync%s100 100 mousedown 1 mousemove --sync%s100 70 mouseup 1",
       {"down 98,98 L", "drag 98,68 L", "up 98,68 L"}},
      {"mousemove --sync%s70 80 click 4 click 5", {"wheel1 68,78 ", "wheel-1 68,78 "}},
  };
  // Consecutive cases click at least 5 pixels apart: no double clicks between them.
  for (const auto& c : cases)
  {
    e.probe->events.clear();
    std::string args = c.xdotool;
    for (size_t pos; (pos = args.find("%s")) != std::string::npos;) args.replace(pos, 2, win);
    Xdo(args);
    PumpUntil(e.g, [&] { return e.probe->events.size() >= c.events.size(); });
    PumpFor(e.g, 50);
    EXPECT_EQ(e.probe->events, c.events) << args;
  }

  // Keys: space, arrows, digits and letters (Control ignored); others unused.
  e.probe->keys.clear();
  Xdo("key --delay 20 space Up Right 7 b ctrl+c F5");
  PumpUntil(e.g, [&] { return e.probe->keys.size() >= 6; });
  PumpFor(e.g, 50);
  EXPECT_EQ(e.probe->keys, (std::vector<int>{KEY_SPACE, KEY_UPARROW, KEY_RIGHTARROW, KEY_DIGIT_0 + 7, KEY_ALPHA_A + 1,
                                             KEY_ALPHA_A + 2}));
}

// What the window shows equals the back buffer, at 1x and 2x, through shared
// memory and through XPutImage.
TEST(BridgeX11, WindowPixelsEqualTheBackBuffer)
{
  const char* shotDir = std::getenv("QUILL_SCREENSHOT_DIR");
  const struct
  {
    const char* scale;
    const char* noShm;
  } cases[] = {{"1", nullptr}, {"2", nullptr}, {"1", "1"}};
  for (const auto& c : cases)
  {
    setenv("QUILL_UI_SCALE", c.scale, 1);
    if (c.noShm) setenv("QUILL_X11_NO_SHM", c.noShm, 1);
    std::unique_ptr<IPlugAU> plug(MakePlug());
    // As a host leaves it before showing the editor.
    plug->SetSampleRate(44100.0);
    plug->Reset();
    plug->OnParamReset();
    IGraphicsLinux* g = dynamic_cast<IGraphicsLinux*>(plug->GetGUI());
    ASSERT_NE(g, nullptr);
    const Window w = IGraphicsLinux::XIDFromView(g->OpenWindow(nullptr));
    ASSERT_NE(w, 0u) << g->LastError();
    EXPECT_EQ(g->UsesSharedMemory(), c.noShm == nullptr);
    g->ShowTopLevel("QuillbarTremolo");
    PumpFor(g, 400);
    Peer peer;
    const int scale = std::atoi(c.scale);
    EXPECT_EQ(g->Scale(), scale);
    const std::string png = shotDir ? std::string(shotDir) + "/editor-" + c.scale + "x.png" : "";
    EXPECT_EQ(DifferingPixels(peer.d, w, g->GetDrawBitmap(), scale, shotDir && !c.noShm ? png.c_str() : nullptr), 0)
        << "scale " << c.scale;
    // A knob turned by the host: only its area is redrawn and copied.
    g->SetParameterFromPlug(1, 0.9, true);
    PumpFor(g, 200);
    EXPECT_EQ(DifferingPixels(peer.d, w, g->GetDrawBitmap(), scale, nullptr), 0) << "after a redraw at " << c.scale;
    g->CloseWindow();
    unsetenv("QUILL_UI_SCALE");
    unsetenv("QUILL_X11_NO_SHM");
  }
}

// Starts `quillbar-tremolo edit ARGS` with its output in `outPath`; its pid or -1.
pid_t SpawnEdit(const std::vector<std::string>& args, const std::string& outPath)
{
  std::vector<std::string> all = {QUILL_HOST_BINARY, "edit"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The visible window of process `pid` (0 when none shows up).
unsigned long WindowOf(pid_t pid)
{
  return std::strtoul(Xdo("search --sync --onlyvisible --pid " + std::to_string(pid)).c_str(), nullptr, 10);
}

// The exit status of `pid`, or -1 when it did not exit normally.
int ExitStatus(pid_t pid)
{
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A desktop that says Xft.dpi: 192 gets the double-size window by itself.
TEST(BridgeX11, HighDensityDesktopDoublesTheWindow)
{
  Peer desktop;
  const Atom resources = XInternAtom(desktop.d, "RESOURCE_MANAGER", False);
  const char value[] = "Xft.antialias:\t1\nXft.dpi:\t192\n";
  XChangeProperty(desktop.d, DefaultRootWindow(desktop.d), resources, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(value), sizeof(value) - 1);
  XSync(desktop.d, False);
  ProbeEditor e;
  const Window w = e.Open();
  XDeleteProperty(desktop.d, DefaultRootWindow(desktop.d), resources);
  XSync(desktop.d, False);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(e.g->Scale(), 2);
  XWindowAttributes a;
  XGetWindowAttributes(desktop.d, w, &a);
  EXPECT_EQ((std::vector<int>{a.width, a.height}), (std::vector<int>{400, 300}));
  // The mouse is mapped back: window pixel (100, 60) is editor pixel (48, 28).
  Xdo("mousemove --sync --window " + std::to_string(w) + " 100 60 click 1");
  PumpUntil(e.g, [&] { return !e.probe->events.empty(); });
  ASSERT_FALSE(e.probe->events.empty());
  EXPECT_EQ(e.probe->events.front(), "down 48,28 L");
}

// The standalone command end to end: clicks and drags shape the sound, Ctrl+Q
// closes the window and the state lands in the file render reads.
TEST(BridgeX11, EditCommandSavesWhatTheMouseDid)
{
  hosttest::ScratchDir dir;
  // Where the controls are, from the same editor made here.
  std::unique_ptr<IPlugAU> layout(MakePlug());
  auto index = [&](const char* name) {
    for (int i = 0; i < layout->NParams(); ++i)
      if (!std::strcmp(layout->GetParam(i)->GetNameForHost(), name)) return i;
    return -1;
  };
  const int kSync = index("TempoSync"), kDepthIdx = index("Depth"), kVolumeIdx = index("Volume");
  IRECT sync, depth, volume;
  for (int i = 0; i < layout->GetGUI()->GetNControls(); ++i)
  {
    IControl* c = layout->GetGUI()->GetControl(i);
    if (c->ParamIdx() == kSync) sync = *c->GetRECT();
    if (c->ParamIdx() == kDepthIdx) depth = *c->GetRECT();
    if (c->ParamIdx() == kVolumeIdx) volume = *c->GetRECT();
  }
  ASSERT_FALSE(sync.Empty() || depth.Empty() || volume.Empty());

  const std::string state = dir / "edited.aupreset";
  const pid_t pid = SpawnEdit({"--set", "Depth=0.2", "--set", "Volume=1.5", "--save-state", state}, dir / "out");
  ASSERT_GT(pid, 0);
  const std::string win = " --window " + std::to_string(WindowOf(pid)) + " ";
  auto at = [&](const IRECT& r, int dy = 0) {
    // Window pixels are two more than the editor's.
    return win + std::to_string(static_cast<int>(r.MW()) + 2) + " " + std::to_string(static_cast<int>(r.MH()) + 2 + dy);
  };
  // The window takes the events in order: each gesture is over before the next.
  Xdo("mousemove --sync" + at(sync) + " click 1");
  Xdo("mousemove --sync" + at(depth) + " mousedown 1 mousemove --sync" + at(depth, -30) + " mousemove --sync" +
      at(depth, -60) + " mouseup 1");
  Xdo("mousemove --sync" + at(volume) + " click --repeat 2 --delay 60 1");
  Xdo("key ctrl+q");
  ASSERT_EQ(ExitStatus(pid), 0) << hosttest::ReadText(dir / "out");

  HostUnit unit;
  std::string error;
  ASSERT_TRUE(unit.Open(&error)) << error;
  ASSERT_TRUE(unit.Configure(44100.0, 2, 512, HostTransport{}, &error)) << error;
  CFDictionaryRef info = ReadPresetFile(state, unit.Identity(), &error);
  ASSERT_NE(info, nullptr) << error;
  ASSERT_TRUE(unit.ApplyClassInfo(info, &error)) << error;
  CFRelease(info);
  auto value = [&](int id) {
    AudioUnitParameterValue v = -1;
    AudioUnitGetParameter(unit.Unit(), static_cast<AudioUnitParameterID>(id), kAudioUnitScope_Global, 0, &v);
    return static_cast<double>(v);
  };
  EXPECT_EQ(value(kSync), 1.0);
  // 60 pixels up the 60-pixel knob at gearing 4 adds 0.25.
  ASSERT_EQ(depth.H(), 60);
  EXPECT_NEAR(value(kDepthIdx), 0.45, 0.006);
  EXPECT_NEAR(value(kVolumeIdx), 1.0, 1e-6);  // the double click restored the default
}

// Every way of closing the window ends the command with the state saved.
TEST(BridgeX11, EditCommandClosesEveryWayWithTheStateSaved)
{
  hosttest::ScratchDir dir;
  const struct
  {
    const char* way;
    std::function<void(pid_t, unsigned long)> close;
  } cases[] = {
      {"SIGTERM", [](pid_t pid, unsigned long) { kill(pid, SIGTERM); }},
      {"SIGINT", [](pid_t pid, unsigned long) { kill(pid, SIGINT); }},
      {"window manager close",
       [](pid_t, unsigned long w) {
         Peer wm;
         XEvent ev = {};
         ev.xclient.type = ClientMessage;
         ev.xclient.window = w;
         ev.xclient.message_type = XInternAtom(wm.d, "WM_PROTOCOLS", False);
         ev.xclient.format = 32;
         ev.xclient.data.l[0] = static_cast<long>(XInternAtom(wm.d, "WM_DELETE_WINDOW", False));
         XSendEvent(wm.d, w, False, NoEventMask, &ev);
         XSync(wm.d, False);
       }},
  };
  for (const auto& c : cases)
  {
    const std::string state = dir / "state.aupreset";
    unlink(state.c_str());
    const pid_t pid = SpawnEdit({"--preset", "Gated", "--save-state", state}, dir / "out");
    ASSERT_GT(pid, 0);
    const unsigned long w = WindowOf(pid);
    EXPECT_NE(w, 0u) << c.way;
    c.close(pid, w);
    EXPECT_EQ(ExitStatus(pid), 0) << c.way << ": " << hosttest::ReadText(dir / "out");
    EXPECT_NE(hosttest::ReadText(state).find("Gated"), std::string::npos) << c.way;
  }
}

// When the X server goes away the command still saves what was set, and a
// view in a host would end without taking the host with it.
TEST(BridgeX11, EditCommandSurvivesTheServerGoingAway)
{
  hosttest::ScratchDir dir;
  // A server of our own, on a display number it picks.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string fd = std::to_string(fds[1]);
  const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24", nullptr};
  pid_t server = -1;
  ASSERT_EQ(posix_spawnp(&server, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  close(fds[1]);
  char number[16] = {};
  ASSERT_GT(read(fds[0], number, sizeof(number) - 1), 0);
  close(fds[0]);
  const std::string saved = std::getenv("DISPLAY");
  setenv("DISPLAY", (":" + std::to_string(std::atoi(number))).c_str(), 1);
  const std::string state = dir / "state.aupreset";
  const pid_t pid = SpawnEdit({"--preset", "Hard Pan", "--save-state", state}, dir / "out");
  const unsigned long w = WindowOf(pid);
  setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_NE(w, 0u);
  kill(server, SIGTERM);
  int status = 0;
  waitpid(server, &status, 0);
  EXPECT_EQ(ExitStatus(pid), 0) << hosttest::ReadText(dir / "out");
  EXPECT_NE(hosttest::ReadText(state).find("Hard Pan"), std::string::npos);
  EXPECT_NE(hosttest::ReadText(dir / "out").find("the X display went away"), std::string::npos);
}

// A prompt's text field takes only a number's characters, up to the
// control's length, and commits on Return.
TEST(BridgeX11, TextEntryFiltersAndCommitsOnReturn)
{
  ProbeEditor e(kGain);
  const Window w = e.Open();
  ASSERT_NE(w, 0u);
  IRECT r(20, 20, 120, 40);
  e.g->PromptUserInput(e.probe, e.plug.GetParam(kGain), &r);
  PumpFor(e.g, 100);
  Xdo("type --delay 20 '3a3.25z999'");
  PumpFor(e.g, 100);
  if (const char* dir = std::getenv("QUILL_SCREENSHOT_DIR"))
  {
    Peer peer;
    DifferingPixels(peer.d, w, e.g->GetDrawBitmap(), 1, (std::string(dir) + "/text-entry.png").c_str());
  }
  const double before = e.plug.GetParam(kGain)->Value();
  Xdo("key Return");
  PumpUntil(e.g, [&] { return e.plug.GetParam(kGain)->Value() != before; });
  // "33.2599": the letters refused, the length held to 7.
  EXPECT_NEAR(e.plug.GetParam(kGain)->Value(), 33.2599, 0.051);

  // A wheel turn closes an open field without applying it, then scrolls.
  e.g->PromptUserInput(e.probe, e.plug.GetParam(kGain), &r);
  PumpFor(e.g, 100);
  Xdo("type 77");
  PumpFor(e.g, 100);
  e.probe->events.clear();
  Xdo("mousemove --sync --window " + std::to_string(w) + " 60 100 click 5");
  PumpUntil(e.g, [&] { return !e.probe->events.empty(); });
  EXPECT_NEAR(e.plug.GetParam(kGain)->Value(), 33.2599, 0.051);
  EXPECT_EQ(e.probe->events, std::vector<std::string>{"wheel-1 58,98 "});
}

// The text field edits at its caret as desktop fields do: arrows, Home and
// End move it, never into a character's middle; Backspace and Delete erase on
// either side; a click places it; Shift selects; typing replaces a selection
// (the field opens with its text selected); Ctrl moves and erases by words;
// the clipboard is pasted from and copied to.
TEST(BridgeX11, TextEntryEditsAtTheCaret)
{
  ProbeEditor e(kGain);
  const Window w = e.Open();
  ASSERT_NE(w, 0u);
  IRECT r(20, 20, 120, 40);
  IText style;
  struct Case
  {
    int param;  // -1: a field without a parameter, whose text reaches the control
    std::vector<std::string> steps;  // xdotool commands; "click-start": a click on the field's left edge
    const char* committed;
    const char* held = nullptr;    // CLIPBOARD's text, held by another program during the steps
    const char* copied = nullptr;  // what CLIPBOARD holds afterwards
  };
  // A layout with keys for é and €, as European keyboards have them: for a
  // character the layout lacks, xdotool remaps a key and undoes that before
  // the view gets to read the key.
  Peer peer;
  {
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(peer.d, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(peer.d, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
    std::vector<KeySym> wanted = {XK_eacute, XK_EuroSign};
    for (int k = maxCode; k >= minCode && !wanted.empty(); --k)
      if (map[(k - minCode) * perCode] == NoSymbol)
      {
        XChangeKeyboardMapping(peer.d, k, 1, &wanted.back(), 1);
        wanted.pop_back();
      }
    XFree(map);
    XSync(peer.d, False);
    ASSERT_TRUE(wanted.empty());
  }
  const Case cases[] = {
      {kGain, {"type 12", "key Left", "type 3", "key Home Delete", "key End BackSpace"}, "3"},
      {-1, {"type aé€b", "key Left Left BackSpace", "type x"}, "ax€b"},
      {-1, {"type abcd", "click-start", "type x", "key shift+End", "type y"}, "xy"},
      {kGain, {"type 4", "key ctrl+v"}, "42", "x2\n"},  // pasted as typed: only a number's characters
      {-1, {"type alpha beta", "key ctrl+shift+Left", "key ctrl+c", "key ctrl+Left ctrl+Delete",
            "key End ctrl+v"},
       " betabeta", nullptr, "beta"},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.committed);
    const int number = static_cast<int>(&c - cases);
    if (c.param >= 0)
      e.g->PromptUserInput(e.probe, e.plug.GetParam(c.param), &r);
    else
      e.g->CreateTextEntry(e.probe, &style, &r, "", nullptr);
    PumpFor(e.g, 100);
    std::unique_ptr<ClipboardOwner> owner(c.held ? new ClipboardOwner(c.held) : nullptr);
    for (const std::string& step : c.steps)
    {
      if (step == "click-start")
        Xdo("mousemove --sync --window " + std::to_string(w) + " " + std::to_string(r.L + 3) + " " +
            std::to_string(r.T + 10) + " click 1");
      else
        Xdo(step.substr(0, 4) == "type" ? "type --delay 20 '" + step.substr(5) + "'" : step);
      PumpFor(e.g, 60);
    }
    if (const char* dir = std::getenv("QUILL_SCREENSHOT_DIR"))
      DifferingPixels(peer.d, w, e.g->GetDrawBitmap(), 1,
                      (std::string(dir) + "/text-entry-caret-" + std::to_string(number) + ".png").c_str());
    e.probe->entered.clear();
    const double before = e.plug.GetParam(kGain)->Value();
    Xdo("key Return");
    if (c.param >= 0)
    {
      PumpUntil(e.g, [&] { return e.plug.GetParam(kGain)->Value() != before; });
      EXPECT_DOUBLE_EQ(e.plug.GetParam(kGain)->Value(), std::atof(c.committed));
    }
    else
    {
      PumpUntil(e.g, [&] { return !e.probe->entered.empty(); });
      EXPECT_EQ(e.probe->entered, std::vector<std::string>{c.committed});
    }
    if (c.copied)
    {
      EXPECT_EQ(ClipboardText(e.g), c.copied);
    }
  }
}

// A new size reaches the window, which then shows the whole back buffer.
TEST(BridgeX11, ResizeResizesTheWindow)
{
  ProbeEditor e;
  const Window w = e.Open();
  ASSERT_NE(w, 0u);
  e.g->Resize(260, 120);
  e.g->SetAllControlsDirty();
  PumpFor(e.g, 200);
  Peer peer;
  Window root;
  int x, y;
  unsigned width, height, border, depth;
  XGetGeometry(peer.d, w, &root, &x, &y, &width, &height, &border, &depth);
  EXPECT_EQ(width, 260u);
  EXPECT_EQ(height, 120u);
  EXPECT_EQ(DifferingPixels(peer.d, w, e.g->GetDrawBitmap(), 1, nullptr), 0);
}

// A resting pointer shows the tooltip of the control under it (only with
// tooltips enabled); a hidden pointer comes back where it was hidden.
TEST(BridgeX11, TooltipsAndTheHiddenPointer)
{
  ProbeEditor e;
  e.probe->SetTooltip("Gain of the probe");
  e.g->EnableTooltips(true);
  const Window w = e.Open();
  ASSERT_NE(w, 0u);
  const std::string win = " --window " + std::to_string(w) + " ";
  Xdo("mousemove --sync" + win + "40 40");
  PumpFor(e.g, 900);
  EXPECT_NE(Xdo("search --name '^quill-tooltip$'"), "");
  Xdo("click 1");
  PumpFor(e.g, 100);
  EXPECT_EQ(Xdo("search --name '^quill-tooltip$'"), "");

  const std::string before = Xdo("getmouselocation --shell");
  e.g->HideMouseCursor();
  Xdo("mousemove --sync 700 600");
  e.g->ShowMouseCursor();
  PumpFor(e.g, 50);
  EXPECT_EQ(Xdo("getmouselocation --shell").substr(0, 10), before.substr(0, 10));  // X=..\nY=..
}

// Runs `script` (xdotool commands in a shell) beside a modal call. With
// QUILL_SCREENSHOT_DIR set, the window named `shotOf` is first written there
// as `shotOf`.png.
struct Beside
{
  std::thread t;
  explicit Beside(const std::string& script, const char* shotOf = nullptr)
    : t([script, shotOf] {
        const char* dir = std::getenv("QUILL_SCREENSHOT_DIR");
        if (dir && shotOf)
        {
          const std::string id = Xdo(std::string("search --sync --name '^") + shotOf + "$'");
          usleep(200 * 1000);
          Peer peer;
          const Window w = std::strtoul(id.c_str(), nullptr, 10);
          XWindowAttributes a;
          if (peer.d && XGetWindowAttributes(peer.d, w, &a))
          {
            LICE_MemBitmap back(a.width, a.height);
            DifferingPixels(peer.d, w, &back, 1, (std::string(dir) + "/" + shotOf + ".png").c_str());
          }
        }
        (void)!std::system(script.c_str());
      })
  {
  }
  ~Beside() { t.join(); }
};

TEST(BridgeX11, PopupMenuChoosesAnItemAndAClickOutsideChoosesNothing)
{
  ProbeEditor e;
  ASSERT_NE(e.Open(), 0u);
  IPopupMenu menu;
  menu.AddItem("Sine");
  menu.AddItem("Tri");
  menu.AddItem("Square", -1, IPopupMenuItem::kDisabled);
  IRECT r(10, 10, 60, 30);
  {
    // The second item is 2 + 18 + 9 pixels down the menu.
    Beside user("w=$(timeout 20 xdotool search --sync --name '^quill-menu$' | head -1); "
                "xdotool mousemove --sync --window $w 30 29 click 1",
                "quill-menu");
    IPopupMenu* chosen = e.g->CreateIPopupMenu(&menu, &r);
    ASSERT_EQ(chosen, &menu);
    EXPECT_EQ(menu.GetChosenItemIdx(), 1);
  }
  {
    Beside user("timeout 20 xdotool search --sync --name '^quill-menu$' >/dev/null; xdotool mousemove --sync 900 900 click 1");
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), nullptr);
  }
  {
    // Resting on "More" opens its submenu to the right; its second item is chosen.
    IPopupMenu more;
    more.AddItem("Saw");
    more.AddItem("Noise");
    menu.AddSeparator();
    menu.AddItem("More", &more);
    Beside user("w=$(timeout 20 xdotool search --sync --name '^quill-menu$' | head -1); "
                "xdotool mousemove --sync --window $w 30 $((2 + 3 * 18 + 7 + 9)); sleep 0.3; "
                "s=$(xdotool search --name '^quill-submenu$' | head -1); "
                "if [ -n \"$s\" ]; then xdotool mousemove --sync --window $s 30 29 click 1; else xdotool key Escape; fi");
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), &more);
    EXPECT_EQ(more.GetChosenItemIdx(), 1);
  }
}

TEST(BridgeX11, MessageBoxAnswersWithTheButtonCodes)
{
  ProbeEditor e;
  ASSERT_NE(e.Open(), 0u);
  const struct
  {
    int type;
    const char* user;
    int result;
  } cases[] = {
      {4, "key Return", 1},
      {3, "key Escape", 2},
      // Second of two buttons 80 wide, right-aligned with 8 between: No.
      {4, "mousemove --sync --window $w 300 $(( $(xdotool getwindowgeometry $w | sed -n 's/.*x//p') - 20 )) click 1", 7},
  };
  for (const auto& c : cases)
  {
    Beside user(std::string("w=$(timeout 20 xdotool search --sync --name '^quill-message$' | head -1); xdotool ") + c.user,
                c.type == 3 ? "quill-message" : nullptr);
    EXPECT_EQ(e.g->ShowMessageBox("Overwrite the file?", "Save", c.type), c.result) << c.user;
  }
}

// A parent window made here receives the view as a child at its origin;
// clicks inside reach the editor, keys it does not use come back to the
// parent, and the parent's destruction ends the view quietly.
TEST(BridgeX11, EmbedsInAParentWindow)
{
  Peer host;
  ASSERT_NE(host.d, nullptr);
  const Window parent = XCreateSimpleWindow(host.d, DefaultRootWindow(host.d), 100, 80, 300, 250, 0, 0, 0);
  XSelectInput(host.d, parent, KeyPressMask);
  XMapWindow(host.d, parent);
  XSync(host.d, False);

  ProbeEditor e;
  e.probe->takeKeys = false;
  const Window view = e.Open(IGraphicsLinux::ParentFromXID(parent));
  ASSERT_NE(view, 0u) << e.g->LastError();
  Window rootRet, parentRet, *children = nullptr;
  unsigned n = 0;
  XQueryTree(host.d, parent, &rootRet, &parentRet, &children, &n);
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(children[0], view);
  XFree(children);
  int x, y;
  unsigned w, h, border, depth;
  XGetGeometry(host.d, view, &rootRet, &x, &y, &w, &h, &border, &depth);
  EXPECT_EQ((std::vector<int>{x, y, static_cast<int>(w), static_cast<int>(h)}), (std::vector<int>{0, 0, 200, 150}));

  Xdo("mousemove --sync 130 100 click 1");  // parent (30, 20)
  PumpUntil(e.g, [&] { return e.probe->events.size() >= 2; });
  EXPECT_EQ(e.probe->events.front(), "down 28,18 L");
  Xdo("key F5");
  PumpFor(e.g, 100);
  XEvent ev;
  bool parentGotKey = false;
  for (int i = 0; i < 100 && !parentGotKey; ++i, usleep(10000))
    while (XCheckTypedWindowEvent(host.d, parent, KeyPress, &ev)) parentGotKey = true;
  EXPECT_TRUE(parentGotKey);

  // A legacy host window: the view sits centred along its top.
  e.g->CloseWindow();
  e.g->AttachSubWindow(IGraphicsLinux::ParentFromXID(parent));
  ASSERT_NE(e.g->GetWindow(), nullptr);
  XGetGeometry(host.d, IGraphicsLinux::XIDFromView(e.g->GetWindow()), &rootRet, &x, &y, &w, &h, &border, &depth);
  EXPECT_EQ((std::vector<int>{x, y}), (std::vector<int>{50, 0}));

  XDestroyWindow(host.d, parent);
  XSync(host.d, False);
  EXPECT_TRUE(PumpUntil(e.g, [&] { return e.g->CloseRequested(); }));
  EXPECT_EQ(e.g->GetWindow(), nullptr);  // closed itself
  e.g->CloseWindow();
}

// The file dialog runs zenity, else kdialog: stand-ins, alone on PATH so that
// tools installed on the machine stay out of it, record their arguments (one
// a line) and answer as the user would; xdg-open answers OpenURL.
TEST(BridgeX11, FileDialogAndUrlRunTheDesktopTools)
{
  hosttest::ScratchDir dir;
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  // A folder holding only `tool`, a script that records its arguments, prints `answer` and exits with `status`.
  auto standIn = [&](const std::string& folder, const std::string& tool, const std::string& answer, int status) {
    const std::string bin = dir / folder;
    mkdir(bin.c_str(), 0755);
    FILE* f = fopen((bin + "/" + tool).c_str(), "w");
    if (!f) return;
    fprintf(f, "#!/bin/sh\nprintf '%%s\\n' \"$@\" > %s\n", hosttest::Quote(dir / "args").c_str());
    if (!answer.empty()) fprintf(f, "echo %s\n", hosttest::Quote(answer).c_str());
    fprintf(f, "exit %d\n", status);
    fclose(f);
    chmod((bin + "/" + tool).c_str(), 0755);
    setenv("PATH", bin.c_str(), 1);
  };

  ProbeEditor e;
  ASSERT_NE(e.Open(), 0u);
  const struct
  {
    const char* tool;
    EFileAction action;
    const char* answer;
    int status;
    const char* file;  // the result; a saved file gets an allowed extension
    const char* folder;
    const char* args;
  } cases[] = {
      {"zenity", kFileSave, "/music/take", 0, "/music/take.fxp", "/music/",
       "--file-selection\n--filename=/music/take\n--save\n--confirm-overwrite\n--file-filter=*.fxp *.aupreset\n"},
      {"kdialog", kFileOpen, "/music/loops/other.aupreset", 0, "/music/loops/other.aupreset", "/music/loops/",
       "--getopenfilename\n/music/take\n*.fxp *.aupreset\n"},
      // Cancelled: nothing chosen, the folder kept.
      {"kdialog", kFileSave, "", 1, "", "/music", "--getsavefilename\n/music/take\n*.fxp *.aupreset\n"},
  };
  for (const auto& c : cases)
  {
    const std::string row = std::to_string(&c - cases);
    standIn(row, c.tool, c.answer, c.status);
    WDL_String file("take"), folder("/music");
    char types[] = "fxp aupreset";
    e.g->PromptForFile(&file, c.action, &folder, types);
    EXPECT_STREQ(file.Get(), c.file) << row;
    EXPECT_STREQ(folder.Get(), c.folder) << row;
    EXPECT_EQ(hosttest::ReadText(dir / "args"), c.args) << row;
  }

  standIn("url", "xdg-open", "", 0);
  EXPECT_TRUE(e.g->OpenURL("https://example.org/manual"));
  EXPECT_EQ(hosttest::ReadText(dir / "args"), "https://example.org/manual\n");
  EXPECT_FALSE(e.g->OpenURL("http://bad address"));
  setenv("PATH", path.c_str(), 1);
}

// Text another program holds in the CLIPBOARD selection, as UTF-8; an owner
// that never answers gives nothing, after a bounded wait.
TEST(BridgeX11, ClipboardTextFromAnotherProgram)
{
  ProbeEditor e;
  ASSERT_NE(e.Open(), 0u);
  WDL_String text("stale");
  EXPECT_FALSE(e.g->GetTextFromClipboard(&text));  // nobody holds it
  EXPECT_STREQ(text.Get(), "");
  {
    ClipboardOwner owner("0.75 Hz");
    EXPECT_TRUE(e.g->GetTextFromClipboard(&text));
    EXPECT_STREQ(text.Get(), "0.75 Hz");
  }
  ClipboardOwner silent("never sent", false);
  text.Set("stale");
  EXPECT_FALSE(e.g->GetTextFromClipboard(&text));
  EXPECT_STREQ(text.Get(), "");
}

// Opening and closing the view many times leaves nothing behind (the
// AddressSanitizer build checks for leaks at exit).
TEST(BridgeX11, OpensAndClosesAHundredTimes)
{
  ProbeEditor e;
  for (int i = 0; i < 100; ++i)
  {
    void* view = e.g->OpenWindow(nullptr);
    ASSERT_NE(view, nullptr) << e.g->LastError() << " at " << i;
    e.g->ShowTopLevel("probe");
    e.g->Idle();
    e.g->CloseWindow();
  }
  EXPECT_EQ(e.g->GetWindow(), nullptr);
}

}  // namespace
