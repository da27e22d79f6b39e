// Numbers an attacker must not be able to predict (outgoing query
// identifiers, the ports of the outgoing sockets), from the system's random
// source. The request queue's choices among equal servers need no secrecy
// and keep their own generator.
#pragma once

#include <cstdint>

namespace vell {

// Uniform in 0 .. bound - 1; bound must be at least 1.
uint32_t SystemRandomBelow(uint32_t bound);

}  // namespace vell
