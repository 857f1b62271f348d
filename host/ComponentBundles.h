// Plug-in bundles found and loaded the way an Audio Unit host finds them.
//
// A component bundle is a folder NAME.component holding Contents/Info.plist,
// the shared library Contents/MacOS/<CFBundleExecutable> and its resources in
// Contents/Resources. Its Info.plist lists the components it provides under
// AudioComponents (type, subtype, manufacturer as four-character codes, name,
// version, factoryFunction). Loading a bundle opens the library, resolves
// each factory function by name and registers the component and the bundle
// with the platform, as the system does on a Mac. Bundles stay loaded until
// the process ends.
//
// One thread: the host loads bundles before it opens units.
#pragma once

#include <string>
#include <vector>

// The folders searched for bundles, in order: each entry of the
// QUILL_COMPONENT_PATH environment variable (colon-separated, empty entries
// skipped), the build tree's component folder, the install location's.
std::vector<std::string> ComponentSearchPath();

// Loads the bundle at bundlePath (a .component folder). A bundle already
// loaded from the same place is not loaded again. False with *error set to
// the path and the reason (no such folder, no or unreadable Info.plist, no
// components listed, a library that does not load, a factory function it
// does not have).
bool LoadComponentBundle(const std::string& bundlePath, std::string* error);

// Loads every *.component bundle directly inside the given folders (missing
// folders are skipped). One line per bundle that failed goes to *problems.
// Returns the number of bundles loaded.
int LoadComponentBundles(const std::vector<std::string>& folders, std::vector<std::string>* problems);
