// The libcurl calls of the layer, taken once from the transport library when it is
// opened (vmo1_transport.h), each with the type its header declares.
#pragma once

#include <curl/curl.h>

namespace vmo1 {

struct CurlFunctions {
  decltype(&curl_global_init) globalInit;
  decltype(&curl_easy_init) easyInit;
  decltype(&curl_easy_setopt) easySetopt;
  decltype(&curl_easy_perform) easyPerform;
  decltype(&curl_easy_getinfo) easyGetinfo;
  decltype(&curl_easy_cleanup) easyCleanup;
  decltype(&curl_easy_strerror) easyStrerror;
  decltype(&curl_slist_append) slistAppend;
  decltype(&curl_slist_free_all) slistFreeAll;
  decltype(&curl_url) url;
  decltype(&curl_url_set) urlSet;
  decltype(&curl_url_get) urlGet;
  decltype(&curl_url_cleanup) urlCleanup;
  decltype(&curl_free) free;
};

// The calls, the transport opened and initialised on the first call; null when it
// cannot be opened (OpenTransport says why).
const CurlFunctions* Curl();

}  // namespace vmo1
