#include "icmp_daemon_client.h"

std::atomic<int> ICMPdaemonSock{0};
