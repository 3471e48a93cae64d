// The client API's data path against a bare loopback UDP request/reply loop of the same
// sizes, measured in the same run: records per second that dp_InputData sends (each a
// buffer taken, four values formatted, the request exchanged, the buffer given back)
// to a server that answers every datagram with the data provider's success reply, over
// the exchanges per second of a bare client sending the same request bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bare_loops.h"
#include "ratio.h"
#include "zevpapi/dp_api.h"

namespace {

const char* const kValues[] = {"bench", "42", "host01", "ok"};
constexpr char kSuccessReply[] = "0 123";

std::string InNetworkCode(std::string text) {
  ZEVP_ConvertBufferToNetwork(text.data(), static_cast<int>(text.size()));
  return text;
}

bool SendRecord(APIhandle* handle) {
  void* data = nullptr;
  if (dp_AllocateBuffer(handle, &data, 0, nullptr) != 1) return false;
  for (const char* value : kValues)
    dp_FormatBufferData(data, value, static_cast<int>(std::strlen(value)), ZEVP_API_TEXT, nullptr);
  bool sent = dp_InputData(data, nullptr) == 1;
  dp_FreeBuffer(data, nullptr);
  return sent;
}

int Fail(const char* what) {
  std::fprintf(stderr, "api_bench: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  const std::string reply = InNetworkCode(kSuccessReply);
  BareServer server(reply);
  setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
  setenv("ZEVP_API_DPAPI_PORT", std::to_string(server.port()).c_str(), 1);
  setenv("ZEVP_API_REQUEST_WAIT", "5", 1);
  APIhandle* handle = dp_AllocateHandle(nullptr);
  if (handle == nullptr) return Fail("no handle");
  if (!SendRecord(handle)) return Fail("the first record was not answered");

  std::string request = "ZEVPAPI300SNDDTA";
  for (const char* value : kValues) request += std::string(value) + " ";
  request = InNetworkCode(request);
  BareClient bare(server.port(), false);
  auto bareLoop = Repeat([&] { return bare.exchange(request, reply.size()) == reply; });
  auto apiLoop = Repeat([&] { return SendRecord(handle); });
  PrintRatio("records/s, dp_InputData / bare UDP loop", MedianRatio(bareLoop, apiLoop),
             "(to a bare server; through the API data provider once it serves API input)");
  dp_FreeHandle(handle, nullptr);
  return 0;
}
