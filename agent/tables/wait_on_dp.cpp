#include "wait_on_dp.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "dch/dch_api.h"
#include "table_record_filer.h"
#include "trc1.h"
#include "user_data_info.h"

TRC_UNIT();

namespace {

std::atomic<DataRecordWait> recordWait{dc_waitOnData};

// A record is its length word, the source name and control fields and one value field
// per column: the row's bytes, a field head per column and room for the rest.
constexpr int kFieldHeadPerColumn = 4;
constexpr int kRecordSlack = 352;
// The wait takes the buffer's length in 16 bits.
constexpr int kMaxReceiveBuffer = INT16_MAX;

enum ThreadStatus { kRunning = 0, kFailed = 1, kCancelled = 2 };

class DataThread {
 public:
  explicit DataThread(userDataInfo& table) : table_(table), filer_(table) {}

  void run() {
    if (start())
      while (status_ == kRunning) waitForRecord();
    if (status_ == kCancelled) fileRowsOnTheirWay();
    end();
  }

 private:
  bool start();
  void waitForRecord();
  void fileRowsOnTheirWay();
  void end();

  userDataInfo& table_;
  tableRecordFiler filer_;
  std::unique_ptr<char[]> buffer_;
  int bufferSize_ = 0;
  DCHclient* handle_ = nullptr;
  int status_ = kRunning;
};

bool DataThread::start() {
  bufferSize_ = kFieldHeadPerColumn * (table_.noOfColumns() + 1) + table_.rowSize() + kRecordSlack;
  if (bufferSize_ > kMaxReceiveBuffer) {
    TRC(TRC_ERROR, "Error: records of table <%s> need %d bytes, more than the %d a wait takes", table_.tableNameRR(),
        bufferSize_, kMaxReceiveBuffer);
    return false;
  }
  buffer_.reset(new (std::nothrow) char[static_cast<size_t>(bufferSize_)]);
  if (buffer_ == nullptr) {
    TRC(TRC_ERROR, "Error: allocating buffer of %d bytes.", bufferSize_);
    return false;
  }
  handle_ = dc_waitOnDataInitialize(table_.applName(), table_.attrGroup());
  if (handle_ == nullptr) {
    TRC(TRC_ERROR, "Error: dc_waitOnDataInitialize failed.");
    return false;
  }
  // A description already being destroyed asks no cancel of a wait it never saw.
  if (!table_.setClientObject(handle_)) return false;
  TRC(TRC_DETAIL, "waitOnDP thread parked for applName<%s> attrGroup<%s> tableName<%s>", table_.applName(),
      table_.attrGroup(), table_.tableNameRR());
  return true;
}

void DataThread::waitForRecord() {
  std::memset(buffer_.get(), 0, static_cast<size_t>(bufferSize_));
  int result = recordWait.load()(handle_, buffer_.get(), static_cast<short>(bufferSize_));
  // A row handed over is filed, also when the thread is to stop: it may be the first of
  // the source's next online. The wait hands over a row before its cancel, so while rows
  // keep coming the thread asks the description itself whether it is to stop.
  if (result == 0 && filer_.fileRecord(buffer_.get(), static_cast<size_t>(bufferSize_)) != 0) {
    status_ = kFailed;
  } else if (result == -1 || (result == 0 && table_.stopRequested())) {
    TRC(TRC_DETAIL, "Ending waitOnDP thread for applKey<%s> tableName<%s>", table_.applKey(), table_.tableNameRR());
    status_ = kCancelled;
  } else if (result != 0) {
    TRC(TRC_ERROR, "Error: from dc_waitOnData.");
    status_ = kFailed;
  }
}

// The server sends a table's rows to the first thread parked for them, which stays this one
// until the server takes its removal: also while it files the row in hand, or once it is
// asked to stop, when its table's next thread may already wait. The rows that have come
// are filed; they may be the first of the source's next online.
void DataThread::fileRowsOnTheirWay() {
  for (;;) {
    std::memset(buffer_.get(), 0, static_cast<size_t>(bufferSize_));
    if (dc_waitOnDataWithdraw(handle_, buffer_.get(), static_cast<short>(bufferSize_)) != 0) return;
    if (filer_.fileRecord(buffer_.get(), static_cast<size_t>(bufferSize_)) != 0) return;
  }
}

// Past dataThreadEnded the description may be gone: only the thread's own things remain.
void DataThread::end() {
  table_.dataThreadEnded();
  if (handle_ != nullptr) dc_waitOnDataDestroy(handle_);
  TRC(TRC_DETAIL, "Deleting buffer @%p", static_cast<void*>(buffer_.get()));
}

}  // namespace

void* waitOnDP(void* description) {
  DataThread thread(*static_cast<userDataInfo*>(description));
  thread.run();
  return nullptr;
}

DataRecordWait setDataRecordWait(DataRecordWait wait) { return recordWait.exchange(wait); }
