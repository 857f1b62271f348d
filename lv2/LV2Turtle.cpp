#include "lv2/LV2Turtle.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/IPlugBase.h"
#include "lv2/LV2Ports.h"

namespace
{

const char* kPrefixes =
  "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
  "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
  "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
  "@prefix owl: <http://www.w3.org/2002/07/owl#> .\n"
  "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
  "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
  "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
  "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
  "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// A Turtle decimal: shortest text that reads back as the same float, always
// with a decimal point so that it is not an integer literal.
std::string Decimal(double v)
{
  char buf[64];
  for (int precision = 6; precision <= 17; ++precision)
  {
    std::snprintf(buf, sizeof(buf), "%.*g", precision, v);
    if (static_cast<float>(std::strtod(buf, nullptr)) == static_cast<float>(v)) break;
  }
  std::string s = buf;
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

// A Turtle string literal.
std::string Quoted(const char* text)
{
  std::string s = "\"";
  for (const char* p = text ? text : ""; *p; ++p)
  {
    if (*p == '"' || *p == '\\') s += '\\';
    if (*p == '\n')
      s += "\\n";
    else
      s += *p;
  }
  return s + "\"";
}

bool IsIntegral(double v) { return std::floor(v) == v; }

// Parameters that only take whole values: integer kinds, or doubles that
// step by 1 between whole bounds.
bool IsIntegerParam(const IParam* p)
{
  double lo = 0.0, hi = 0.0;
  p->GetBounds(&lo, &hi);
  if (!IsIntegral(lo) || !IsIntegral(hi)) return false;
  return p->Type() != IParam::kTypeDouble || p->GetStep() == 1.0;
}

std::string AudioPort(bool input, int index, int ch, int n)
{
  const std::string sym = LV2AudioPortSymbol(input, ch, n);
  std::string name = input ? "In" : "Out";
  if (n == 2)
    name = (ch == 0 ? "Left " : "Right ") + name;
  else if (n > 2)
    name += " " + std::to_string(ch + 1);
  return std::string("[\n    a lv2:") + (input ? "InputPort" : "OutputPort") + ", lv2:AudioPort ;\n    lv2:index " +
         std::to_string(index) + " ;\n    lv2:symbol \"" + sym + "\" ;\n    lv2:name \"" + name + "\"\n  ]";
}

} // namespace

std::string LV2PresetStateKey(const std::string& pluginURI) { return pluginURI + "#currentPreset"; }

std::string LV2PresetURI(const std::string& pluginURI, const char* name)
{
  return pluginURI + ":preset:" + LV2ParamSymbol(name);
}

std::string LV2ManifestTtl(IPlugBase& plug, const LV2BundleInfo& info)
{
  std::string s = kPrefixes;
  s += "<" + info.uri + ">\n  a lv2:Plugin ;\n  lv2:binary <" + info.binary + "> ;\n  rdfs:seeAlso <" +
       std::string(plug.GetEffectName()) + ".ttl> .\n\n";
  if (!info.uiBinary.empty())
    s += "<" + info.uiURI + ">\n  a ui:X11UI ;\n  ui:binary <" + info.uiBinary + "> ;\n  rdfs:seeAlso <" +
         std::string(plug.GetEffectName()) + ".ttl> .\n\n";
  for (int i = 0; i < plug.NPresets(); ++i)
    s += "<" + LV2PresetURI(info.uri, plug.GetPresetName(i)) + ">\n  a pset:Preset ;\n  lv2:appliesTo <" + info.uri +
         "> ;\n  rdfs:seeAlso <presets.ttl> .\n\n";
  return s;
}

std::string LV2PluginTtl(IPlugBase& plug, const LV2BundleInfo& info)
{
  LV2PortLayout ports;
  ports.nIn = plug.NInChannels();
  ports.nOut = plug.NOutChannels();
  ports.nParams = plug.NParams();

  const int version = plug.GetEffectVersion(false);
  std::string s = kPrefixes;
  s += "<urn:" + std::string(plug.GetMfrName()) + ">\n  a doap:Project ;\n  doap:name " +
       Quoted(plug.GetMfrName()) + " ;\n  doap:maintainer [ foaf:name " + Quoted(plug.GetMfrName()) + " ] .\n\n";
  s += "<" + info.uri + ">\n  a lv2:Plugin";
  if (!info.pluginClass.empty()) s += ", lv2:" + info.pluginClass;
  s += " ;\n  doap:name " + Quoted(plug.GetEffectName()) + " ;\n";
  s += "  lv2:project <urn:" + std::string(plug.GetMfrName()) + "> ;\n";
  s += "  lv2:minorVersion " + std::to_string((version >> 8) & 0xff) + " ;\n";
  s += "  lv2:microVersion " + std::to_string(version & 0xff) + " ;\n";
  s += "  lv2:requiredFeature urid:map ;\n  lv2:optionalFeature lv2:hardRTCapable ;\n";
  s += "  lv2:extensionData state:interface ;\n";
  if (!info.uiBinary.empty()) s += "  ui:ui <" + info.uiURI + "> ;\n";
  s += "  lv2:port ";

  std::string sep;
  for (int c = 0; c < ports.nIn; ++c, sep = " , ") s += sep + AudioPort(true, ports.AudioIn(c), c, ports.nIn);
  for (int c = 0; c < ports.nOut; ++c) s += " , " + AudioPort(false, ports.AudioOut(c), c, ports.nOut);
  s += " , [\n    a lv2:InputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
       "    atom:supports time:Position ;\n    lv2:designation lv2:control ;\n"
       "    lv2:portProperty lv2:connectionOptional ;\n    lv2:index " +
       std::to_string(ports.Control()) + " ;\n    lv2:symbol \"control\" ;\n    lv2:name \"Control\"\n  ]";

  for (int i = 0; i < ports.nParams; ++i)
  {
    const IParam* p = plug.GetParam(i);
    double lo = 0.0, hi = 0.0;
    p->GetBounds(&lo, &hi);
    s += " , [\n    a lv2:InputPort, lv2:ControlPort ;\n    lv2:index " + std::to_string(ports.Param(i)) +
         " ;\n    lv2:symbol \"" + LV2ParamSymbol(p->GetNameForHost()) + "\" ;\n    lv2:name " +
         Quoted(p->GetNameForHost()) + " ;\n    lv2:default " + Decimal(p->GetDefault()) + " ;\n    lv2:minimum " +
         Decimal(lo) + " ;\n    lv2:maximum " + Decimal(hi);

    const auto extra = info.extras.find(i);
    const bool integer = IsIntegerParam(p);
    const int nValues = integer ? static_cast<int>(hi - lo) + 1 : 0;
    if (integer && lo == 0.0 && hi == 1.0)
      s += " ;\n    lv2:portProperty lv2:toggled";
    else if (integer && extra != info.extras.end() && static_cast<int>(extra->second.scaleLabels.size()) == nValues)
    {
      s += " ;\n    lv2:portProperty lv2:integer, lv2:enumeration";
      for (int v = 0; v < nValues; ++v)
        s += " ;\n    lv2:scalePoint [ rdfs:label " + Quoted(extra->second.scaleLabels[v].c_str()) +
             " ; rdf:value " + Decimal(lo + v) + " ]";
    }
    else if (integer)
      s += " ;\n    lv2:portProperty lv2:integer";
    if (extra != info.extras.end() && !extra->second.unit.empty()) s += " ;\n    units:unit units:" + extra->second.unit;
    s += "\n  ]";
  }
  s += " .\n";

  if (!info.uiBinary.empty())
  {
    s += "\n<" + info.uiURI + ">\n  a ui:X11UI ;\n  lv2:requiredFeature ui:parent ;\n"
         "  lv2:optionalFeature ui:resize, ui:touch, ui:idleInterface ;\n"
         "  lv2:extensionData ui:idleInterface .\n";
  }
  return s;
}

std::string LV2PresetsTtl(IPlugBase& plug, const LV2BundleInfo& info)
{
  const std::string key = LV2PresetStateKey(info.uri);
  std::string s = kPrefixes;
  s += "<" + key + ">\n  a rdf:Property, owl:DatatypeProperty ;\n  rdfs:label \"current preset\" ;\n"
       "  rdfs:comment \"Name of the factory preset the plug-in last selected.\" ;\n  rdfs:range xsd:string .\n\n";
  for (int i = 0; i < plug.NPresets(); ++i)
  {
    if (!plug.RestorePreset(i)) continue;
    const char* name = plug.GetPresetName(i);
    s += "<" + LV2PresetURI(info.uri, name) + ">\n  a pset:Preset ;\n  lv2:appliesTo <" + info.uri +
         "> ;\n  rdfs:label " + Quoted(name) + " ;\n  state:state [ <" + key + "> " + Quoted(name) +
         " ] ;\n  lv2:port ";
    for (int p = 0; p < plug.NParams(); ++p)
      s += std::string(p ? " , " : "") + "[\n    lv2:symbol \"" + LV2ParamSymbol(plug.GetParam(p)->GetNameForHost()) +
           "\" ;\n    pset:value " + Decimal(plug.GetParam(p)->Value()) + "\n  ]";
    s += " .\n\n";
  }
  if (plug.NPresets() > 0) plug.RestorePreset(0);
  return s;
}
