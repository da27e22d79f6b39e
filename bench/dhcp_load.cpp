// DHCP load generator for bench/dhcp.sh: full DISCOVER-OFFER-REQUEST-ACK
// exchanges for N distinct clients (hardware addresses 02:00:<i>), W at a
// time, over a UDP socket on port 68 tied to one interface; the broadcast
// flag is set so that every server broadcasts its replies. With a DNS port,
// each client's name is asked for right after its ACK until the server
// answers with an address, and the delay is reported.
//   dhcp_load IFACE DNS_SERVER DNS_PORT DOMAIN CLIENTS WINDOW [FIRST]
// FIRST (default 0) numbers the first client, so runs can use new clients.
// Standalone (no project code), built by the script with g++ -O2.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Client {
  int stage = 0;  // 0 waiting for offer, 1 waiting for ack, 2 done, 3 failed
  Clock::time_point sent;
  int tries = 0;
  uint32_t offered = 0, server = 0;
};

std::string Mac(int i) { return {2, 0, char(i >> 24), char(i >> 16), char(i >> 8), char(i)}; }
std::string Name(int i) { return "c" + std::to_string(i); }

std::string Message(int i, int type, const Client& c) {
  std::string m(240, '\0');
  m[0] = 1, m[1] = 1, m[2] = 6;
  const uint32_t xid = htonl(i + 1);
  memcpy(&m[4], &xid, 4);
  m[10] = char(0x80);  // broadcast flag
  m.replace(28, 6, Mac(i));
  m.replace(236, 4, "\x63\x82\x53\x63");
  m += {53, 1, char(type)};
  const std::string name = Name(i);
  m += {12, char(name.size())};
  m += name;
  if (type == 3) {
    m += {50, 4};
    m.append(reinterpret_cast<const char*>(&c.offered), 4);
    m += {54, 4};
    m.append(reinterpret_cast<const char*>(&c.server), 4);
  }
  m += char(255);
  return m;
}

// Option code of msg -> its value, or "" when absent.
std::string Option(const std::string& msg, int code) {
  for (size_t p = 240; p + 1 < msg.size() && uint8_t(msg[p]) != 255;) {
    if (msg[p] == 0) {
      ++p;
      continue;
    }
    const size_t len = uint8_t(msg[p + 1]);
    if (uint8_t(msg[p]) == code) return msg.substr(p + 2, len);
    p += 2 + len;
  }
  return "";
}

std::string DnsQuery(uint16_t id, const std::string& name) {
  std::string q = {char(id >> 8), char(id), 1, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    q += char(dot - start);
    q += name.substr(start, dot - start);
    start = dot + 1;
  }
  return q + std::string{0, 0, 1, 0, 1};
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Asks for name until an answer with a record comes; the delay in ms, or -1.
double DnsDelay(int fd, const sockaddr_in& to, const std::string& name, Clock::time_point ack) {
  static uint16_t id = 0;
  char buf[1500];
  while (Clock::now() - ack < std::chrono::seconds(1)) {
    const std::string q = DnsQuery(++id, name);
    sendto(fd, q.data(), q.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n >= 12 && uint16_t(uint8_t(buf[0]) << 8 | uint8_t(buf[1])) == id && (buf[7] != 0 || buf[6] != 0)) {
      return Ms(Clock::now() - ack);
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7 && argc != 8) {
    fprintf(stderr, "usage: dhcp_load IFACE DNS_SERVER DNS_PORT DOMAIN CLIENTS WINDOW [FIRST]\n");
    return 2;
  }
  const std::string iface = argv[1], domain = argv[4];
  const int dns_port = atoi(argv[3]), total = atoi(argv[5]), window = atoi(argv[6]);
  const int first = argc == 8 ? atoi(argv[7]) : 0;
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, iface.c_str(), iface.size());
  sockaddr_in local{AF_INET, htons(68), {INADDR_ANY}, {}};
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return perror("bind"), 1;
  sockaddr_in server{AF_INET, htons(67), {INADDR_BROADCAST}, {}};
  const int dns = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in dns_to{AF_INET, htons(dns_port), {}, {}};
  inet_pton(AF_INET, argv[2], &dns_to.sin_addr);

  std::vector<Client> clients(total);
  std::vector<double> delays;
  int next = 0, open = 0, done = 0, failed = 0, low = 0;
  const auto send = [&](int i, int type) {
    const std::string m = Message(first + i, type, clients[i]);
    sendto(fd, m.data(), m.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
    clients[i].sent = Clock::now();
  };
  const auto start = Clock::now();
  char buf[1500];
  while (done + failed < total && Clock::now() - start < std::chrono::seconds(120)) {
    while (open < window && next < total) send(next++, 1), ++open;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      const std::string msg(buf, n > 0 ? size_t(n) : 0);
      if (msg.size() < 241 || msg[0] != 2) continue;
      uint32_t xid;
      memcpy(&xid, &msg[4], 4);
      const int i = int(ntohl(xid)) - 1 - first;
      if (i < 0 || i >= total) continue;
      Client& c = clients[i];
      const std::string type = Option(msg, 53);
      if (c.stage == 0 && type == "\x02") {
        memcpy(&c.offered, &msg[16], 4);
        const std::string id = Option(msg, 54);
        if (id.size() == 4) memcpy(&c.server, id.data(), 4);
        c.stage = 1, c.tries = 0;
        send(i, 3);
      } else if (c.stage == 1 && type == "\x06") {  // refused: start over, as a client does
        c.stage = 0, c.tries = 0;
        send(i, 1);
      } else if (c.stage == 1 && type == "\x05") {
        const auto ack = Clock::now();
        c.stage = 2, ++done, --open;
        if (dns_port != 0) delays.push_back(DnsDelay(dns, dns_to, Name(first + i) + "." + domain, ack));
      }
    }
    const auto now = Clock::now();
    while (low < next && clients[low].stage >= 2) ++low;
    for (int i = low; i < next; ++i) {  // resend what got no reply
      Client& c = clients[i];
      if (c.stage > 1 || now - c.sent < std::chrono::milliseconds(500)) continue;
      if (++c.tries > 4) {
        c.stage = 3, ++failed, --open;
      } else {
        send(i, c.stage == 0 ? 1 : 3);
      }
    }
  }
  const double seconds = Ms(Clock::now() - start) / 1000;
  printf("exchanges %d failed %d seconds %.3f rate %.0f", done, failed, seconds, done / seconds);
  if (!delays.empty()) {
    std::sort(delays.begin(), delays.end());
    const long missing = std::count(delays.begin(), delays.end(), -1.0);
    std::vector<double> ok(delays.begin() + missing, delays.end());
    if (!ok.empty())
      printf(" dns_ms_median %.3f dns_ms_p99 %.3f", ok[ok.size() / 2], ok[ok.size() * 99 / 100]);
    printf(" dns_unanswered %ld", missing);
  }
  printf("\n");
  return failed == 0 ? 0 : 1;
}
