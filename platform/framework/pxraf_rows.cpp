// A request's rows and the event batches it dispatches.
#include <algorithm>
#include <cstring>
#include <new>

#include "internal/failures.h"
#include "internal/pxraf_state.h"
#include "trc1.h"

TRC_UNIT();

namespace {

using Rows = std::vector<std::unique_ptr<char[]>>;

std::unique_ptr<char[]> copyOfRow(const char* bytes, size_t have, int rowSize) {
  std::unique_ptr<char[]> row(new (std::nothrow) char[rowSize]);
  if (row == nullptr) return row;
  size_t kept = std::min(have, static_cast<size_t>(rowSize));
  std::memcpy(row.get(), bytes, kept);
  std::memset(row.get() + kept, 0, rowSize - kept);
  return row;
}

std::vector<std::string> bytesOf(const Rows& rows, int rowSize) {
  std::vector<std::string> copies;
  for (const auto& row : rows) copies.emplace_back(row.get(), rowSize);
  return copies;
}

// Rows are counted as reserved allocationDefault at a time. The table's own room grows by
// at least half again: grown to the count alone, a table of one-row steps would copy itself
// for every row inserted.
template <typename RequestState>
void reserveFor(RequestState& state, size_t rowCount) {
  int chunk = state.allocationDefault > 0 ? state.allocationDefault : 1;
  while (static_cast<size_t>(state.rowsAllocated) < rowCount) state.rowsAllocated += chunk;
  size_t wanted = static_cast<size_t>(state.rowsAllocated);
  if (state.rows.capacity() < wanted) state.rows.reserve(std::max(wanted, state.rows.capacity() * 3 / 2));
}

}  // namespace

int Pxraf::InsertRow(char* row) {
  if (raf::FailureDue(raf::Failure::InsertRow)) return 1;
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  if (row == nullptr || state_->rowSize <= 0) {
    TRC(TRC_ERROR, "Error: InsertRow without %s on request %u", row == nullptr ? "a row" : "a row size", Handle());
    return 1;
  }
  std::unique_ptr<char[]> copy = copyOfRow(row, state_->rowSize, state_->rowSize);
  if (copy == nullptr) return 1;
  reserveFor(*state_, state_->rows.size() + 1);
  state_->rows.push_back(std::move(copy));
  return 0;
}

int Pxraf::Dispatch() {
  if (raf::FailureDue(raf::Failure::Dispatch)) return RAF_STATUS_FAILED;
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  if (!state_->rows.empty()) state_->batches.push_back(bytesOf(state_->rows, state_->rowSize));
  return 0;
}

void Pxraf::ClearCount() {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  state_->rows.clear();
}

void Pxraf::SetRowSize(int bytes) {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  int size = bytes > 0 ? bytes : 0;
  if (size == state_->rowSize) return;
  Rows resized;
  for (const auto& row : state_->rows) {
    std::unique_ptr<char[]> copy = size > 0 ? copyOfRow(row.get(), state_->rowSize, size) : nullptr;
    if (copy != nullptr) resized.push_back(std::move(copy));
  }
  state_->rows.swap(resized);
  state_->rowSize = size;
}

int Pxraf::DataSize() {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  return state_->rowSize;
}

void Pxraf::SetAllocationDefault(int rows) {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  state_->allocationDefault = rows > 0 ? rows : 1;
}

int Pxraf::AllocationDefault() {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  return state_->allocationDefault;
}

int Pxraf::RowsAllocated() {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  return state_->rowsAllocated;
}

int Pxraf::NumDataItems() {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  return static_cast<int>(state_->rows.size());
}

char* Pxraf::Data(int i) {
  std::lock_guard<std::mutex> guard(state_->rowsLock);
  if (i < 0 || static_cast<size_t>(i) >= state_->rows.size()) return nullptr;
  return state_->rows[i].get();
}

std::vector<std::string> PxrafInternals::rows(Pxraf* request) {
  Pxraf::State& state = *request->state_;
  std::lock_guard<std::mutex> guard(state.rowsLock);
  return bytesOf(state.rows, state.rowSize);
}

std::vector<std::string> PxrafInternals::takeRows(Pxraf* request) {
  Pxraf::State& state = *request->state_;
  std::lock_guard<std::mutex> guard(state.rowsLock);
  std::vector<std::string> taken = bytesOf(state.rows, state.rowSize);
  state.rows.clear();
  return taken;
}

void PxrafInternals::replaceRows(Pxraf* request, const std::vector<std::string>& rows) {
  Pxraf::State& state = *request->state_;
  std::lock_guard<std::mutex> guard(state.rowsLock);
  state.rows.clear();
  if (state.rowSize <= 0) return;
  for (const std::string& bytes : rows) {
    std::unique_ptr<char[]> copy = copyOfRow(bytes.data(), bytes.size(), state.rowSize);
    if (copy == nullptr) return;
    reserveFor(state, state.rows.size() + 1);
    state.rows.push_back(std::move(copy));
  }
}

std::vector<std::vector<std::string>> PxrafInternals::takeBatches(Pxraf* request) {
  Pxraf::State& state = *request->state_;
  std::lock_guard<std::mutex> guard(state.rowsLock);
  std::vector<std::vector<std::string>> taken;
  taken.swap(state.batches);
  return taken;
}
