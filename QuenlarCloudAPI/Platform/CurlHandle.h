// CurlHandle: RAII owners for libcurl's handles, and libcurl's one-time global initialisation.
//
// Internal to Platform/: every CURL*, CURLM*, CURLU, curl_slist and curl-allocated string lives in
// one of these owners, so no early return can leak one. The owners only manage lifetime; using a
// handle from several threads is the caller's business (libcurl's rules apply).
#pragma once

#include <curl/curl.h>

#include <memory>

namespace tq::detail {

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlMultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct CurlUrlDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct CurlSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

// Runs curl_global_init once per process, from whichever thread gets here first.
void curlGlobalInit();

// Appends a copy of `line`; false (and the list unchanged) when libcurl is out of memory.
inline bool curlSlistAppend(CurlSlist& list, const char* line) {
  curl_slist* head = curl_slist_append(list.get(), line);
  if (head == nullptr) {
    return false;
  }
  static_cast<void>(list.release());
  list.reset(head);
  return true;
}

}  // namespace tq::detail
