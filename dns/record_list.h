// Records sorted by owner name: the records of a zone and of the cache.
#pragma once

#include "dns/record.h"
#include "dns/sorted_list.h"

namespace vell {

struct RecordName {
  const std::string& operator()(const RecordPtr& r) const { return r->Name; }
};

using SortedRecords = SortedList<RecordPtr, RecordName>;

}  // namespace vell
