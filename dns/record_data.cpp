#include "dns/record_data.h"

#include <algorithm>
#include <string_view>

#include "dns/wire.h"

namespace vell {

namespace {

// Text up to the next zero octet (or the end); data moves past the zero.
std::string TakeZeroEnded(std::string_view& data) {
  const size_t zero = std::min(data.find('\0'), data.size());
  std::string text(data.substr(0, zero));
  data.remove_prefix(std::min(zero + 1, data.size()));
  return text;
}

}  // namespace

std::string MakeSoaData(ErrorSink& sink, const SoaData& soa) {
  std::string data = soa.primary + '\0' + soa.mailbox + '\0';
  for (int32_t value : {soa.serial, soa.refresh, soa.retry, soa.expire, soa.minimum}) {
    data += MakeLong(sink, value);
  }
  return data;
}

SoaData ReadSoaData(const std::string& data) {
  std::string_view rest = data;
  SoaData soa;
  soa.primary = TakeZeroEnded(rest);
  soa.mailbox = TakeZeroEnded(rest);
  for (int32_t* field : {&soa.serial, &soa.refresh, &soa.retry, &soa.expire, &soa.minimum}) {
    *field = GetLong(rest, true);
  }
  return soa;
}

std::string MakeMxData(const MxData& mx) { return MakeInt(mx.preference) + mx.exchange; }

MxData ReadMxData(const std::string& data) {
  std::string_view rest = data;
  MxData mx;
  mx.preference = GetInt(rest, true);
  mx.exchange = rest;
  return mx;
}

std::string MakeSrvData(const SrvData& srv) {
  return MakeInt(srv.priority) + MakeInt(srv.weight) + MakeInt(srv.port) + srv.target;
}

SrvData ReadSrvData(const std::string& data) {
  std::string_view rest = data;
  SrvData srv;
  srv.priority = GetInt(rest, true);
  srv.weight = GetInt(rest, true);
  srv.port = GetInt(rest, true);
  srv.target = rest;
  return srv;
}

std::string MakeTxtData(const std::vector<std::string>& strings) {
  std::string data;
  for (const std::string& s : strings) {
    const size_t length = std::min<size_t>(s.size(), 255);
    data += static_cast<char>(length);
    data.append(s, 0, length);
  }
  return data;
}

std::vector<std::string> ReadTxtData(const std::string& data) {
  std::vector<std::string> strings;
  for (size_t pos = 0; pos < data.size();) {
    const size_t length = static_cast<unsigned char>(data[pos]);
    strings.push_back(data.substr(pos + 1, length));
    pos += 1 + length;
  }
  return strings;
}

std::string_view NameAfterNumbers(int32_t lookup_type, const std::string& data) {
  constexpr size_t kMxNumbers = 2;   // preference
  constexpr size_t kSrvNumbers = 6;  // priority, weight, port
  const size_t from = lookup_type == kTypeMX    ? kMxNumbers
                      : lookup_type == kTypeSRV ? kSrvNumbers
                                                : data.size();
  return from < data.size() ? std::string_view(data).substr(from) : std::string_view();
}

}  // namespace vell
