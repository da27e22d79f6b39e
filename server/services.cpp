#include "server/services.h"

#include "query/dispatch.h"
#include "query/transfer_client.h"

namespace vell {

void Services::ProcDNSRequest(const std::string& ip, long port, const std::string& msg) {
  vell::ProcDNSRequest(query_, ip, port, msg);
}

void Services::ProcDNSAnswer(const std::string& ip, const std::string& msg) {
  vell::ProcDNSAnswer(query_, ip, msg);
}

// The flood guard is off until its subsystem exists (BOMBLEVEL 0 behaviour).
bool Services::FloodBlocked(const std::string&) { return false; }

bool Services::AcceptConnection(TcpSocket& listener, int request_id) {
  query_.TCPcon.Accept(listener, request_id);
  return true;
}

// DHCP requests are dropped until the DHCP server exists.
void Services::Arrival(int, const std::string&, std::string&) {}

void Services::LoadAll() { ctx_.AuthData.LoadAll(); }
void Services::LoadPerm() { ctx_.Cache.LoadPerm(ctx_.AuthData.ZoneFind(".") != kNotFound); }
void Services::LoadCache() { ctx_.Cache.LoadCache(); }
void Services::SaveCache() { ctx_.Cache.SaveCache(false); }
void Services::RequestTimeOuts() { query_.Requests.RequestTimeOuts(); }
void Services::Purge() { ctx_.Cache.Purge(); }
long Services::CacheCount() const { return ctx_.Cache.Count(); }
void Services::DropActiveRequests() { query_.Requests.DropAll(); }
void Services::CheckSecondaries() { vell::CheckSecondaries(query_); }
void Services::ProcessTransferQueueIfIdle() { transfers_.Resume(); }
void Services::SaveZoneTTL() { ctx_.AuthData.SaveZoneTTL(); }

}  // namespace vell
