// Program entry: reads the configuration and starts the server in the
// foreground ("-n"), uninstalls ("-u"), or runs it as a service.
#pragma once

#include <string>
#include <vector>

namespace vell {

// args without the program name; returns the exit status.
int Main(const std::vector<std::string>& args);

}  // namespace vell
