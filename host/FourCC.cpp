#include "host/FourCC.h"

std::string FourCCText(uint32_t code, bool quoted)
{
  std::string text;
  if (quoted) text += '\'';
  for (int shift = 24; shift >= 0; shift -= 8)
  {
    const char c = static_cast<char>((code >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E) return std::to_string(code);
    text += c;
  }
  if (quoted) text += '\'';
  return text;
}
