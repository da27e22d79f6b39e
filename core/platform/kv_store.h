// A small key/value file in the program directory, standing in for the
// registry values the program keeps (the Run value, window layout).
#pragma once

#include <map>
#include <string>

namespace vell {

class KeyValueStore {
 public:
  explicit KeyValueStore(std::string path);
  std::string Get(const std::string& key) const;  // "" when absent
  // Rewrites the file (temporary file, then rename); false on failure.
  bool Set(const std::string& key, const std::string& value);

 private:
  std::map<std::string, std::string> Read() const;
  std::string path_;
};

}  // namespace vell
