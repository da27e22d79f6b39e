// The console's secrets, made fresh at each start from the kernel's random
// source: the access token (in the printed URL and the token file) and the
// CSRF token the pages send back with every state-changing request.
#pragma once

#include <string>

namespace vell {

// 32 hexadecimal digits of getrandom() output.
std::string RandomToken();
// Writes the token to path, readable and writable only by its owner;
// false when the file cannot be written.
bool WriteTokenFile(const std::string& path, const std::string& token);

}  // namespace vell
