// How a plug-in's channels and parameters become LV2 ports. The DSP adapter,
// the UI adapter and the description generator share it, so the port
// indices in the description always match the code.
//
// Order: audio inputs, audio outputs, the atom input that carries host time,
// then one control input per parameter in parameter-index order.
#pragma once

#include <string>

struct LV2PortLayout
{
  int nIn = 0, nOut = 0, nParams = 0;

  int AudioIn(int ch) const { return ch; }
  int AudioOut(int ch) const { return nIn + ch; }
  int Control() const { return nIn + nOut; }
  int Param(int idx) const { return nIn + nOut + 1 + idx; }
  int Count() const { return nIn + nOut + 1 + nParams; }
  // The parameter index of a port, or -1 when the port is not a parameter.
  int ParamOfPort(long port) const
  {
    const long idx = port - (nIn + nOut + 1);
    return idx >= 0 && idx < nParams ? static_cast<int>(idx) : -1;
  }
};

// "in_l"/"in_r" (or "out_...") for a stereo pair, "in"/"out" for one
// channel, "in_1".. otherwise.
std::string LV2AudioPortSymbol(bool input, int ch, int nChannels);
// A port symbol from a parameter name: words split at capitals and other
// characters, lower case, joined by '_' ("TempoSync" -> "tempo_sync");
// prefixed with "p_" when it would start with a digit or be empty.
std::string LV2ParamSymbol(const char* name);
