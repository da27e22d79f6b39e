#include "server/bind_failure.h"

#include <iostream>

namespace vell {

void ReportBindFailure(const std::string& service, const std::string& address, uint16_t port,
                       const SocketError& error) {
  std::cerr << "vellmain: " << service << " could not bind " << (address.empty() ? "0.0.0.0" : address) << ":"
            << port << ": " << error.what() << "\n";
}

}  // namespace vell
