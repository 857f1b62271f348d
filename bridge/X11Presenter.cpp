#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bridge/X11Support.h"

#include <X11/Xutil.h>

#include "bridge/X11Calls.h"

namespace
{
int sShmError = 0;
int CatchShmError(Display*, XErrorEvent* e)
{
  sShmError = e->error_code;
  return 0;
}

bool HostIsLittleEndian()
{
  const uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}
}  // namespace

bool X11Presenter::Init(Display* dpy, Visual* visual, int depth, int w, int h)
{
  Release();
  mDpy = dpy;
  if (w <= 0 || h <= 0) return false;
  const char* noShm = std::getenv("QUILL_X11_NO_SHM");
  if ((!noShm || !noShm[0]) && XShmQueryExtension(dpy))
  {
    mImage = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &mShm,
                             static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (mImage)
    {
      mShm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(mImage->bytes_per_line) * mImage->height, IPC_CREAT | 0600);
      void* addr = mShm.shmid >= 0 ? shmat(mShm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (addr != reinterpret_cast<void*>(-1))
      {
        mShm.shmaddr = mImage->data = static_cast<char*>(addr);
        mShm.readOnly = False;
        // A server on another machine cannot attach: find out now, quietly.
        XSync(dpy, False);
        sShmError = 0;
        XErrorHandler previous = XSetErrorHandler(CatchShmError);
        const Status attached = XShmAttach(dpy, &mShm);
        XSync(dpy, False);
        XSetErrorHandler(previous);
        // Marked for removal now, so the segment goes with the last user.
        shmctl(mShm.shmid, IPC_RMID, nullptr);
        if (attached && !sShmError)
          mShared = true;
        else
          shmdt(addr);
      }
      else if (mShm.shmid >= 0)
      {
        shmctl(mShm.shmid, IPC_RMID, nullptr);
      }
      if (!mShared)
      {
        mImage->data = nullptr;
        XDestroyImage(mImage);
        mImage = nullptr;
        mShm = {};
      }
    }
  }
  if (!mImage)
  {
    mImage = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, static_cast<unsigned>(w),
                          static_cast<unsigned>(h), 32, 0);
    if (!mImage) return false;
    mImage->data = static_cast<char*>(std::calloc(static_cast<size_t>(mImage->bytes_per_line), static_cast<size_t>(h)));
    if (!mImage->data)
    {
      XDestroyImage(mImage);
      mImage = nullptr;
      return false;
    }
  }
  const bool nativeOrder = (mImage->byte_order == LSBFirst) == HostIsLittleEndian();
  mFastPath = mImage->bits_per_pixel == 32 && nativeOrder && mImage->red_mask == 0xff0000 &&
              mImage->green_mask == 0xff00 && mImage->blue_mask == 0xff;
  return true;
}

void X11Presenter::Release(bool connectionLost)
{
  if (!mImage) return;
  if (mShared)
  {
    if (!connectionLost)
    {
      XShmDetach(mDpy, &mShm);
      XSync(mDpy, False);
    }
    mImage->data = nullptr;
    XDestroyImage(mImage);
    shmdt(mShm.shmaddr);
  }
  else
  {
    XDestroyImage(mImage);  // frees the pixel memory too
  }
  mImage = nullptr;
  mShared = false;
  mShm = {};
}

void X11Presenter::Convert(LICE_IBitmap* src, IRECT r, int scale)
{
  const int span = src->getRowSpan();
  const LICE_PackedPixel* bits = src->getBits();
  for (int y = r.T; y < r.B; ++y)
  {
    const LICE_PackedPixel* row = bits + static_cast<ptrdiff_t>(y) * span;
    for (int sy = 0; sy < scale; ++sy)
    {
      const int dy = y * scale + sy;
      if (mFastPath)
      {
        uint32_t* out = reinterpret_cast<uint32_t*>(mImage->data + static_cast<ptrdiff_t>(dy) * mImage->bytes_per_line);
        for (int x = r.L; x < r.R; ++x)
        {
          const LICE_PackedPixel p = row[x];
          const uint32_t rgb = static_cast<uint32_t>(LICE_PixelR(p)) << 16 |
                               static_cast<uint32_t>(LICE_PixelG(p)) << 8 | static_cast<uint32_t>(LICE_PixelB(p));
          for (int sx = 0; sx < scale; ++sx) out[x * scale + sx] = rgb;
        }
      }
      else
      {
        for (int x = r.L; x < r.R; ++x)
        {
          const LICE_PackedPixel p = row[x];
          // Each channel scaled into its mask, whatever the visual's layout.
          unsigned long pixel = 0;
          const unsigned long masks[3] = {mImage->red_mask, mImage->green_mask, mImage->blue_mask};
          const int values[3] = {LICE_PixelR(p), LICE_PixelG(p), LICE_PixelB(p)};
          for (int c = 0; c < 3; ++c)
          {
            unsigned long mask = masks[c];
            if (!mask) continue;
            int shift = 0;
            while (!(mask & 1)) mask >>= 1, ++shift;
            pixel |= ((static_cast<unsigned long>(values[c]) * mask + 127) / 255) << shift;
          }
          for (int sx = 0; sx < scale; ++sx) XPutPixel(mImage, x * scale + sx, dy, pixel);
        }
      }
    }
  }
}

void X11Presenter::Put(Window win, GC gc, LICE_IBitmap* src, IRECT r, int scale, int dx, int dy)
{
  if (!mImage || !src) return;
  // Only what both the source and the image hold.
  r.L = std::max(r.L, 0);
  r.T = std::max(r.T, 0);
  r.R = std::min({r.R, src->getWidth(), mImage->width / scale});
  r.B = std::min({r.B, src->getHeight(), mImage->height / scale});
  if (r.L >= r.R || r.T >= r.B) return;
  Convert(src, r, scale);
  const int x = r.L * scale, y = r.T * scale;
  const unsigned w = static_cast<unsigned>(r.W() * scale), h = static_cast<unsigned>(r.H() * scale);
  if (mShared)
  {
    XShmPutImage(mDpy, win, gc, mImage, x, y, dx + x, dy + y, w, h, False);
    XSync(mDpy, False);  // the next frame may not overwrite what is still being read
  }
  else
  {
    XPutImage(mDpy, win, gc, mImage, x, y, dx + x, dy + y, w, h);
    XFlush(mDpy);
  }
}
