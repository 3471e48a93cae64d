// RPC runtime stand-in: status codes and their texts.
//
// A status is a 32-bit code, 0 for success. The same codes are the faults that a
// call raises (rpc_frame.h) and that a server answers with.
#pragma once

#include <cstdint>

using rpc__status_t = uint32_t;

constexpr rpc__status_t rpc__s_ok = 0;
// No reply (nor fault) came from the server within the call wait.
constexpr rpc__status_t rpc__s_comm_failure = 0x1C010001;
// The server knows no interface of that identifier and version.
constexpr rpc__status_t rpc__s_unknown_if = 0x1C010002;
// The operation number is not below the interface's operation count.
constexpr rpc__status_t rpc__s_op_rng_error = 0x1C010003;
// The interface's entry vectors hold no routine for the operation.
constexpr rpc__status_t rpc__s_no_routine = 0x1C010004;
// A text is longer than the bound its operation declares.
constexpr rpc__status_t rpc__s_string_bound = 0x1C010005;
// An array count is above its maximum (or below zero).
constexpr rpc__status_t rpc__s_array_bound = 0x1C010006;
// A body does not read as its operation's layout (it ends too soon).
constexpr rpc__status_t rpc__s_bad_body = 0x1C010007;
// A host name that does not resolve.
constexpr rpc__status_t rpc__s_name_not_found = 0x1C010008;
// A port outside 1 .. 65535.
constexpr rpc__status_t rpc__s_invalid_port = 0x1C010009;
// The well-known port cannot be bound (another socket holds it).
constexpr rpc__status_t rpc__s_port_in_use = 0x1C01000A;
// An address family other than 2 (the Internet family).
constexpr rpc__status_t rpc__s_invalid_family = 0x1C01000B;
// A null or short argument, or a handle that the call cannot take.
constexpr rpc__status_t rpc__s_invalid_argument = 0x1C01000C;
// A socket could not be opened, or a datagram not sent.
constexpr rpc__status_t rpc__s_socket_failure = 0x1C01000D;
// A request or reply that does not fit in one datagram.
constexpr rpc__status_t rpc__s_too_big = 0x1C01000E;
// rpc__listen while the process already listens.
constexpr rpc__status_t rpc__s_already_listening = 0x1C01000F;
// rpc__unregister of an interface that is not registered.
constexpr rpc__status_t rpc__s_not_registered = 0x1C010010;

// The room error__c_text callers give the text.
constexpr int error__c_text_size = 200;

// The text of a status, NUL-terminated and cut to fit length bytes (a length below 1
// writes nothing). An unknown code gets "status %08x".
void error__c_text(rpc__status_t status, char* text, int length);
