#include "AccurateRipLookup.h"

#include "HttpGet.h"

namespace accuraterip {

TLookupResult LookUp(const std::string &base, const TDiscIds &ids,
                     std::chrono::milliseconds connectTimeout,
                     std::chrono::milliseconds totalTimeout) {
  THttpRequest request;
  request.Url = RequestUrl(base, ids);
  request.Agent = "Plindar";
  request.ConnectTimeout = connectTimeout;
  request.TotalTimeout = totalTimeout;
  request.MaxBytes = MaxAnswerBytes;
  std::string body, detail;
  TLookupResult result;
  switch (HttpGet(request, body, detail)) {
  case THttpError::None:
    if (ParseAnswer(body, result.Responses))
      result.Status = TLookup::Found;
    else
      result.Why = "the AccurateRip answer is not readable";
    return result;
  case THttpError::NotFound: result.Status = TLookup::NotInDatabase; return result;
  case THttpError::TimedOut: result.Why = "the AccurateRip server did not answer in time"; break;
  case THttpError::Unreachable: result.Why = "cannot reach the AccurateRip server"; break;
  case THttpError::TooLarge:
  case THttpError::BadStatus: result.Why = "the AccurateRip server gave no answer"; break;
  }
  result.Why += " (" + detail + ")";
  return result;
}

} // namespace accuraterip
