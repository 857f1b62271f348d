// The bundle's code is the plug-in library linked whole behind its exported
// entries; exports.map keeps every other symbol inside the bundle, so two
// bundles, or a host that carries its own copy of the frameworks, never mix
// their code.
#include "tremolo/QuillbarTremolo.h"

// The factory function the bundle's Info.plist names: the component entry
// with exactly the type the platform's component registry calls, so that a
// host calls it through a pointer of its own type.
extern "C" ComponentResult QuillbarTremolo_Factory(ComponentParameters* params, Handle storage)
{
  return QuillbarTremolo_Entry(params, storage);
}
