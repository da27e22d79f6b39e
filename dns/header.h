// The 12-octet DNS header: field positions (0-based) and flag bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vell::header {

constexpr size_t kSize = 12;              // the question section starts right after
constexpr size_t kQuestionFixedSize = 4;  // QTYPE, QCLASS after the name
constexpr size_t kRecordFixedSize = 10;   // TYPE, CLASS, TTL, RDLENGTH after the name

// 0-based offsets of the fields.
constexpr size_t kId = 0;
constexpr size_t kFlags1 = 2;
constexpr size_t kFlags2 = 3;
constexpr size_t kQdCount = 4;
constexpr size_t kAnCount = 6;
constexpr size_t kNsCount = 8;
constexpr size_t kArCount = 10;

// Flags 1 (octet 3).
constexpr unsigned kQR = 0x80;  // set in a response
constexpr unsigned kOpCodeMask = 0x78;
constexpr unsigned kAA = 0x04;
constexpr unsigned kTC = 0x02;
constexpr unsigned kRD = 0x01;

// Whether msg is a whole header with QR set.
inline bool IsResponse(std::string_view msg) {
  return msg.size() >= kSize && (static_cast<unsigned char>(msg[kFlags1]) & kQR) != 0;
}

// Flags 2 (octet 4). The Z bits (0x70) are written 0 and never read.
constexpr unsigned kRA = 0x80;
constexpr unsigned kRCodeMask = 0x0F;
constexpr int16_t kRCodeNoError = 0;
constexpr int16_t kRCodeFormErr = 1;
constexpr int16_t kRCodeServerFailure = 2;
constexpr int16_t kRCodeNameError = 3;
constexpr int16_t kRCodeNotImplemented = 4;
constexpr int16_t kRCodeRefused = 5;

// Opcodes. The server acts on queries and NOTIFY; the others are named in
// the log.
constexpr int kOpQuery = 0;
constexpr int kOpInverseQuery = 1;
constexpr int kOpStatus = 2;
constexpr int kOpNotify = 4;
constexpr int kOpUpdate = 5;

constexpr int OpCodeOf(unsigned flags1) { return static_cast<int>((flags1 & kOpCodeMask) >> 3); }
constexpr int RCodeOf(unsigned flags2) { return static_cast<int>(flags2 & kRCodeMask); }

}  // namespace vell::header
