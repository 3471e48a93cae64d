// A loopback port that is free for both TCP and UDP, for a server a test starts.
#pragma once

// Chosen at random below the kernel's ephemeral range, so that the client sockets of
// other tests running at the same time cannot take it between the check and the bind.
// 0 when none was found.
unsigned short FreeLoopbackPort();
