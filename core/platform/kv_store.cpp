#include "core/platform/kv_store.h"

#include <fstream>
#include <utility>

#include "core/platform/atomic_file.h"

namespace vell {

KeyValueStore::KeyValueStore(std::string path) : path_(std::move(path)) {}

std::map<std::string, std::string> KeyValueStore::Read() const {
  std::map<std::string, std::string> values;
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

std::string KeyValueStore::Get(const std::string& key) const {
  const auto values = Read();
  const auto found = values.find(key);
  return found == values.end() ? "" : found->second;
}

bool KeyValueStore::Set(const std::string& key, const std::string& value) {
  // One line per entry, split at the first "=": a key may not hold "=", and
  // neither part may hold a line break.
  if (key.empty() || key.find_first_of("=\r\n") != std::string::npos ||
      value.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  auto values = Read();
  values[key] = value;
  std::string text;
  for (const auto& [k, v] : values) text.append(k).append("=").append(v).append("\n");
  try {
    WriteFileAtomically(path_, text);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace vell
