#include "server/services.h"

#include "query/dispatch.h"
#include "query/notify.h"
#include "query/transfer_client.h"

namespace vell {

void Services::ProcDNSRequest(const std::string& ip, long port, const std::string& msg) {
  vell::ProcDNSRequest(query_, ip, port, msg);
}

void Services::ProcDNSAnswer(const std::string& ip, const std::string& msg, Transport via) {
  vell::ProcDNSAnswer(query_, ip, msg, via);
}

bool Services::FloodBlocked(const std::string& ip) { return !ctx_.blocks.FloodCheck(ip); }

bool Services::AcceptConnection(TcpSocket& listener, int request_id) {
  query_.TCPcon.Accept(listener, request_id);
  return true;
}

void Services::Arrival(int index, const std::string& ip, std::string& buffer) {
  dhcp_.Arrival(index, ip, buffer);
}
void Services::LoadLeases() { ctx_.DHCPLeases.Load(); }
void Services::SaveLeases() { ctx_.DHCPLeases.SaveLeases(); }
void Services::SaveChangedLeases() { ctx_.DHCPLeases.SaveIfChanged(); }

void Services::ReloadAll() {
  LoadAll();
  LoadPerm();
}

// A secondary zone is queued for a refresh from its primary; a primary
// zone's secondaries are told, unless the server is paused.
void Services::ReloadZone(const std::string& zone) {
  ctx_.AuthData.LoadZone(zone, 0);
  std::string primary;
  ctx_.AuthData.ZonePrimIP(zone, primary);
  if (!primary.empty()) {
    transfers_.Que(zone);
  } else if (ctx_.state.ServerRunning) {
    Notify(query_, zone);
  }
}

void Services::UnloadZone(const std::string& zone) { ctx_.AuthData.UnloadZone(zone); }

void Services::LoadAll() { ctx_.AuthData.LoadAll(); }
void Services::LoadPerm() { ctx_.Cache.LoadPerm(ctx_.AuthData.ZoneFind(".") != kNotFound); }
void Services::LoadCache() { ctx_.Cache.LoadCache(); }
void Services::LoadBlocks() { ctx_.blocks.LoadBlocks(); }
void Services::SaveBlocks() { ctx_.blocks.SaveBlocks(); }
void Services::SaveCache() { ctx_.Cache.SaveCache(false); }
void Services::RequestTimeOuts() { query_.Requests.RequestTimeOuts(); }
void Services::Purge() { ctx_.Cache.Purge(); }
long Services::CacheCount() const { return ctx_.Cache.Count(); }
void Services::DropActiveRequests() { query_.Requests.DropAll(); }
void Services::CheckSecondaries() { vell::CheckSecondaries(query_); }
void Services::ProcessTransferQueueIfIdle() { transfers_.Resume(); }
void Services::SaveZoneTTL() { ctx_.AuthData.SaveZoneTTL(); }
void Services::MLLoad() { ctx_.AuthData.MLLoad(); }
DateTime Services::LastMLSync() const { return ctx_.AuthData.LastMLSync(); }
void Services::MLSync() {
  ctx_.AuthData.MLSync([this](const std::string& zone) { Notify(query_, zone); });
}
void Services::MLSave() { ctx_.AuthData.MLSave(); }

}  // namespace vell
