// The editor as a picture: obtained as a Cocoa host obtains it (the CocoaUI
// property names a view factory class, the host creates the factory by that
// name and asks it for a view of the unit), then drawn off-screen by the
// platform layer and written as PNG.
#pragma once

#include <QuillPlatform.h>

#include <string>

class HostUnit;

// Asks the unit for its editor view as a Cocoa host does: reads the CocoaUI
// property, creates the factory class it names and asks it for a view. The
// view, or null with *error set when the unit offers no usable view
// factory or the factory opens no view. The view lives while the unit is
// open.
NSView* OpenEditorView(HostUnit& unit, std::string* error);

// Writes the editor of `unit`, as its current settings show it, to `path`
// (complete or not at all). False with *error set when the unit offers no
// editor, the view cannot be drawn or the file cannot be written.
bool SnapshotEditor(HostUnit& unit, const std::string& path, std::string* error);
