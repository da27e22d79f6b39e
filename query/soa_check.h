// The zone-transfer client as the response dispatch sees it: the SOA query
// it is waiting for, and where that query's serial goes. Responses that no
// active request waits for are offered to it.
#pragma once

#include <cstdint>
#include <string>

namespace vell {

class SoaCheckClient {
 public:
  static constexpr int kSoaQuerySent = 1;  // State while an SOA answer is awaited

  virtual ~SoaCheckClient() = default;
  virtual int32_t SoaID() const = 0;
  virtual int State() const = 0;
  virtual const std::string& CurName() const = 0;
  virtual void GotSOA(int32_t serial) = 0;
};

}  // namespace vell
