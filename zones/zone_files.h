// Where zones live on disk: one file per zone in the data directory.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vell {

// "example.com." -> "example.com.dns", "0/25.2.0.192.in-addr.arpa." ->
// "0~25.2.0.192.in-addr.arpa.dns", "." -> "_root.dns". NUL and control
// characters become "~" as "/" does, so no name makes a path outside data/.
std::string ZoneFileName(const std::string& zone);
// The reverse, for a file name found in the data directory: "~" -> "/",
// cut after the last dot, lower case, "_root." -> ".".
std::string ZoneOfFileName(const std::string& file);
// The zone files (".dns") of dir, in directory order; nullopt when the
// directory cannot be read.
std::optional<std::vector<std::string>> ListZoneFiles(const std::string& dir);

}  // namespace vell
