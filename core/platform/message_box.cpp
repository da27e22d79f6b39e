#include "core/platform/message_box.h"

#include <iostream>

namespace vell {

void StderrMessageBoxes::Show(const std::string& text, const std::string& title) {
  std::cerr << title << ": " << text << std::endl;
}

}  // namespace vell
