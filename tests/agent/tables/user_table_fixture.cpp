#include "user_table_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dch_test_settings.h"

userTableColumnsPtr Columns() {
  std::vector<userTableColumn> columns = {{"ORIGINNODE", "Node_Name", 2, 32, 0},
                                          {"DV1", "Name", 2, 8, 32},
                                          {"DV2", "Small", 1, 2, 40},
                                          {"DV3", "Count", 1, 4, 42},
                                          {"DV4", "State", 5, 4, 46}};
  return std::make_shared<const userTableColumns>(columns, kRowSize, kAppl, "PGRP", kTable);
}

std::string Row(const std::string& name, int16_t small, int32_t count, const std::string& state) {
  std::string row(kRowSize, ' ');
  row.replace(32, name.size(), name);
  std::memcpy(&row[40], &small, sizeof small);
  std::memcpy(&row[42], &count, sizeof count);
  row.replace(46, state.size(), state);
  return row;
}

std::string NameOf(const std::string& row) {
  std::string name = row.substr(32, 8);
  return name.erase(name.find_last_not_of(' ') + 1);
}

std::vector<std::string> NamesOf(const std::vector<std::string>& rows) {
  std::vector<std::string> names;
  for (const std::string& row : rows) names.push_back(NameOf(row));
  return names;
}

UserTable::UserTable() {
  LoopbackDCHPort();
  setDataSamples(&registry_);
  manager_.publishColumns(nullptr, Columns());
  EXPECT_EQ(RemoteManager::RegisterClass(&manager_), 0);
}

UserTable::~UserTable() {
  for (uint32_t handle : raf::OpenRequests(kApplRR, kTable)) raf::CloseRequest(handle);
  setDataSamples(nullptr);
}

raf::RequestSpec UserTable::Spec(const std::vector<std::string>& subnodes, int sampleType,
                                 const std::string& situation) {
  raf::RequestSpec spec;
  spec.application = kApplRR;
  spec.table = kTable;
  spec.subnodes = subnodes;
  spec.sampleType = sampleType;
  spec.situation = situation;
  spec.interval = 60;
  return spec;
}

uint32_t UserTable::Open(const raf::RequestSpec& spec) {
  uint32_t handle = raf::OpenRequest(spec);
  EXPECT_NE(handle, 0u);
  return handle;
}

std::shared_ptr<dataList> UserTable::Online(const char* source, const std::vector<std::string>& rows) {
  samplesList::SubnodeName subnode;
  EXPECT_NE(registry_.onlineEntry(kAppl, kTable, "PGRP", "00", source, subnode), nullptr);
  auto list = std::make_shared<dataList>("MYA", kTable, source, kRowSize, 300);
  auto layout = std::make_shared<rowLayout>();
  layout->sampleType = 'S';
  list->userData(layout);
  EXPECT_EQ(registry_.updateDataList("MYA", "PGRP", source, list), 0);
  for (const std::string& row : rows) Add(*list, row);
  return list;
}

void UserTable::Add(dataList& list, const std::string& row) {
  rowBuffer bytes(new char[kRowSize]);
  std::memcpy(bytes.get(), row.data(), kRowSize);
  EXPECT_EQ(list.addEntry(kSingleRow, std::move(bytes), 0), 0);
}

std::vector<std::string> UserTable::Sample(uint32_t handle) {
  std::vector<std::string> rows;
  EXPECT_TRUE(raf::Sample(handle, &rows));
  return rows;
}
