// The transport opened on demand: libcurl by its soname, its calls taken once into a
// table. It stays open for the life of the process.
#include "curl_functions.h"

#include <dlfcn.h>

#include <mutex>

#include "vmo1_transport.h"

namespace vmo1 {

// libcurl's soname, unchanged since its ABI settled.
const char kTransportLibrary[] = "libcurl.so.4";

namespace {

struct Transport {
  CurlFunctions calls{};
  bool ready = false;
  std::string failure;
};

// The address of one call; false, with the reason, when the library lacks it.
template <typename Call>
bool Take(void* library, const char* name, Call* call, std::string* failure) {
  *call = reinterpret_cast<Call>(dlsym(library, name));
  if (*call != nullptr) return true;
  *failure = std::string(kTransportLibrary) + " has no " + name;
  return false;
}

bool TakeAll(void* library, CurlFunctions* calls, std::string* failure) {
  return Take(library, "curl_global_init", &calls->globalInit, failure) &&
         Take(library, "curl_easy_init", &calls->easyInit, failure) &&
         Take(library, "curl_easy_setopt", &calls->easySetopt, failure) &&
         Take(library, "curl_easy_perform", &calls->easyPerform, failure) &&
         Take(library, "curl_easy_getinfo", &calls->easyGetinfo, failure) &&
         Take(library, "curl_easy_cleanup", &calls->easyCleanup, failure) &&
         Take(library, "curl_easy_strerror", &calls->easyStrerror, failure) &&
         Take(library, "curl_slist_append", &calls->slistAppend, failure) &&
         Take(library, "curl_slist_free_all", &calls->slistFreeAll, failure) &&
         Take(library, "curl_url", &calls->url, failure) && Take(library, "curl_url_set", &calls->urlSet, failure) &&
         Take(library, "curl_url_get", &calls->urlGet, failure) &&
         Take(library, "curl_url_cleanup", &calls->urlCleanup, failure) &&
         Take(library, "curl_free", &calls->free, failure);
}

void Open(Transport* transport) {
  void* library = dlopen(kTransportLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    transport->failure = std::string("cannot load ") + kTransportLibrary + ": " + (reason != nullptr ? reason : "");
    return;
  }
  if (!TakeAll(library, &transport->calls, &transport->failure)) {
    dlclose(library);
    return;
  }
  CURLcode initialised = transport->calls.globalInit(CURL_GLOBAL_DEFAULT);
  if (initialised != CURLE_OK) {
    transport->failure =
        std::string(kTransportLibrary) + " did not initialise: " + transport->calls.easyStrerror(initialised);
    return;
  }
  transport->ready = true;
}

const Transport& OpenedTransport() {
  static std::once_flag opened;
  static Transport transport;
  std::call_once(opened, Open, &transport);
  return transport;
}

}  // namespace

const CurlFunctions* Curl() {
  const Transport& transport = OpenedTransport();
  return transport.ready ? &transport.calls : nullptr;
}

bool OpenTransport(std::string* failure) {
  const Transport& transport = OpenedTransport();
  if (!transport.ready && failure != nullptr) *failure = transport.failure;
  return transport.ready;
}

}  // namespace vmo1
