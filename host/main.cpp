// quillbar-tremolo: puts audio files through the tremolo plug-in and shows
// its editor, hosting the plug-in as an Audio Unit host does.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/Commands.h"
#include "host/HostUnit.h"

#ifndef QUILL_HOST_VERSION
#define QUILL_HOST_VERSION "0.0.0"
#endif

namespace
{

const char* const kMainHelp =
    "usage: quillbar-tremolo COMMAND [OPTIONS]\n"
    "\n"
    "Puts audio files through the QuillbarTremolo plug-in, hosted as an Audio Unit.\n"
    "\n"
    "commands:\n"
    "  render IN OUT     render an audio file through the tremolo into a 32-bit float WAV\n"
    "  info              list parameters, factory presets, channel configurations and identity\n"
    "  snapshot OUT.png  draw the editor with given settings into a PNG file\n"
    "  presets export DIR | import FILE.fxb --save-state OUT\n"
    "                    write the factory presets as program and bank files, or a bank's\n"
    "                    current program as an .aupreset file\n"
    "  edit              open the editor in a window; shape a sound and save it\n"
    "  demo [OUTDIR]     render a test chord through every factory preset (default: out/)\n"
    "\n"
    "The plug-in is loaded from its bundle, QuillbarTremolo.component, found in the folders of\n"
    "QUILL_COMPONENT_PATH (colon-separated), then the build tree, then the install location.\n"
    "  --plugin PATH     load this bundle instead (any command)\n"
    "\n"
    "  quillbar-tremolo COMMAND --help   help on one command\n"
    "  quillbar-tremolo --version        program version\n"
    "\n"
    "Exit status: 0 done, 1 a file or the plug-in failed, 2 usage error or unknown name.\n";

const char* const kRenderHelp =
    "usage: quillbar-tremolo render IN OUT [OPTIONS]\n"
    "\n"
    "Renders IN (any format libsndfile reads, mono or stereo) through the tremolo into OUT,\n"
    "a 32-bit float WAV file at the input's rate and channel count.\n"
    "\n"
    "Settings are applied in this order: --state, --fxb, --fxp, then --preset, then each --set.\n"
    "  --state FILE        restore a saved state (.aupreset XML property list)\n"
    "  --fxb FILE          load a bank file (.fxb) into the presets; its current program\n"
    "                      takes effect\n"
    "  --fxp FILE          load a program file (.fxp) into the current preset\n"
    "  --preset NAME       select a preset by name (see 'info'; after --fxb, the bank's names)\n"
    "  --set NAME=VALUE    set a parameter to a plain value, e.g. Frequency=4.5, TempoSync=1;\n"
    "                      may be repeated; values outside the range are clamped with a warning\n"
    "  --save-state FILE   write the final state as an .aupreset file\n"
    "  --save-fxp FILE     write the current program (the final values) as a program file\n"
    "  --save-fxb FILE     write all presets as a bank file, the current one with the final values\n"
    "\n"
    "Host timeline:\n"
    "  --tempo BPM         tempo reported to the plug-in (default 120)\n"
    "  --start-beat BEAT   beat at the first frame (default 0)\n"
    "  --stopped           report the transport as stopped\n"
    "\n"
    "  --block FRAMES      frames per render call, 1-65536 (default 512)\n"
    "  --quiet             no progress bar (shown for inputs over 10 s on a terminal)\n"
    "  --allow-short       render an input whose audio ends before its header says (a warning\n"
    "                      instead of an error)\n"
    "\n"
    "IN, OUT and the files the --save options write must all be different files.\n";

const char* const kInfoHelp =
    "usage: quillbar-tremolo info [--json]\n"
    "\n"
    "Lists the plug-in's parameters (index, name, minimum, maximum, default, unit), factory\n"
    "presets, channel configurations, version and identity codes, as a host reads them.\n"
    "  --json   the same as a JSON object\n";

const char* const kSnapshotHelp =
    "usage: quillbar-tremolo snapshot OUT.png [--preset NAME] [--set NAME=VALUE]... [--state FILE]\n"
    "                 [--fxb FILE] [--fxp FILE]\n"
    "\n"
    "Opens the plug-in's editor as a host does, with the given settings applied (state, bank,\n"
    "program, then preset, then parameters), and writes what it shows as a PNG image.\n";

const char* const kPresetsHelp =
    "usage: quillbar-tremolo presets export DIR\n"
    "       quillbar-tremolo presets import FILE.fxb --save-state OUT\n"
    "\n"
    "export writes each factory preset as DIR/<name>.fxp and all of them as\n"
    "DIR/QuillbarTremolo.fxb (program and bank files in the published layouts, one\n"
    "normalized value per parameter), making DIR when missing.\n"
    "import reads a bank file and writes its current program as an .aupreset file.\n";

const char* const kEditHelp =
    "usage: quillbar-tremolo edit [--preset NAME] [--set NAME=VALUE]... [--state FILE] [--save-state FILE]\n"
    "                 [--fxb FILE] [--fxp FILE] [--save-fxp FILE] [--save-fxb FILE]\n"
    "\n"
    "Opens the plug-in's editor in a window titled \"QuillbarTremolo\" on the X display, as a host\n"
    "does, with the given settings applied in the order render applies them (state, bank, program,\n"
    "preset, parameters). Closing the window (its close button, Ctrl+Q, SIGINT or SIGTERM)\n"
    "ends the program.\n"
    "  --save-state FILE   then write the final state as an .aupreset file, which\n"
    "                      'render --state FILE' reads\n"
    "  --save-fxp FILE     then write the current program as a program file\n"
    "  --save-fxb FILE     then write all presets as a bank file, the current one as it ends\n"
    "\n"
    "QUILL_UI_SCALE=2 shows the editor at twice its size (also chosen when Xft.dpi >= 192).\n"
    "Without a display (DISPLAY not set) it says so and exits with status 1.\n";

const char* const kDemoHelp =
    "usage: quillbar-tremolo demo [OUTDIR]\n"
    "\n"
    "Synthesizes 8 seconds of a stereo 48 kHz chord with a little noise (input.wav), renders\n"
    "it through each factory preset at 120 BPM as <preset>.wav, draws editor.png and\n"
    "<preset>.png pictures of the editor, and lists the files. OUTDIR defaults to out/.\n";

int Usage(const char* command, const std::string& error)
{
  fprintf(stderr, "quillbar-tremolo: %s\n", error.c_str());
  if (command)
    fprintf(stderr, "Try 'quillbar-tremolo %s --help'.\n", command);
  else
    fprintf(stderr, "Try 'quillbar-tremolo --help'.\n");
  return 2;
}

// One command: parse its options, answer --help, or run it.
template <class Options>
int RunCommand(const char* name, const std::vector<std::string>& args,
               bool (*parse)(const std::vector<std::string>&, Options*, bool*, std::string*), const char* helpText,
               int (*run)(const Options&))
{
  Options options;
  bool help = false;
  std::string error;
  if (!parse(args, &options, &help, &error)) return Usage(name, error);
  if (help) return fputs(helpText, stdout) < 0;
  return run(options);
}

} // namespace

int main(int argc, char** argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty())
  {
    fputs(kMainHelp, stderr);
    return 2;
  }
  // --plugin PATH picks the bundle for every command, wherever it stands.
  for (size_t i = 0; i < args.size(); ++i)
  {
    std::string path;
    if (args[i] == "--plugin")
    {
      if (i + 1 >= args.size()) return Usage(nullptr, "--plugin needs the path of a .component bundle");
      path = args[i + 1];
      args.erase(args.begin() + i, args.begin() + i + 2);
    }
    else if (args[i].rfind("--plugin=", 0) == 0)
    {
      path = args[i].substr(9);
      args.erase(args.begin() + i);
    }
    else
    {
      continue;
    }
    if (path.empty()) return Usage(nullptr, "--plugin needs the path of a .component bundle");
    SetPluginBundle(path);
    --i;
  }
  if (args.empty())
  {
    fputs(kMainHelp, stderr);
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());

  if (command == "--help" || command == "-h" || command == "help")
  {
    fputs(kMainHelp, stdout);
    return 0;
  }
  if (command == "--version")
  {
    printf("quillbar-tremolo v%s\n", QUILL_HOST_VERSION);
    return 0;
  }
  if (command == "render") return RunCommand("render", args, ParseRenderOptions, kRenderHelp, RunRender);
  if (command == "info") return RunCommand("info", args, ParseInfoOptions, kInfoHelp, RunInfo);
  if (command == "snapshot") return RunCommand("snapshot", args, ParseSnapshotOptions, kSnapshotHelp, RunSnapshot);
  if (command == "presets") return RunCommand("presets", args, ParsePresetsOptions, kPresetsHelp, RunPresets);
  if (command == "edit") return RunCommand("edit", args, ParseEditOptions, kEditHelp, RunEdit);
  if (command == "demo") return RunCommand("demo", args, ParseDemoOptions, kDemoHelp, RunDemo);
  return Usage(nullptr, "unknown command \"" + command + "\"");
}
