// A main form over a real event loop, with the subsystems replaced by
// recorders, for the lifecycle and front-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/endpoints.h"
#include "server/frm_alpha.h"
#include "test_support.h"

namespace vell::test {

// Records the order in which the form asks the subsystems for their duties.
class RecordingDuties final : public ServerDuties {
 public:
  void LoadAll() override { calls.push_back("LoadAll"); }
  void MLLoad() override { calls.push_back("MLLoad"); }
  void LoadPerm() override { calls.push_back("LoadPerm"); }
  void LoadCache() override { calls.push_back("LoadCache"); }
  void LoadBlocks() override { calls.push_back("LoadBlocks"); }
  void LoadLeases() override { calls.push_back("LoadLeases"); }
  void RequestTimeOuts() override { calls.push_back("RequestTimeOuts"); }
  void Purge() override { calls.push_back("Purge"); }
  void CheckSecondaries() override { calls.push_back("CheckSecondaries"); }
  DateTime LastMLSync() const override { return last_sync; }
  void MLSync() override { calls.push_back("MLSync"); }
  long CacheCount() const override { return 42; }
  void DropActiveRequests() override { calls.push_back("DropActiveRequests"); }
  void SaveCache() override { calls.push_back("SaveCache"); }
  void SaveBlocks() override { calls.push_back("SaveBlocks"); }
  void SaveLeases() override { calls.push_back("SaveLeases"); }
  void SaveZoneTTL() override { calls.push_back("SaveZoneTTL"); }
  void MLSave() override { calls.push_back("MLSave"); }

  std::vector<std::string> calls;
  DateTime last_sync = 0;
};

// Records what the front end hands on.
class RecordingInbound final : public InboundHandler {
 public:
  void ProcDNSRequest(const std::string& ip, long port, const std::string& msg) override {
    requests.push_back(ip + ":" + std::to_string(port) + ":" + msg);
  }
  void ProcDNSAnswer(const std::string& ip, const std::string& msg, Transport) override {
    answers.push_back(ip + ":" + msg);
  }
  bool FloodBlocked(const std::string&) override { return flood; }
  bool AcceptConnection(TcpSocket&, int) override { return false; }
  void Arrival(int index, const std::string& ip, std::string& buffer) override {
    // The buffer is left as it is: emptying it is the DHCP server's duty
    // (tests/unit/dhcp), and a recorder that did it would hide its absence.
    dhcp.push_back(std::to_string(index) + ":" + ip + ":" + std::to_string(buffer.size()));
  }
  void ReloadAll() override { reloads.push_back("RELOAD"); }
  void ReloadZone(const std::string& zone) override { reloads.push_back("RELOAD " + zone); }
  void UnloadZone(const std::string& zone) override { reloads.push_back("UNLOAD " + zone); }
  std::vector<std::string> requests, answers, dhcp, reloads;
  bool flood = false;
};

class FormTest : public ::testing::Test {
 protected:
  FormTest() {
    t.ctx.ports.dns = 0;  // system-chosen ports keep tests apart
    t.ctx.ports.dhcp = 0;
    t.ctx.log.KeepLog = true;
  }
  std::vector<std::string> Logged() const { return LogTexts(t.ctx); }
  TestContext t;
  EventLoop& loop = t.loop;
  RecordingDuties duties;
  RecordingInbound inbound;
  OutgoingIds ids{t.clock};
  Endpoints endpoints{t.ctx, inbound, ids};
  frmAlpha form{t.ctx, duties, endpoints};
};

}  // namespace vell::test
