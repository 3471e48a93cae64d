// The client library's data verbs against the API server of a data provider running
// in the test process: a program's input session from its BGNINP to its ENDINP, its
// values formatted between the delimiters the server replied with.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "socket_input_fixture.h"
#include "zev/dp_types.h"
#include "zevpapi/dp_api.h"

namespace {

const std::vector<std::string> kOrders = {"//APPL Orders", "//NAME Lines P 60", "//ATTRIBUTES ';'", "Item D 16",
                                          "Count C 100000"};

using APIclientTest = SocketInputTest;

TEST_F(APIclientTest, AProgramsRowsGoThroughTheClientLibrary) {
  metafile("orders", kOrders);
  ASSERT_NE(start(ZEV_DP_APIS), nullptr);
  ASSERT_NE(load("orders"), nullptr);
  // The library's anchor reads the data provider's address once, at its first call.
  setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
  setenv("ZEVP_API_REQUEST_WAIT", "5", 1);
  RowWaiter rows("Orders", "Lines");
  syncWithServer();

  int status = -1;
  APIhandle* handle = dp_AllocateHandle(&status);
  ASSERT_NE(handle, nullptr) << status;
  ASSERT_EQ(dp_BeginInput(handle, "Orders", "Lines", &status), 1) << status;
  void* buffer = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(handle, &buffer, 0, &status), 1) << status;
  for (const auto& [item, count] : std::vector<std::pair<const char*, int>>{{"apple", 6}, {"pear", 7}}) {
    ASSERT_EQ(dp_ClearBuffer(buffer, &status), 1) << status;
    ASSERT_EQ(dp_FormatBufferData(buffer, item, static_cast<int>(std::strlen(item)), ZEVP_API_TEXT, &status), 1);
    ASSERT_EQ(dp_FormatBufferData(buffer, &count, sizeof count, ZEVP_API_BINARY_INTEGER, &status), 1);
    ASSERT_EQ(dp_InputData(buffer, &status), 1) << status;
    EXPECT_EQ(NextRowText(rows), std::string(item) + "/17");
  }
  EXPECT_EQ(dp_EndInput(handle, &status), 1) << status;
  EXPECT_EQ(log().waitFor(35).inserts.at(1), "Lines");
  dp_FreeHandle(handle, &status);
}

}  // namespace
