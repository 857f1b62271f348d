// Editor snapshots: the tremolo's editor drawn off-screen and saved as PNG.
//
// Used by the tests and by the command-line host to show what a user would
// see without opening a window. Skin images are found beside the program
// (resources/img), as the headless editor finds them.
#pragma once

class IGraphics;
class IPlugBase;

// Marks every control of `gui` dirty, runs one strict drawing pass over the
// whole editor and writes the back buffer to pngPath (RGB); the editor's
// drawing mode is left as it was. False when gui
// or pngPath is null, the editor has no back buffer yet (not attached) or
// the file cannot be written (no partial file is left). Editor thread.
bool WriteEditorSnapshot(IGraphics* gui, const char* pngPath);

// The same for plug's editor. False when plug is null or has no editor.
// Editor thread; takes the plug-in mutex only where the controls need it.
bool WriteEditorSnapshot(IPlugBase* plug, const char* pngPath);

// Makes a tremolo (44.1 kHz, parameters applied as a host does before audio
// starts), recalls the factory preset `presetName` (null or "" keeps the
// defaults) and writes its editor to pngPath. False for an unknown preset
// name or when writing fails.
bool WriteTremoloSnapshot(const char* presetName, const char* pngPath);
