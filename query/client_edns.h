// The OPT record of a client's query, for the UDP and the TCP service alike.
#pragma once

#include <string>

#include "query/request.h"

namespace vell {

struct QueryContext;

struct EdnsCheck {
  ClientEdns edns;          // what the reply is to carry and fit
  std::string error_reply;  // FORMERR or BADVERS for a faulty OPT; empty when the query may go on
};

// Reads the OPT record of msg; a faulty one is logged as answered from ip.
EdnsCheck CheckEdns(QueryContext& ctx, const std::string& ip, const std::string& msg);

}  // namespace vell
