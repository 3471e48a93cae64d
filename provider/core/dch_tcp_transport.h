// The TCP/IP transport of the DCH (the operations of TCPIP_DSFT): a TCP connection
// to the agent's DCH port, or, when none can be made, a UDP socket.
//
// Each connection has one receive thread, which owns its socket: only that thread
// closes it. Anyone else who drops the connection clears the socket field and
// shuts the socket down, which wakes the receive thread (a close from another
// thread would not), and a reconnect waits until the old thread has gone.
#pragma once

struct DCHcomm;

// Connects (TCP, else UDP) to the DCH of the settings in effect and starts the
// receive thread.
void ZEVP_TCPIP_WaitDCHcomeOnline(DCHcomm* comm);
// Drops the connection, connects again and reports the loss (-3).
void ZEVP_TCPIP_HandleDCHdisconnect(DCHcomm* comm);
// Bytes received (0: the agent closed the TCP connection, or an empty datagram),
// or -1 with the error in *errorNumber (EAGAIN: no reply within the UDP reply wait).
int ZEVP_TCPIP_DCHreceive(DCHcomm* comm, char* buffer, int size, int* errorNumber);
// Bytes sent, the whole message or what went of it before an error; a message
// longer than one datagram is refused over UDP.
int ZEVP_TCPIP_DCHsend(DCHcomm* comm, const char* buffer, int length, int* errorNumber);

// Drops the connection without waiting: the socket field cleared, no request
// pending, the socket shut down so that its receive thread ends.
void ZEVP_DropDCHconnection(DCHcomm* comm);
// Drops the connection and waits until its receive thread has ended; the status
// is left as it is.
void ZEVP_CloseDCHconnection(DCHcomm* comm);

// The largest piece one send writes, and the most a request may hold over UDP.
constexpr int ZEVP_DCH_SEND_PIECE = 32767;
