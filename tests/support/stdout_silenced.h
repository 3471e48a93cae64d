// Standard output to /dev/null for the life of the object: the messages a harness
// provokes are not its output.
#pragma once

#include <fcntl.h>
#include <unistd.h>

class StdoutSilenced {
 public:
  StdoutSilenced() {
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
  }
};
