// The zone-transfer client as the response dispatch sees it: responses that
// no active request waits for are offered to it, and it alone decides
// whether one answers its SOA check.
#pragma once

#include "dns/answer.h"

namespace vell {

class SoaCheck {
 public:
  virtual ~SoaCheck() = default;
  virtual void Offer(const clDNSAnswer& answer) = 0;
};

// No SOA check is ever waiting.
class NoSoaCheck final : public SoaCheck {
 public:
  void Offer(const clDNSAnswer&) override {}
};

}  // namespace vell
