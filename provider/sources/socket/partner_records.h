// The records in what a partner sends: the cut of a received buffer into records,
// the move of one record into the source's attributes, and, for a TCP partner, the
// record that a full receive ended in the middle of, kept for the next receive.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct DPAB;
struct IOEntry;

namespace zevp {

struct RecordView {
  const char* text;
  int length;
};

// The records of the bytes: a CR or LF in the last two bytes is dropped, the rest
// is cut at each LF (a CR right before or after it goes with it); empty records
// are left out.
std::vector<RecordView> CutRecords(const char* bytes, int length);

// The records of an API request's operands: cut at each LF alone.
std::vector<RecordView> CutAtLineFeeds(const std::string& operands);

// Copies the record into a free input buffer of the partner (at most the buffer's
// capacity) and moves it into the source's attributes: 1 when the row passed the
// filters, else 0.
int LoadPartnerRecord(DPAB* anchor, IOEntry* partner, const char* record, int length);

// The bytes of a TCP receive to work on now. A receive that filled the buffer may
// end inside a record: its bytes after the last LF wait for the next receive,
// unless there is no LF (a record longer than any receive goes as it is).
class UnfinishedRecords {
 public:
  // The partner's kept bytes and the received ones, up to where they can be cut.
  std::string take(const IOEntry* partner, const char* received, int length, bool filledReceive);
  // What is kept for the partner, handed out (its connection ended).
  std::string flush(const IOEntry* partner);
  void forget(const IOEntry* partner) { kept_.erase(partner); }
  // Forgets what is kept for partners not in the list (released meanwhile).
  void keepOnly(const std::vector<const IOEntry*>& partners);

 private:
  std::unordered_map<const IOEntry*, std::string> kept_;
};

}  // namespace zevp
