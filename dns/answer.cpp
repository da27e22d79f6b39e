#include "dns/answer.h"

#include <stdexcept>

#include "core/error_report.h"

namespace vell {

RecordList* clDNSAnswer::Section(int16_t n) {
  switch (n) {
    case 2:
      return &Section2;
    case 3:
      return &Section3;
    case 4:
      return &Section4;
    default:
      return nullptr;
  }
}

void clDNSAnswer::CInit() {
  answer_count_ = CheckedInt16(static_cast<double>(Section2.size()));
  answer_authority_count_ = CheckedInt16(static_cast<double>(Section2.size() + Section3.size()));
  S4C = CheckedInt16(static_cast<double>(Section2.size() + Section3.size() + Section4.size()));
}

const RecordPtr& clDNSAnswer::CRecord(int16_t i) const {
  if (i < 1 || i > S4C) throw std::out_of_range("clDNSAnswer record index");
  if (i <= answer_count_) return Section2.at(i - 1);
  if (i <= answer_authority_count_) return Section3.at(i - answer_count_ - 1);
  return Section4.at(i - answer_authority_count_ - 1);
}

}  // namespace vell
