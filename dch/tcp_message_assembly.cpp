// Joining the pieces of one TCP message by its declared total.
#include "tcp_message_assembly.h"

#include <cstring>
#include <new>

#include "trc1.h"
#include "zev0/typed_field.h"

TRC_UNIT();

namespace {

constexpr uint32_t kFirstCapacity = 4096;
// A buffer grown for an exceptional message is not kept for the ordinary ones after it.
constexpr uint32_t kKeptCapacity = 65536;

}  // namespace

TcpMessageAssembly::~TcpMessageAssembly() { release(); }

TcpMessageState TcpMessageAssembly::add(const char* piece, int bytes, int timeoutSeconds) {
  TcpMessageState state = join(piece, bytes);
  // The time-out runs from the first piece, for a message that it did not bring whole.
  if (state == TcpMessageState::partial && pieces_ == 1 && timeoutSeconds > 0) {
    timed_ = true;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  }
  return state;
}

TcpMessageState TcpMessageAssembly::join(const char* piece, int bytes) {
  uint32_t count = static_cast<uint32_t>(bytes);
  uint32_t before = totalRead_;
  ++pieces_;
  for (uint32_t at = 0; before + at < sizeof head_ && at < count; ++at)
    head_[before + at] = piece[at];
  totalRead_ = before + count;
  if (!lengthKnown_ && totalRead_ >= sizeof head_) {
    totalLen_ = ZEV0_MessageTotalLength(head_);
    lengthKnown_ = true;
    if (totalLen_ < TCP_MESSAGE_MIN_BYTES || totalLen_ > TCP_MESSAGE_MAX_BYTES) return TcpMessageState::refusedTotal;
  }
  if (lengthKnown_ && totalRead_ > totalLen_) return TcpMessageState::wrongLength;
  if (!dropping_ && !keep(piece, count)) dropping_ = true;
  if (!lengthKnown_ || totalRead_ < totalLen_) return TcpMessageState::partial;
  return dropping_ ? TcpMessageState::wrongLength : TcpMessageState::complete;
}

// Appends the piece behind the bytes already kept.
bool TcpMessageAssembly::keep(const char* piece, uint32_t bytes) {
  if (!reserve(kept_ + bytes)) return false;
  memcpy(buffer_ + kept_, piece, bytes);
  kept_ += bytes;
  return true;
}

// Grows by doubling, never past the declared total.
bool TcpMessageAssembly::reserve(uint32_t needed) {
  if (needed <= capacity_) return true;
  uint32_t capacity = capacity_ > 0 ? capacity_ : kFirstCapacity;
  while (capacity < needed) capacity *= 2;
  if (lengthKnown_ && capacity > totalLen_) capacity = totalLen_;
  char* grown = new (std::nothrow) char[capacity];
  if (grown == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %u bytes for ipcBuffer, current ipcBufCount: %d", capacity, pieces_);
    return false;
  }
  if (kept_ > 0) memcpy(grown, buffer_, kept_);
  delete[] buffer_;
  buffer_ = grown;
  capacity_ = capacity;
  return true;
}

void TcpMessageAssembly::reset() {
  if (capacity_ > kKeptCapacity) freeBuffer();
  clearState();
}

void TcpMessageAssembly::release() {
  freeBuffer();
  clearState();
}

void TcpMessageAssembly::freeBuffer() {
  delete[] buffer_;
  buffer_ = nullptr;
  capacity_ = 0;
}

void TcpMessageAssembly::clearState() {
  totalRead_ = 0;
  kept_ = 0;
  totalLen_ = 0;
  lengthKnown_ = false;
  dropping_ = false;
  pieces_ = 0;
  timed_ = false;
}
