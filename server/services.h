// The subsystems as the main form and the endpoints see them: the duties of
// start-up and the housekeeping tick, and the receivers of what arrives.
#pragma once

#include "dhcp/mod_dhcp.h"
#include "query/query_context.h"
#include "server/context.h"
#include "server/inbound.h"
#include "server/server_duties.h"

namespace vell {

class Services final : public ServerDuties, public InboundHandler {
 public:
  Services(Context& ctx, QueryContext& query, SoaCheck& transfers, modDHCP& dhcp)
      : ctx_(ctx), query_(query), transfers_(transfers), dhcp_(dhcp) {}

  void ProcDNSRequest(const std::string& ip, long port, const std::string& msg) override;
  void ProcDNSAnswer(const std::string& ip, const std::string& msg, Transport via) override;
  bool FloodBlocked(const std::string& ip) override;
  bool AcceptConnection(TcpSocket& listener, int request_id) override;
  void Arrival(int index, const std::string& ip, std::string& buffer) override;
  void ReloadAll() override;
  void ReloadZone(const std::string& zone) override;
  void UnloadZone(const std::string& zone) override;

  void LoadAll() override;
  void LoadPerm() override;
  void LoadCache() override;
  void LoadBlocks() override;
  void SaveBlocks() override;
  void LoadLeases() override;
  void SaveLeases() override;
  void SaveChangedLeases() override;
  void SaveCache() override;
  void RequestTimeOuts() override;
  void Purge() override;
  long CacheCount() const override;
  void DropActiveRequests() override;
  void CheckSecondaries() override;
  void ProcessTransferQueueIfIdle() override;
  void SaveZoneTTL() override;
  void MLLoad() override;
  DateTime LastMLSync() const override;
  void MLSync() override;
  void MLSave() override;

 private:
  Context& ctx_;
  QueryContext& query_;
  SoaCheck& transfers_;
  modDHCP& dhcp_;
};

}  // namespace vell
