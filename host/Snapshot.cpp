#include "host/Snapshot.h"

#include "host/HostUnit.h"

bool SnapshotEditor(HostUnit&, const std::string& path, std::string* error)
{
  *error = "cannot write " + path + ": editor pictures are not available in this build";
  return false;
}
