// Bytes as a freedb server's answers: the query answer, the read answer and the xmcd entry,
// as the lookup of the drive library and the CDDB component of CD-input mode read them.
#include "CDDBInfo.h"
#include "Cddb.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string answer(reinterpret_cast<const char *>(data), size);
  std::vector<cddb::TMatch> matches;
  cddb::ParseQueryAnswer(answer, matches);
  std::string entry;
  cddb::EntryOfReadAnswer(answer, entry);
  cddb::ParseEntry(answer).HasTitles();
  TCDDBQuery query(nullptr);
  if (query.ParseQueryResponse(answer) == 200)
    for (const std::string &match : query.Matches)
      TCDDBQuery::SplitMatch(match);
  query.ParseEntry(answer);
  return 0;
}
