// The zone-transfer client as the rest of the query layer sees it: responses
// that no active request waits for are offered to it, and it alone decides
// whether one answers its SOA check; zones are queued with it for a refresh.
#pragma once

#include <string>

#include "dns/answer.h"

namespace vell {

class SoaCheck {
 public:
  virtual ~SoaCheck() = default;
  virtual void Offer(const clDNSAnswer& answer) = 0;
  // Asks for a refresh of the zone.
  virtual void Que(const std::string& ZName) = 0;
  // The service (re)starts: take up queued work when nothing is under way.
  virtual void Resume() {}
};

// No SOA check is ever waiting; nothing is refreshed.
class NoSoaCheck final : public SoaCheck {
 public:
  void Offer(const clDNSAnswer&) override {}
  void Que(const std::string&) override {}
};

}  // namespace vell
