#include "dns/record_wire.h"

#include <algorithm>

#include "dns/names.h"
#include "dns/record_data.h"

namespace vell {

std::string WireRData(ErrorSink& sink, std::string_view message, const clDNSRecord& record) {
  const std::string_view data = record.Data;
  switch (record.RecType) {
    case kTypeNS:
    case kTypeCNAME:
    case kTypePTR:
      return ZipName(sink, message, data);
    case kTypeSOA: {
      const size_t end1 = data.find('\0');
      const size_t end2 = end1 == std::string_view::npos ? end1 : data.find('\0', end1 + 1);
      const std::string_view primary = data.substr(0, end1);
      const std::string_view mailbox =
          end1 == std::string_view::npos ? "" : data.substr(end1 + 1, end2 - end1 - 1);
      const std::string_view numbers = end2 == std::string_view::npos ? "" : data.substr(end2 + 1);
      std::string rdata = ZipName(sink, message, primary);
      rdata += ZipName(sink, message, mailbox);
      rdata += numbers;
      return rdata;
    }
    case kTypeMX:
      return std::string(data.substr(0, 2)) +=
             ZipName(sink, message, data.substr(std::min<size_t>(2, data.size())));
    case kTypeSRV:
      return std::string(data.substr(0, 6)) +=
             ZipName(sink, message, data.substr(std::min<size_t>(6, data.size())));
    default:
      return record.Data;
  }
}

}  // namespace vell
