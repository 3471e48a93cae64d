#include "partner_records.h"

#include <algorithm>
#include <cstring>

#include "io_buffer.h"
#include "io_entry.h"
#include "record_paths.h"
#include "source_states.h"
#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::vector<RecordView> CutRecords(const char* bytes, int length) {
  std::vector<RecordView> records;
  if (bytes == nullptr || length <= 0) return records;
  int end = length;
  for (int dropped = 0; dropped < 2 && end > 0 && isLineEnd(bytes[end - 1]); ++dropped) --end;
  int start = 0;
  while (start < end) {
    const char* found = static_cast<const char*>(std::memchr(bytes + start, '\n', static_cast<size_t>(end - start)));
    int lineFeed = found != nullptr ? static_cast<int>(found - bytes) : end;
    int recordEnd = lineFeed;
    if (recordEnd > start && bytes[recordEnd - 1] == '\r') --recordEnd;
    if (recordEnd > start) records.push_back({bytes + start, recordEnd - start});
    start = lineFeed + 1;
    if (found != nullptr && start < end && bytes[start] == '\r') ++start;
  }
  return records;
}

std::vector<RecordView> CutAtLineFeeds(const std::string& operands) {
  std::vector<RecordView> records;
  size_t start = 0;
  while (start < operands.size()) {
    size_t lineFeed = operands.find('\n', start);
    if (lineFeed == std::string::npos) lineFeed = operands.size();
    records.push_back({operands.data() + start, static_cast<int>(lineFeed - start)});
    start = lineFeed + 1;
  }
  return records;
}

int LoadPartnerRecord(DPAB* anchor, IOEntry* partner, const char* record, int length) {
  BSV1_GetLock(&partner->Lock);
  IObuffer* buffer = ZEVP_GetNextFreeBuffer(partner);
  if (buffer == nullptr) {
    BSV1_ReleaseLock(&partner->Lock);
    TRC(TRC_ERROR, "*** no input buffer for a record of %d bytes, record dropped", length);
    return 0;
  }
  int32_t copied = std::min(length, buffer->Capacity);
  if (copied < length)
    TRC(TRC_ERROR, "*** record of %d bytes cut to the %d of its input buffer", length, static_cast<int>(copied));
  std::memcpy(buffer->Data(), record, static_cast<size_t>(copied));
  buffer->DataLength = copied;
  TRC(TRC_DETAIL, "Buffer state changed from %s to ValidData", BufferStateString[buffer->State]);
  buffer->State = ZEVP_ValidData;
  BSV1_ReleaseLock(&partner->Lock);
  return ZEVP_MoveDataFromBufferToAttr(anchor, partner, buffer);
}

std::string UnfinishedRecords::take(const IOEntry* partner, const char* received, int length, bool filledReceive) {
  std::string bytes;
  auto kept = kept_.find(partner);
  if (kept != kept_.end()) {
    bytes.swap(kept->second);
    kept_.erase(kept);
  }
  bytes.append(received, static_cast<size_t>(length));
  if (!filledReceive) return bytes;
  // Without a line feed the bytes fill a receive at least: one record, as it is.
  size_t lastLineFeed = bytes.rfind('\n');
  if (lastLineFeed != std::string::npos && lastLineFeed + 1 < bytes.size()) {
    TRC(TRC_DETAIL, "Receive of %d bytes ends inside a record: %d bytes kept for the next", length,
        static_cast<int>(bytes.size() - lastLineFeed - 1));
    kept_[partner] = bytes.substr(lastLineFeed + 1);
    bytes.resize(lastLineFeed + 1);
  }
  return bytes;
}

void UnfinishedRecords::keepOnly(const std::vector<const IOEntry*>& partners) {
  for (auto kept = kept_.begin(); kept != kept_.end();) {
    if (std::find(partners.begin(), partners.end(), kept->first) == partners.end())
      kept = kept_.erase(kept);
    else
      ++kept;
  }
}

std::string UnfinishedRecords::flush(const IOEntry* partner) {
  auto kept = kept_.find(partner);
  if (kept == kept_.end()) return {};
  std::string bytes = std::move(kept->second);
  kept_.erase(kept);
  return bytes;
}

}  // namespace zevp
