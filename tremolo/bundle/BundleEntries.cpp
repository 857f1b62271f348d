// The bundle's code is the plug-in library linked whole behind its two
// exported entries (QuillbarTremolo_Entry, the component entry its
// Info.plist names as the factory function, and QuillbarTremolo_ViewEntry);
// exports.map keeps every other symbol inside the bundle, so two bundles or a
// host that carries its own copy of the frameworks never mix their code.
#include "tremolo/QuillbarTremolo.h"
