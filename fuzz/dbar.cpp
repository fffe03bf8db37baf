// Bytes as an AccurateRip answer file: read whole or refused whole, and whatever is read gives
// verdicts without any checksum matching by accident of the reading.
#include "AccurateRip.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace accuraterip;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::vector<TResponse> responses;
  const bool read = ParseAnswer({reinterpret_cast<const char *>(data), size}, responses);
  std::size_t bytes = 0;
  for (const TResponse &response : responses)
    bytes += 13 + 9 * response.Tracks.size();
  // A read answer is exactly its responses; a refused one leaves none.
  if (read != !responses.empty() || (read && bytes != size))
    std::abort();
  std::vector<TTrackVerdict> verdicts;
  for (const TResponse &response : responses)
    for (int i = 0; i < static_cast<int>(response.Tracks.size()); ++i) {
      // Sums that differ from the entry's checksum in both versions never match it.
      const uint32_t other = ~response.Tracks[i].Checksum;
      const TTrackVerdict verdict = VerifyTrack(responses, response.Ids, i, {0, other, other});
      if (verdict.Verdict == TVerdict::Accurate &&
          std::none_of(responses.begin(), responses.end(), [&](const TResponse &r) {
            return r.Ids == response.Ids && i < static_cast<int>(r.Tracks.size()) &&
                   r.Tracks[i].Checksum == other;
          }))
        std::abort();
      verdicts.push_back(verdict);
      VerdictText(verdict);
    }
  DiscSummary(read ? TLookup::Found : TLookup::Failed, verdicts);
  return 0;
}
