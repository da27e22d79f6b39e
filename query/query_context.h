// What query processing works with: the base facilities, the machine's
// addresses, the authoritative data and the cache to answer from, where
// messages leave, the transfer client's SOA check, and the query layer's
// own state (the active requests and the TCP connection handlers).
#pragma once

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cache/cache.h"
#include "core/env.h"
#include "query/outgoing_ids.h"
#include "query/request_queue.h"
#include "query/sender.h"
#include "query/soa_check.h"
#include "query/tcp_connection.h"
#include "zones/auth_data.h"

namespace vell {

struct QueryContext {
  QueryContext(
      Env& env, const std::vector<std::string>& local_ips, clDNSAuthData& auth_data, clDNSCache& cache,
      std::mt19937& random, OutgoingIds& query_ids, DnsSender& sender, SoaCheck& soa_check,
      std::function<void()> activity = [] {})
      : env(env),
        clock(env.clock),
        settings(env.settings),
        log(env.log),
        errors(env.errors),
        state(env.state),
        LocalIPs(local_ips),
        AuthData(auth_data),
        Cache(cache),
        Random(random),
        QueryIds(query_ids),
        sender(sender),
        soa_check(soa_check),
        TCPcon(*this, env.clock, env.log, std::move(activity)) {}
  QueryContext(const QueryContext&) = delete;
  QueryContext& operator=(const QueryContext&) = delete;

  DateTime Now() const { return clock.Now(); }
  void DoEvents() { env.DoEvents(); }

  Env& env;
  const Clock& clock;
  const Settings& settings;
  EventLog& log;
  ErrorSink& errors;
  ProcessState& state;
  const std::vector<std::string>& LocalIPs;
  clDNSAuthData& AuthData;
  clDNSCache& Cache;
  std::mt19937& Random;
  // Identifiers of the queries sent to other servers.
  OutgoingIds& QueryIds;
  DnsSender& sender;
  SoaCheck& soa_check;
  // The requests being answered.
  RequestQueue Requests{*this};
  // The TCP connection handlers; activity on them shows in the tray.
  TcpHandlers TCPcon;
};

}  // namespace vell
