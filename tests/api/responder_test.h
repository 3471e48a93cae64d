// The fixture of the tests that talk to a responder: the library's settings for a data
// provider on loopback, and fresh handles pointed at a responder.
#pragma once

#include <gtest/gtest.h>

#include "api_responder.h"
#include "api_test_settings.h"
#include "zevpapi/dp_api.h"

class ResponderTest : public ::testing::Test {
 protected:
  void SetUp() override { UseLoopbackSettings(); }

  // A fresh handle that talks to the responder.
  APIhandle* handleFor(const ApiResponder& responder) {
    EXPECT_TRUE(responder.listening());
    responder.pointClientHere();
    APIhandle* handle = dp_AllocateHandle(nullptr);
    EXPECT_NE(handle, nullptr);
    return handle;
  }
};
