#pragma once
// One HTTP GET over libcurl with connect and total time-outs, an optional proxy and a cap on
// the body's size. Blocks the calling thread; safe to call from several threads at once.
#include <chrono>
#include <cstddef>
#include <string>

struct THttpRequest {
  std::string Url;
  std::string Proxy; // "host:port"; "" for a direct connection (the environment's is ignored)
  std::string Agent;
  std::chrono::milliseconds ConnectTimeout{10000}, TotalTimeout{30000};
  std::size_t MaxBytes = 1 << 20;
};

// NotFound: the server answered 404; BadStatus: any other status but 200.
enum class THttpError { None, Unreachable, TimedOut, TooLarge, BadStatus, NotFound };

// What the server said besides the body.
struct THttpStatus {
  long Code = 0;       // the HTTP status; 0 when no answer came
  int RetryAfter = -1; // seconds of a Retry-After header; -1 when it has none or a date
};

// Fills body with the answer of a 200 response. Otherwise the error, with detail saying what
// went wrong in words (curl's text, or the HTTP status); status, when given, gets the status.
THttpError HttpGet(const THttpRequest &request, std::string &body, std::string &detail,
                   THttpStatus *status = nullptr);
