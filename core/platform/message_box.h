// Message boxes: shown in the operator console when one is attached,
// otherwise written to standard error. Callers show them only while the
// program is interactive.
#pragma once

#include <string>
#include <vector>

namespace vell {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Show(const std::string& text, const std::string& title) = 0;
};

class StderrMessageBoxes final : public MessageBoxes {
 public:
  void Show(const std::string& text, const std::string& title) override;
};

class FakeMessageBoxes final : public MessageBoxes {
 public:
  void Show(const std::string& text, const std::string& /*title*/) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

}  // namespace vell
