// The transport base: serving (ring and server thread) or connecting (IPCClient), the
// error state, and the local-procedure-call placeholder.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "dch/dchipc.h"
#include "dch/ipc_lpc.h"
#include "trace_capture.h"

namespace {

// A transport whose receive loop announces readiness and returns the result it was given;
// its client side records how it was readied.
class ScriptedChannel : public DCHipc {
 public:
  ScriptedChannel(short typeOfService, int serverResult, int clientResult, bool* destroyed = nullptr)
      : DCHipc(typeOfService), serverResult_(serverResult), clientResult_(clientResult), destroyed_(destroyed) {
    startup(&clientAddressSeen_, 1);
  }
  ScriptedChannel() : DCHipc() {}
  ~ScriptedChannel() override {
    joinServerThread();
    if (destroyed_ != nullptr) *destroyed_ = true;
  }

  int ipcRead(void**, int) override { return -1; }
  int ipcWrite(const void*, int, unsigned int) override { return -1; }
  void setClientAddr(const void*, int) override {}
  int IPCServer() override {
    ipc_put_data(16, DCH_SERVER_READY_TEXT, nullptr, 0, nullptr, 0, DCHmessageKind::serverReady, 0);
    return serverResult_;
  }
  int IPCClient(void* address, int connectTo, int typeOfService) override {
    clientAddress = address;
    clientConnectTo = connectTo;
    clientTypeOfService = typeOfService;
    return clientResult_;
  }
  int allocateIPC() override { return -999; }
  int releaseIPC() override { return 0; }

  // Waits until the receive loop has returned.
  void finishServer() { joinServerThread(); }

  void* clientAddress = nullptr;
  int clientConnectTo = -1;
  int clientTypeOfService = -1;
  int clientAddressSeen_ = 0;

 private:
  int serverResult_ = 0;
  int clientResult_ = 0;
  bool* destroyed_ = nullptr;
};

struct Received {
  std::string message;
  std::string clientName;
  unsigned int sockFD = 99;
  DCHmessageKind kind = DCHmessageKind::message;
};

Received takeOne(DCHipc& channel) {
  Received r;
  char* buffer = nullptr;
  int size = 0;
  unsigned char address[IPC_CLIENT_ADDR_SIZE];
  int addressLen = 0;
  char name[IPC_CLIENT_NAME_SIZE];
  unsigned int generation = 0;
  channel.ipc_get_data(&buffer, &size, address, &addressLen, name, &r.sockFD, &r.kind, &generation);
  if (channel.ipcGetError() == 0) {
    r.message = buffer;
    r.clientName = name;
  }
  delete[] buffer;
  return r;
}

TEST(DCHipcTest, ServerRunsItsReceiveLoopAndDeliversThroughTheRing) {
  TraceCapture capture;
  ScriptedChannel server(DCHIPC_SERVER, 0, 0);
  EXPECT_EQ(server.ipcGetError(), 0);
  EXPECT_TRUE(capture.contains("DCHipc SERVER Service initializing."));
  Received first = takeOne(server);
  EXPECT_EQ(server.ipcGetError(), 0);
  EXPECT_EQ(first.kind, DCHmessageKind::serverReady);
  EXPECT_EQ(first.message, "IPC-SERVER_READY");
  EXPECT_EQ(first.sockFD, 0u);
  EXPECT_EQ(first.clientName, std::string(255, ' '));
  EXPECT_EQ(server.clientTypeOfService, -1);  // a server does not ready a client side
}

TEST(DCHipcTest, ServerThatCannotStartSetsTheErrorState) {
  TraceCapture capture;
  ScriptedChannel server(DCHIPC_SERVER, 2, 0);
  server.finishServer();
  EXPECT_EQ(server.ipcGetError(), 1);
  EXPECT_TRUE(capture.contains("Error: IPCServer initialization failure, cannot continue processing."));
}

TEST(DCHipcTest, ClientIsReadiedByIPCClient) {
  const struct {
    short typeOfService;
    int clientResult;
  } cases[] = {{DCHIPC_CLIENT, 0}, {DCHIPC_DCHCLIENT, 0}, {DCHIPC_CLIENT, 5}, {DCHIPC_DCHCLIENT, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.typeOfService) + " -> " + std::to_string(c.clientResult));
    TraceCapture capture;
    ScriptedChannel client(c.typeOfService, 0, c.clientResult);
    EXPECT_EQ(client.ipcGetError(), c.clientResult);
    EXPECT_EQ(client.clientTypeOfService, c.typeOfService);
    EXPECT_EQ(client.clientConnectTo, 1);
    EXPECT_EQ(client.clientAddress, &client.clientAddressSeen_);
    EXPECT_TRUE(capture.contains("DCHipc CLIENT Service initializing."));
    EXPECT_EQ(capture.contains("Error: IPCClient failed."), c.clientResult != 0);
  }
}

TEST(DCHipcTest, ClientHasNoRing) {
  ScriptedChannel client(DCHIPC_CLIENT, 0, 0);
  client.ipc_put_data(4, "text", nullptr, 0, nullptr, 0, DCHmessageKind::message, 0);
  EXPECT_EQ(client.ipcGetError(), 1);
}

TEST(DCHipcTest, UnknownTypeOfServiceIsAnError) {
  TraceCapture capture;
  ScriptedChannel channel(4, 0, 0);
  EXPECT_EQ(channel.ipcGetError(), 1);
  EXPECT_TRUE(capture.contains("Error: Invalid type of service for DCHipc: 4"));
  EXPECT_EQ(channel.clientTypeOfService, -1);
}

TEST(DCHipcTest, ArgumentlessConstructionIsRefused) {
  TraceCapture capture;
  ScriptedChannel channel;
  EXPECT_EQ(channel.ipcGetError(), 1);
  EXPECT_TRUE(capture.contains("Error: this constructor should not be used."));
}

TEST(DCHipcTest, DefaultsOfTheBase) {
  ScriptedChannel client(DCHIPC_CLIENT, 0, 0);
  EXPECT_EQ(client.DCHtimeout(), 30);
  EXPECT_EQ(client.ipcGetRetryRead(), 1);
  client.ipcSetRetryRead(0);
  EXPECT_EQ(client.ipcGetRetryRead(), 0);
  EXPECT_EQ(client.ipcTypeOfService(), DCHIPC_CLIENT);
}

// Owners delete their transports through the base type.
TEST(DCHipcTest, DeletingThroughTheBaseDestroysTheSubclass) {
  bool destroyed = false;
  DCHipc* channel = new ScriptedChannel(DCHIPC_SERVER, 0, 0, &destroyed);
  delete channel;
  EXPECT_TRUE(destroyed);
}

TEST(IpcLPCTest, PlaceholderServesAndConnectsWithoutWork) {
  std::unique_ptr<DCHipc> server(new ipcLPC(DCHIPC_SERVER, nullptr, 0));
  EXPECT_EQ(server->ipcGetError(), 0);
  std::unique_ptr<DCHipc> client(new ipcLPC(DCHIPC_CLIENT, nullptr, 0));
  EXPECT_EQ(client->ipcGetError(), 0);
  void* buffer = nullptr;
  EXPECT_EQ(client->ipcRead(&buffer, 1), 0);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(client->ipcWrite("x", 1, 0), 0);
  EXPECT_EQ(client->allocateIPC(), 0);
  EXPECT_EQ(client->releaseIPC(), 0);
  EXPECT_EQ(client->DCHtimeout(), 30);
}

}  // namespace
