// Test helpers for the raster drawing tests: a bitmap view over memory with a
// guard border, so that every test can check nothing was written outside.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "raster/lice_bitmap.h"

namespace rastertest {

/// LICE_IBitmap over memory the test owns; may report itself flipped.
class ViewBitmap : public LICE_IBitmap {
 public:
  ViewBitmap(LICE_pixel* bits, int w, int h, int span, bool flipped)
      : m_bits(bits), m_w(w), m_h(h), m_span(span), m_flipped(flipped) {}
  LICE_pixel* getBits() const override { return m_bits; }
  int getWidth() const override { return m_w; }
  int getHeight() const override { return m_h; }
  int getRowSpan() const override { return m_span; }
  bool isFlipped() const override { return m_flipped; }
  bool resize(int, int) override { return false; }

 private:
  LICE_pixel* m_bits;
  int m_w, m_h, m_span;
  bool m_flipped;
};

/// A w by h bitmap inside a larger block whose border (and row padding) is
/// filled with a guard value.
class Guarded {
 public:
  static constexpr int kBorder = 4;
  static constexpr LICE_pixel kGuard = 0xA5C3E1F7u;

  Guarded(int w, int h, bool flipped = false)
      : m_w(w), m_h(h), m_span(w + 2 * kBorder + 3), m_rows(h + 2 * kBorder),
        m_mem((size_t)m_span * m_rows, kGuard),
        m_view(&m_mem[(size_t)kBorder * m_span + kBorder], w, h, m_span, flipped) {
    fill(0);
  }
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  LICE_IBitmap* bm() { return &m_view; }
  int w() const { return m_w; }
  int h() const { return m_h; }

  /// Pixel at visual (x, y).
  LICE_pixel& at(int x, int y) {
    const int row = m_view.isFlipped() ? m_h - 1 - y : y;
    return m_mem[(size_t)(kBorder + row) * m_span + kBorder + x];
  }
  LICE_pixel at(int x, int y) const { return const_cast<Guarded*>(this)->at(x, y); }

  void fill(LICE_pixel v) {
    for (int y = 0; y < m_h; ++y)
      for (int x = 0; x < m_w; ++x) at(x, y) = v;
  }
  void randomize(uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < m_h; ++y)
      for (int x = 0; x < m_w; ++x) at(x, y) = rng();
  }
  /// True when every pixel outside the w by h area still holds the guard.
  bool guardIntact() const {
    for (int r = 0; r < m_rows; ++r)
      for (int c = 0; c < m_span; ++c) {
        const bool inside = r >= kBorder && r < kBorder + m_h && c >= kBorder && c < kBorder + m_w;
        if (!inside && m_mem[(size_t)r * m_span + c] != kGuard) return false;
      }
    return true;
  }
  /// Visual pixels row by row (for whole-image comparisons).
  std::vector<LICE_pixel> pixels() const {
    std::vector<LICE_pixel> v;
    for (int y = 0; y < m_h; ++y)
      for (int x = 0; x < m_w; ++x) v.push_back(at(x, y));
    return v;
  }

 private:
  int m_w, m_h, m_span, m_rows;
  std::vector<LICE_pixel> m_mem;
  ViewBitmap m_view;
};

}  // namespace rastertest
