// Hand-assembled file images for the program and bank file tests:
// big-endian words and floats, text fields padded with zeros, and raw
// (little-endian) bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Bytes
{
  std::vector<uint8_t> b;
  Bytes& be(uint32_t v)
  {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
    return *this;
  }
  // `s`, then zeros up to `field` bytes.
  Bytes& text(const std::string& s, size_t field = 0)
  {
    b.insert(b.end(), s.begin(), s.end());
    for (size_t n = s.size(); n < field; ++n) b.push_back(0);
    return *this;
  }
  Bytes& fl(float f)
  {
    uint32_t v;
    memcpy(&v, &f, 4);
    return be(v);
  }
  Bytes& le(const void* p, size_t n)
  {
    b.insert(b.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    return *this;
  }
  Bytes& d(double v) { return le(&v, 8); }
  Bytes& add(const Bytes& o) { return le(o.b.data(), o.b.size()); }
};
