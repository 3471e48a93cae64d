// The record length of a source and the input buffer pool of its I/O entry.
#include "io_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bare_anchor.h"
#include "hand_built_model.h"
#include "model_records.h"
#include "model_release.h"
#include "trace_capture.h"

namespace {

// A source whose attributes have these types and sizes, in order.
struct Attribute {
  char type;
  uint16_t size;
};
int32_t RecordLengthOf(const std::vector<Attribute>& definitions) {
  std::vector<AttributeEntry> attributes(definitions.size());
  for (size_t i = 0; i < definitions.size(); ++i) {
    std::memset(&attributes[i], 0, sizeof attributes[i]);
    attributes[i].AttrType = definitions[i].type;
    attributes[i].MaxValSize = definitions[i].size;
    if (i > 0) attributes[i - 1].next = &attributes[i];
  }
  SourceEntry source;
  std::memset(&source, 0, sizeof source);
  source.FirstAttribute = attributes.empty() ? nullptr : attributes.data();
  return ZEVP_ComputeIObufferSize(&source);
}

TEST(IObuffersTest, RecordLengthCountsEachAttributeWithItsDelimiter) {
  struct Case {
    const char* label;
    std::vector<Attribute> attributes;
    int32_t length;
  } cases[] = {
      {"no attributes", {}, 80},
      {"a text of 20 and a counter of 4", {{'D', 20}, {'C', 4}}, 80 + 21 + 11},
      {"short numbers and a switch", {{'G', 2}, {'S', 2}, {'?', 2}}, 80 + 3 * 6},
      {"time stamp, skip, rest and record", {{'T', 16}, {'K', 3}, {'Z', 100}, {'R', 40}}, 80 + 17 + 4 + 101 + 41},
      {"an object of its own size", {{'O', 300}}, 80 + 301},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(RecordLengthOf(c.attributes), c.length);
  }
  TraceCapture trace("*=0x80");
  EXPECT_EQ(RecordLengthOf({{'G', 8}}), 80 + 11);
  EXPECT_TRUE(trace.contains("*** Logic error. Invalid attribute type. Size of 10 assumed"));
}

TEST(IObuffersTest, BuffersHoldTheRecordLengthAndAreNumberedInTheirChain) {
  struct Case {
    int32_t recordLength;
    int32_t traced;  // the buffer's size as the trace gives it
  } cases[] = {{112, 1024}, {1008, 1024}, {2000, 2016}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recordLength);
    BareAnchor anchor;
    IOEntry* entry = AddIOEntry(anchor.get(), nullptr, 'F', 0);
    entry->RecordLength = c.recordLength;
    TraceCapture trace("*=0x10");
    for (int n = 0; n < 3; ++n) ASSERT_EQ(ZEVP_AllocateIObuffer(entry), 1);
    EXPECT_EQ(trace.count("I/O Buffer allocated. Size " + std::to_string(c.traced) + " State NotInUse"), 3);
    int number = 0;
    for (IObuffer* buffer = entry->Buffers; buffer != nullptr; buffer = buffer->next) {
      EXPECT_EQ(buffer->BufferNumber, ++number);
      EXPECT_EQ(buffer->State, ZEVP_NotInUse);
      EXPECT_EQ(buffer->DataLength, 0);
      EXPECT_GE(buffer->Capacity, c.recordLength);
      std::memset(buffer->Data(), 'x', static_cast<size_t>(buffer->Capacity));  // the whole area is ours
    }
    EXPECT_EQ(number, 3);
    ZEVP_ReleaseIOResources(anchor.get(), entry);
  }
}

TEST(IObuffersTest, FreeBufferIsClearedAndNeverSmallerThanTheRecordLength) {
  BareAnchor anchor;
  IOEntry* entry = AddIOEntry(anchor.get(), nullptr, 'F', 0);
  entry->RecordLength = 200;
  ASSERT_EQ(ZEVP_AllocateIObuffer(entry), 1);
  IObuffer* first = entry->Buffers;
  std::memset(first->Data(), 'x', static_cast<size_t>(first->Capacity));

  IObuffer* taken = ZEVP_GetNextFreeBuffer(entry);
  ASSERT_EQ(taken, first);
  EXPECT_EQ(taken->State, ZEVP_Allocated);
  EXPECT_EQ(std::string(taken->Data(), 200), std::string(200, '\0'));

  // All taken: a further buffer joins the chain.
  IObuffer* second = ZEVP_GetNextFreeBuffer(entry);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->BufferNumber, 2);
  EXPECT_EQ(first->next, second);

  // The record length grew beyond the free buffers: a buffer that holds it is made.
  first->State = ZEVP_NotInUse;
  second->State = ZEVP_NotInUse;
  entry->RecordLength = 3000;
  IObuffer* large = ZEVP_GetNextFreeBuffer(entry);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(large->BufferNumber, 3);
  EXPECT_GE(large->Capacity, 3000);
  std::memset(large->Data(), 'y', 3000);
  EXPECT_EQ(first->State, ZEVP_NotInUse);
  ZEVP_ReleaseIOResources(anchor.get(), entry);
}

}  // namespace
