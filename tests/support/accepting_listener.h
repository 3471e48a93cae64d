// A TCP listener on a free loopback port whose connections the test takes itself, one at
// a time, to read what comes on them, answer or close them.
#pragma once

#include <string>

#include "silent_listener.h"

class AcceptingListener : public SilentListener {
 public:
  // The next connection within the time (the system completes it before); -1 when
  // none came. The test closes it.
  int take(int waitMs);
};

// What came on the connection until `count` bytes were there, it closed or the time ran
// out.
std::string ReadFromConnection(int connection, size_t count, int waitMs);
