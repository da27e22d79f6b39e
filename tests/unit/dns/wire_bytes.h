// Hand-made wire data written as octets and text runs:
// Octets({3, "www", 0xC0, 0x0C}) is the octets 03 'w' 'w' 'w' C0 0C.
#pragma once

#include <initializer_list>
#include <string>

namespace vell::test {

struct Piece {
  Piece(int octet) : text(1, static_cast<char>(octet)) {}  // NOLINT: implicit by design
  Piece(const char* run) : text(run) {}                    // NOLINT: implicit by design
  std::string text;
};

inline std::string Octets(std::initializer_list<Piece> pieces) {
  std::string out;
  for (const Piece& p : pieces) out += p.text;
  return out;
}

// A response header with one question and one answer.
inline const std::string kHeader = Octets({0x12, 0x34, 0x81, 0x80, 0, 1, 0, 1, 0, 0, 0, 0});

}  // namespace vell::test
