#include "lv2/LV2Ports.h"

#include <cctype>

std::string LV2AudioPortSymbol(bool input, int ch, int nChannels)
{
  const std::string base = input ? "in" : "out";
  if (nChannels == 1) return base;
  if (nChannels == 2) return base + (ch == 0 ? "_l" : "_r");
  return base + "_" + std::to_string(ch + 1);
}

std::string LV2ParamSymbol(const char* name)
{
  std::string out;
  bool wordEnded = false; // a separator is due before the next word
  char prev = 0;
  for (const char* p = name ? name : ""; *p; ++p)
  {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (!std::isalnum(c))
    {
      wordEnded = !out.empty();
      prev = 0;
      continue;
    }
    const bool capitalStartsWord = std::isupper(c) && prev && (std::islower(prev) || std::isdigit(prev));
    if ((wordEnded || capitalStartsWord) && !out.empty()) out += '_';
    out += static_cast<char>(std::tolower(c));
    wordEnded = false;
    prev = static_cast<char>(c);
  }
  if (out.empty() || std::isdigit(static_cast<unsigned char>(out[0]))) out = "p_" + out;
  return out;
}
