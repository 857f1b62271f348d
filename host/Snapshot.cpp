#include "host/Snapshot.h"

#include <QuillPlatform.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "host/HostUnit.h"
#include "host/OutputFile.h"
#include "raster/lice_bitmap.h"
#include "raster/lice_png_write.h"

namespace
{

// Owner of the CocoaUI answer: the bundle URL and class name belong to the
// host once read.
struct CocoaViewInfo
{
  CFURLRef bundle = nullptr;
  CFStringRef className = nullptr;
  ~CocoaViewInfo()
  {
    if (bundle) CFRelease(bundle);
    if (className) CFRelease(className);
  }
};

// Writes width x height 0xAARRGGBB pixels as an RGB PNG file.
bool WritePixels(const std::vector<uint32_t>& pixels, int width, int height, const char* path)
{
  LICE_MemBitmap bitmap(width, height);
  if (bitmap.getWidth() != width || bitmap.getHeight() != height) return false;
  LICE_PackedPixel* bits = bitmap.getBits();
  const int span = bitmap.getRowSpan();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
    {
      const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      bits[y * span + x] = LICE_MakePixel((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, p >> 24);
    }
  return LICE_WritePNG(path, &bitmap, false);
}

} // namespace

NSView* OpenEditorView(HostUnit& unit, std::string* error)
{
  AudioUnit au = unit.Unit();
  UInt32 size = 0;
  if (!au || AudioUnitGetPropertyInfo(au, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, nullptr) !=
                 noErr || size < sizeof(AudioUnitCocoaViewInfo))
  {
    *error = "the plug-in offers no editor view";
    return nullptr;
  }
  AudioUnitCocoaViewInfo raw{};
  size = sizeof raw; // one class is all a host uses
  if (AudioUnitGetProperty(au, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &raw, &size) != noErr)
  {
    *error = "the plug-in offers no editor view";
    return nullptr;
  }
  CocoaViewInfo info{raw.mCocoaAUViewBundleLocation, raw.mCocoaAUViewClass[0]};
  char className[256] = "";
  if (!info.className || !CFStringGetCString(info.className, className, sizeof className, kCFStringEncodingUTF8))
  {
    *error = "the plug-in names no view factory class";
    return nullptr;
  }

  // As a Cocoa host does: find the factory class by name, check its protocol
  // version, ask it for a view of the unit. The view belongs to the unit's
  // editor and lives as long as the unit is open.
  std::unique_ptr<AUCocoaUIBase> factory(QuillCreateViewFactory(className));
  if (!factory || factory->interfaceVersion() != 0)
  {
    *error = std::string("no usable view factory class \"") + className + "\"";
    return nullptr;
  }
  NSView* view = factory->uiViewForAudioUnit(au, NSSize{863, 468});
  if (!view)
  {
    *error = "the view factory opened no view";
    return nullptr;
  }
  return view;
}

bool SnapshotEditor(HostUnit& unit, const std::string& path, std::string* error)
{
  const std::string cannot = "cannot draw the editor into " + path + ": ";
  NSView* view = OpenEditorView(unit, error);
  if (!view)
  {
    *error = cannot + *error;
    return false;
  }
  // Without a window system the view draws off-screen and hands its picture
  // over through the platform.
  int width = 0, height = 0;
  if (!QuillGetOffscreenViewSize(view, &width, &height))
  {
    *error = cannot + "its view cannot be drawn off-screen";
    return false;
  }
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  if (!QuillDrawOffscreenView(view, pixels.data(), pixels.size()))
  {
    *error = cannot + "its view failed to draw";
    return false;
  }
  OutputFile out;
  if (!out.Open(path, error)) return false;
  if (!WritePixels(pixels, width, height, out.TempPath().c_str()))
  {
    *error = cannot + "encoding failed";
    return false;
  }
  return out.Commit(error);
}
