#include "zones/auth_data.h"

#include "core/env.h"

namespace vell {

void clDNSAuthData::UnloadZone(const std::string& name) {
  const size_t found = ZoneFind(name);
  if (found == kNotFound) return;
  env_.log.AddLine(0, "Removing Zone: " + name);
  zones_.erase(found);
}

}  // namespace vell
