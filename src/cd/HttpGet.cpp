#include "HttpGet.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace {

struct TSink {
  std::string *Body;
  std::size_t MaxBytes;
  bool Overflow = false;
};

std::size_t Append(char *data, std::size_t size, std::size_t count, void *user) {
  auto *sink = static_cast<TSink *>(user);
  const std::size_t bytes = size * count;
  if (sink->Body->size() + bytes > sink->MaxBytes) {
    sink->Overflow = true;
    return 0; // makes curl give up the transfer
  }
  sink->Body->append(data, bytes);
  return bytes;
}

} // namespace

THttpError HttpGet(const THttpRequest &request, std::string &body, std::string &detail) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  body.clear();
  detail.clear();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    detail = "cannot start an HTTP transfer";
    return THttpError::Unreachable;
  }
  TSink sink{&body, request.MaxBytes};
  char error[CURL_ERROR_SIZE] = "";
  CURL *c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, request.Url.c_str());
  curl_easy_setopt(c, CURLOPT_PROXY, request.Proxy.c_str());
  curl_easy_setopt(c, CURLOPT_USERAGENT, request.Agent.c_str());
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.ConnectTimeout.count()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.TotalTimeout.count()));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // time-outs without signals: we run on threads
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  const CURLcode result = curl_easy_perform(c);
  if (sink.Overflow) {
    body.clear();
    detail = "the answer is larger than " + std::to_string(request.MaxBytes) + " bytes";
    return THttpError::TooLarge;
  }
  if (result != CURLE_OK) {
    body.clear();
    detail = *error ? error : curl_easy_strerror(result);
    return result == CURLE_OPERATION_TIMEDOUT ? THttpError::TimedOut : THttpError::Unreachable;
  }
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) {
    body.clear();
    detail = "HTTP status " + std::to_string(status);
    return status == 404 ? THttpError::NotFound : THttpError::BadStatus;
  }
  return THttpError::None;
}
