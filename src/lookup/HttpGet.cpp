#include "HttpGet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>
#include <mutex>
#include <string_view>

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

// Keeps the seconds of a Retry-After header; its other form, a date, is left as unknown.
std::size_t ReadHeader(char *data, std::size_t size, std::size_t count, void *user) {
  const std::size_t bytes = size * count;
  std::string_view line(data, bytes);
  constexpr std::string_view Name = "retry-after:";
  if (line.size() > Name.size() &&
      std::equal(Name.begin(), Name.end(), line.begin(),
                 [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    line.remove_prefix(Name.size());
    while (!line.empty() && line.front() == ' ')
      line.remove_prefix(1);
    int seconds = -1;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), seconds);
    const std::string_view rest(end, line.data() + line.size() - end);
    if (error == std::errc() && seconds >= 0 && rest.find_first_not_of(" \r\n") == rest.npos)
      static_cast<THttpStatus *>(user)->RetryAfter = seconds;
  }
  return bytes;
}

} // namespace

THttpError HttpGet(const THttpRequest &request, std::string &body, std::string &detail,
                   THttpStatus *status) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  body.clear();
  detail.clear();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    detail = "cannot start an HTTP transfer";
    return THttpError::Unreachable;
  }
  THttpStatus said;
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
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, ReadHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &said);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  const CURLcode result = curl_easy_perform(c);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &said.Code);
  if (status)
    *status = said;
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
  if (said.Code != 200) {
    body.clear();
    detail = "HTTP status " + std::to_string(said.Code);
    return said.Code == 404 ? THttpError::NotFound : THttpError::BadStatus;
  }
  return THttpError::None;
}
