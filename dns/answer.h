// One DNS answer held apart from any message: the header facts that matter
// and the answer, authority and additional sections.
#pragma once

#include <cstdint>
#include <string>

#include "dns/header.h"
#include "dns/record.h"

namespace vell {

class clDNSAnswer {
 public:
  std::string RqName;  // name of the (first) question
  int32_t RqType = 0;
  int32_t Id = 0;  // 0..65535
  bool RA = false;
  bool AA = false;
  int16_t RCode = header::kRCodeNoError;
  bool TC = false;      // also set by the parser when the message ended early
  RecordList Section2;  // answer
  RecordList Section3;  // authority
  RecordList Section4;  // additional
  int16_t S4C = 0;      // records in all three sections, as of the last CInit

  // Section2..4 for n = 2..4; nullptr for any other n.
  RecordList* Section(int16_t n);
  // Recomputes S4C and the section boundaries; call again after adding.
  void CInit();
  // Records of all three sections numbered 1..S4C in one sequence.
  // Outside that range (or if a section shrank since CInit) it throws
  // std::out_of_range for the caller's trap.
  const RecordPtr& CRecord(int16_t i) const;

 private:
  int16_t answer_count_ = 0;
  int16_t answer_authority_count_ = 0;
};

// How the authoritative data and the cache are asked about a name.
// kDesired: the request will be resolved recursively if need be (the client
// asked for recursion and may have it), so a name error comes without the
// SOA that proves it, and the cache adds no referral to an answer.
enum class Recursion : bool { kNotDesired, kDesired };
// kQuick: only whether the name has the records, for the server's own
// look-ups (name-server addresses, the root zone): a name error comes
// without its SOA, the cache takes any negative entry for a name error and
// adds no referral.
enum class LookupKind : bool { kFull, kQuick };

}  // namespace vell
