#include "editor/IGraphicsHeadless.h"

#include <dlfcn.h>
#include <unistd.h>

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <QuillPlatform.h>

#include "editor/IPopupMenu.h"

namespace
{
std::mutex s_defaultFolderMutex;
std::string& DefaultFolder()
{
  static std::string folder;
  return folder;
}

std::string DirectoryOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ExecutableDir()
{
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  return DirectoryOf(buf);
}

// The file holding this code: the executable when linked statically, the
// shared object when built into one.
std::string ModuleDir()
{
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&ModuleDir), &info) && info.dli_fname && info.dli_fname[0] == '/')
    return DirectoryOf(info.dli_fname);
  return ExecutableDir();
}

bool FileExists(const std::string& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

const char* LastComponent(const char* name)
{
  const char* slash = std::strrchr(name, '/');
  return slash ? slash + 1 : name;
}
}  // namespace

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int width, int height, int fps)
  : IGraphics(plug, width, height, fps)
{
}

IGraphicsHeadless::~IGraphicsHeadless() { CloseWindow(); }

bool IGraphicsHeadless::DrawScreen(IRECT* r)
{
  ++mDrawScreenCalls;
  if (r) mLastScreenRECT = *r;
  return true;
}

void IGraphicsHeadless::ForceEndUserEdit() { mEntry = TextEntry(); }

const char* IGraphicsHeadless::GetGUIAPI() { return "Headless"; }

int IGraphicsHeadless::ShowMessageBox(const char* text, const char*, int)
{
  mLastMessage = text ? text : "";
  if (mMessageBoxAnswers.empty()) return 0;
  const int answer = mMessageBoxAnswers.front();
  mMessageBoxAnswers.pop_front();
  return answer;
}

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, IRECT*)
{
  if (!menu) return nullptr;
  ++mMenusShown;
  mLastMenu.clear();
  const char* prefix = menu->GetPrefixFormat();
  for (int i = 0; i < menu->GetNItems(); ++i)
  {
    const IPopupMenuItem* item = menu->GetItem(i);
    std::string title;
    if (prefix && !item->GetIsSeparator())
    {
      char number[16];
      std::snprintf(number, sizeof(number), prefix, i + 1);
      title = number;
    }
    title += item->GetText();
    mLastMenu.push_back({title, item->GetFlags()});
  }

  if (mMenuChoices.empty()) return nullptr;
  const int choice = mMenuChoices.front();
  mMenuChoices.pop_front();
  const IPopupMenuItem* chosen = menu->GetItem(choice);
  if (!chosen || !chosen->GetEnabled() || chosen->GetIsSeparator()) return nullptr;
  menu->SetChosenItemIdx(choice);
  return menu;
}

void IGraphicsHeadless::CreateTextEntry(IControl* control, IText*, IRECT* area, const char* initial, IParam* param)
{
  if (!control) return;
  ++mEntriesShown;
  mEntry.open = true;
  mEntry.control = control;
  mEntry.param = param;
  mEntry.rect = area ? *area : IRECT();
  mEntry.initial = initial ? initial : "";
  mLastEntryRECT = mEntry.rect;
  mLastEntryInitial = mEntry.initial;
  if (!mTextAnswers.empty())
  {
    const std::string answer = mTextAnswers.front();
    mTextAnswers.pop_front();
    CommitTextEntry(answer.c_str());
  }
}

bool IGraphicsHeadless::CommitTextEntry(const char* text)
{
  if (!mEntry.open) return false;
  DeliverText(text ? text : "");
  return true;
}

void IGraphicsHeadless::DeliverText(const char* text)
{
  TextEntry entry = mEntry;
  mEntry = TextEntry();  // closed before delivery, so the control may open another
  std::string typed(text);
  // The field accepts no more characters than the control allows.
  const int maxLen = entry.control->GetTextEntryLength();
  if (maxLen > 0 && typed.size() > static_cast<size_t>(maxLen)) typed.resize(maxLen);
  if (entry.param)
    SetFromStringAfterPrompt(entry.control, entry.param, &typed[0]);
  else
    entry.control->TextFromTextEntry(typed.c_str());
}

void IGraphicsHeadless::HostPath(WDL_String* path)
{
  if (path) path->Set(ExecutableDir().c_str());
}

void IGraphicsHeadless::PluginPath(WDL_String* path)
{
  if (path) path->Set(ModuleDir().c_str());
}

void IGraphicsHeadless::DesktopPath(WDL_String* path)
{
  if (!path) return;
  const char* home = std::getenv("HOME");
  path->Set(home ? (std::string(home) + "/Desktop").c_str() : "");
}

void IGraphicsHeadless::AppSupportPath(WDL_String* path, bool)
{
  if (!path) return;
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (data && data[0])
    path->Set(data);
  else
    path->Set(home ? (std::string(home) + "/.local/share").c_str() : "");
}

void IGraphicsHeadless::SandboxSafeAppSupportPath(WDL_String* path) { AppSupportPath(path, false); }

void IGraphicsHeadless::PromptForFile(WDL_String* file, EFileAction, WDL_String*, char*)
{
  if (file) file->Set("");
}

bool IGraphicsHeadless::PromptForColor(IColor*, char*) { return false; }
bool IGraphicsHeadless::OpenURL(const char*, const char*, const char*, const char*) { return false; }
void* IGraphicsHeadless::OpenWindow(void*)
{
  NSView* view = reinterpret_cast<NSView*>(&mView);
  if (!mViewOpen) mViewOpen = QuillRegisterOffscreenView(view, Width(), Height(), &DrawView, this);
  return mViewOpen ? view : nullptr;
}

void IGraphicsHeadless::CloseWindow()
{
  if (!mViewOpen) return;
  QuillUnregisterOffscreenView(reinterpret_cast<NSView*>(&mView));
  mViewOpen = false;
}

void* IGraphicsHeadless::GetWindow() { return mViewOpen ? &mView : nullptr; }

bool IGraphicsHeadless::DrawView(void* refCon, uint32_t* pixels, int width, int height)
{
  IGraphicsHeadless* g = static_cast<IGraphicsHeadless*>(refCon);
  LICE_IBitmap* bmp = g->GetDrawBitmap();
  if (!bmp || bmp->getWidth() < width || bmp->getHeight() < height) return false;
  // A strict pass over the whole editor, background first, as a window's
  // first paint would; the editor's own drawing mode is put back.
  const bool wasStrict = g->GetStrictDrawing();
  g->SetStrictDrawing(true);
  IRECT all(0, 0, g->Width(), g->Height());
  const bool drawn = g->Draw(&all);
  if (!wasStrict) g->SetStrictDrawing(false);
  if (!drawn) return false;
  const LICE_PackedPixel* bits = bmp->getBits();
  const int span = bmp->getRowSpan();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
    {
      const LICE_PackedPixel p = bits[y * span + x];
      pixels[y * width + x] = (static_cast<uint32_t>(LICE_PixelA(p)) << 24) |
                              (static_cast<uint32_t>(LICE_PixelR(p)) << 16) |
                              (static_cast<uint32_t>(LICE_PixelG(p)) << 8) | static_cast<uint32_t>(LICE_PixelB(p));
    }
  return true;
}

std::string IGraphicsHeadless::BundleResource(const char* file) const
{
  // Only PNG files are skin images; the resource is named without the
  // extension and looked up by type.
  const char* dot = std::strrchr(file, '.');
  if (mBundleID.empty() || !dot || strcasecmp(dot + 1, "png") != 0) return "";
  CFStringRef id = CFStringCreateWithCString(kCFAllocatorDefault, mBundleID.c_str(), kCFStringEncodingUTF8);
  CFBundleRef bundle = id ? CFBundleGetBundleWithIdentifier(id) : nullptr;
  if (id) CFRelease(id);
  if (!bundle) return "";
  const std::string base(file, dot);
  CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, base.c_str(), kCFStringEncodingUTF8);
  CFURLRef url = name ? CFBundleCopyResourceURL(bundle, name, CFSTR("png"), nullptr) : nullptr;
  if (name) CFRelease(name);
  if (!url) return "";
  char path[4096];
  const bool ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path), sizeof(path));
  CFRelease(url);
  return ok ? std::string(path) : std::string();
}

bool IGraphicsHeadless::GetTextFromClipboard(WDL_String* text)
{
  if (text) text->Set("");
  return false;
}

void IGraphicsHeadless::UpdateTooltips() {}

void IGraphicsHeadless::SetDefaultResourceFolder(const char* dir)
{
  std::lock_guard<std::mutex> lock(s_defaultFolderMutex);
  DefaultFolder() = dir ? dir : "";
}

std::string IGraphicsHeadless::ResolveResource(const char* name) const
{
  if (!name || !name[0]) return "";
  const char* file = LastComponent(name);
  if (!file[0]) return "";

  std::vector<std::string> folders;
  if (!mResourceFolder.empty())
  {
    folders.push_back(mResourceFolder);
  }
  else if (std::string inBundle = BundleResource(file); !inBundle.empty())
  {
    return inBundle;
  }
  else
  {
    std::string defaultFolder;
    {
      std::lock_guard<std::mutex> lock(s_defaultFolderMutex);
      defaultFolder = DefaultFolder();
    }
    if (!defaultFolder.empty())
    {
      folders.push_back(defaultFolder);
    }
    else
    {
      const std::string module = ModuleDir();
      folders.push_back(module + "/resources");
      folders.push_back(module + "/resources/img");
    }
  }
  for (const std::string& folder : folders)
  {
    const std::string path = folder + "/" + file;
    if (FileExists(path)) return path;
  }
  return "";
}

LICE_IBitmap* IGraphicsHeadless::OSLoadBitmap(int, const char* name)
{
  const std::string path = ResolveResource(name);
  if (path.empty()) return nullptr;
  // Only the header is read now: a plug-in opened to render audio never draws
  // its editor, so the pixels are decoded when a control first draws them.
  return LICE_LazyPNGBitmap::Open(path.c_str());
}
