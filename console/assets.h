// The pages, embedded at build time from console/web/ (a generated source
// made by console/embed.cmake): nothing is read or fetched at run time.
#pragma once

#include <string_view>

namespace vell {

struct Asset {
  std::string_view path;  // "/app.js"; "/index.html" is also served as "/"
  std::string_view type;  // the Content-Type
  std::string_view body;
};

// nullptr when there is no such page.
const Asset* FindAsset(std::string_view path);

}  // namespace vell
