#include "data_thread_fixture.h"

#include "raf_driver.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "user_data_list_entry.h"

namespace {

// The table the collecting request is opened on: not one of the applications'.
constexpr char kCollectorApplication[] = "COLLECT";
constexpr char kCollectorTable[] = "COLLECT00";

}  // namespace

void DataThreadTest::SetUp() {
  DefinitionRoadTest::SetUp();
  if (HasFatalFailure()) return;
  registry_ = std::make_unique<samplesList>();
  setDataSamples(registry_.get());
  provider_ = std::make_unique<rawdch::TcpPeer>(port());
  ASSERT_TRUE(provider_->connected());
  collectorManager_ = std::make_unique<CollectorManager>(kCollectorApplication, kCollectorTable);
  collector_ = std::make_unique<OpenedRequest>(kCollectorApplication, kCollectorTable);
}

void DataThreadTest::TearDown() {
  collector_.reset();
  collectorManager_.reset();
  setDataSamples(nullptr);
  registry_.reset();
  raf::Reset();
  DefinitionRoadTest::TearDown();
  // Only once the host has ended: a source of DVAGENT/DPLOG going offline starts a thread
  // of the host's action log that the host's end does not wait for.
  provider_.reset();
}

std::unique_ptr<userDataList> DataThreadTest::Build(const std::string& applName) {
  auto definition = std::make_unique<userDataList>(applName.c_str());
  EXPECT_EQ(definition->errors(), 0);
  userDataListIterator walk(definition->entries());
  while (userDataListEntry* entry = walk.Next()) {
    std::string parked = std::string("waitOnDP thread parked for applName<") + applName + "> attrGroup<" +
                         entry->attrGroup() + ">";
    EXPECT_TRUE(Eventually([&] { return trace().contains(parked); }, kMustHappenMs)) << parked;
  }
  syncWithServer();
  return definition;
}

std::string DataThreadTest::TableOf(const userDataList& definition, const std::string& attrGroup) {
  userDataListIterator walk(definition.entries());
  while (userDataListEntry* entry = walk.Next())
    if (attrGroup == entry->attrGroup()) return entry->udi()->tableNameRR();
  ADD_FAILURE() << "no group " << attrGroup;
  return "";
}

uint32_t DataThreadTest::Online(const userDataList& definition, const std::string& attrGroup,
                                const std::string& sourceName, bool record) {
  uint32_t handle = online(*provider_, definition.applName(), attrGroup, sourceName);
  if (record) Record(definition, attrGroup, sourceName);
  return handle;
}

void DataThreadTest::Record(const userDataList& definition, const std::string& attrGroup,
                            const std::string& sourceName) {
  samplesList::SubnodeName subnode;
  ASSERT_NE(registry_->onlineEntry(definition.applName(), TableOf(definition, attrGroup).c_str(), attrGroup.c_str(),
                                   definition.RR(), sourceName.c_str(), subnode),
            nullptr);
}

int32_t DataThreadTest::Send(uint32_t handle, uint16_t controlField, const std::vector<Value>& values) {
  rawdch::Message request = rawdch::DataRequest(handle, controlField);
  for (const Value& value : values) {
    request.text(rawdch::kAttrName, value.attrName);
    if (value.text != nullptr)
      request.text(rawdch::kAttrValue, value.text);
    else
      request.u32(rawdch::kAttrValue, value.counter);
  }
  rawdch::StatusReply reply = provider_->exchange(request.bytes(), kAnswerWaitMs);
  EXPECT_TRUE(reply.valid);
  return reply.valid ? reply.status : INT32_MIN;
}

std::shared_ptr<dataList> DataThreadTest::ListOf(const userDataList& definition, const std::string& attrGroup,
                                                 const std::string& sourceName) {
  std::string key = std::string(definition.applName()).substr(0, 3);
  std::string table = TableOf(definition, attrGroup);
  std::shared_ptr<dataList> list;
  Eventually([&] { return (list = registry_->dataListPtr(key.c_str(), table.c_str(), sourceName.c_str())) != nullptr; },
             kMustHappenMs);
  return list;
}

bool DataThreadTest::Filed(const userDataList& definition, const std::string& attrGroup,
                           const std::string& sourceName, int count) {
  std::string line = "Record for table <" + TableOf(definition, attrGroup) + "> of source <" + sourceName + ">";
  return Eventually([&] { return trace().count(line) >= count; }, kMustHappenMs) && trace().count(line) == count;
}

std::vector<std::string> DataThreadTest::Emitted(dataList& list, const char* originNode) {
  return collector_->sample([&](RowCollector& request) { list.emitToRAF(request, originNode, 0); });
}
