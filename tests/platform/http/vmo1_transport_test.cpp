// The HTTP library where its transport cannot be loaded: the opening says why, every
// later one says the same, and an exchange ends with a status that says so. A program
// of its own, so that no exchange has opened the transport before.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "child_namespace.h"
#include "vmo1.h"
#include "vmo1_transport.h"

namespace {

TEST(VMO1transportTest, WithoutItsTransportTheLibrarySaysWhyAndAnExchangeEndsWithItsOwnStatus) {
  const std::string transport = LibraryFile(vmo1::kTransportLibrary);
  ASSERT_FALSE(transport.empty()) << vmo1::kTransportLibrary << " cannot be loaded here";
  RunWithFileHidden(transport, [] {
    std::string failure;
    EXPECT_FALSE(vmo1::OpenTransport(&failure));
    const std::string said = std::string("cannot load ") + vmo1::kTransportLibrary + ": ";
    EXPECT_EQ(failure.compare(0, said.size(), said), 0) << failure;
    EXPECT_GT(failure.size(), said.size()) << "the loader's reason follows";

    const char url[] = "http://127.0.0.1:9/";
    VMO1_Activity activity = nullptr;
    ASSERT_EQ(VMO1_NewActivity(nullptr, &activity, url, sizeof url - 1, 0, 0, nullptr), VMO1_OK);
    VMO1_HeaderDictionary* dictionary = nullptr;
    EXPECT_EQ(VMO1_RequestActivity(activity, &dictionary), VMO1_TRANSPORT_UNAVAILABLE);
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(dictionary->hdiCount, 0);
    int32_t length = -1;
    EXPECT_EQ(VMO1_OpenEntity(activity, &length, nullptr), VMO1_NO_ENTITY);
    EXPECT_EQ(VMO1_DeleteActivity(activity), VMO1_OK);
    VMO1_StatusDescription description;
    ASSERT_EQ(VMO1_QueryStatus(VMO1_STATUS_DESCRIPTION_SIZE, &description, VMO1_TRANSPORT_UNAVAILABLE), VMO1_OK);
    EXPECT_EQ(std::string(description.text, static_cast<size_t>(description.textLength)),
              "HTTP transport library could not be loaded");
    EXPECT_EQ(description.httpCode, 0);

    std::string again;
    EXPECT_FALSE(vmo1::OpenTransport(&again));
    EXPECT_EQ(again, failure);
  });
}

}  // namespace
