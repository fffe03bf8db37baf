#include "AccurateRipLookup.h"

#include "HttpGet.h"

namespace accuraterip {

namespace {

// Whether any response was filed under the disc's ids: an answer for another disc is unreadable.
bool AnswersFor(const std::vector<TResponse> &responses, const TDiscIds &ids) {
  for (const TResponse &r : responses)
    if (r.Ids == ids)
      return true;
  return false;
}

} // namespace

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
    if (!ParseAnswer(body, result.Responses))
      result.Why = "the AccurateRip answer is not readable";
    else if (!AnswersFor(result.Responses, ids))
      result.Why = "the AccurateRip answer is for another disc";
    else
      result.Status = TLookup::Found;
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

TOffsetDetection DetectReadOffset(int driveIndex, const std::string &base,
                                  std::chrono::milliseconds connectTimeout,
                                  std::chrono::milliseconds totalTimeout) {
  return DetectReadOffset(driveIndex, [&](const accuraterip::TDiscIds &ids) {
    return accuraterip::LookUp(base, ids, connectTimeout, totalTimeout);
  });
}
