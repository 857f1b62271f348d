// The commands of quillbar-tremolo. Each returns the process exit status:
// 0 success, 1 a file or the plug-in failed, 2 a usage error or an unknown
// preset or parameter name. Messages go to stderr as one line each, prefixed
// "quillbar-tremolo: ".
#pragma once

#include <string>

#include "host/Options.h"

// Renders the input file through the unit into the output file (both or
// neither written, with the saved state when asked for).
int RunRender(const RenderOptions& options);
// Opens the editor in a window titled "QuillbarTremolo" with the settings
// applied and runs until the window is closed (its close button, Ctrl+Q,
// SIGINT or SIGTERM); then writes the state to --save-state when asked.
// 1 without a display.
int RunEdit(const EditOptions& options);
// Prints the unit's name, version, codes, channels, parameters and presets,
// as text or JSON, on stdout.
int RunInfo(const InfoOptions& options);
// Writes the editor, with the given settings applied, as a PNG file.
int RunSnapshot(const SnapshotOptions& options);
// presets export: writes every factory preset as "<name>.fxp" and all of
// them as QuillbarTremolo.fxb into the folder (made when missing). presets
// import: writes the bank's current program as an .aupreset file.
int RunPresets(const PresetsOptions& options);
// Writes a test signal, its render through every factory preset and editor
// pictures into the demo folder (made when missing) and lists them.
int RunDemo(const DemoOptions& options);

// Prints "quillbar-tremolo: <message>" to stderr.
void ReportError(const std::string& message);
// Prints "quillbar-tremolo: warning: <message>" to stderr.
void ReportWarning(const std::string& message);
