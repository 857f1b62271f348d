// The LV2 UI adapter: the plug-in's editor as an X11 UI (ui:X11UI) inside
// the host's window.
//
// The UI does not reach into the DSP instance. It keeps a plug-in object of
// its own (MakePlug) as its editor's model: the host's port values arrive
// through port_event and are applied as host changes are (the editor and
// the plug-in's parameter logic follow, so the plot and the tempo controls
// show what the DSP does); the user's changes go back through the host's
// port-write function, with gesture begin and end through ui:touch when the
// host offers it. The view is a child of ui:parent, driven by the host's
// idle calls (ui:idleInterface); its size goes to ui:resize. All calls come
// from the host's UI thread.
#pragma once

#include <lv2/ui/ui.h>

// The UI descriptor for `uri` (a static string). Instances fail to start
// without a parent window or without an X display.
const LV2UI_Descriptor* IPlugLV2UIDescriptor(const char* uri);
