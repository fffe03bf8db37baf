// Bytes as a freedb server's answers: the query answer, the read answer and the xmcd entry,
// as the lookup of the drive library and the CDDB component of CD-input mode read them.
#include "Cddb.h"
#include "CDDBInfo.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string answer(reinterpret_cast<const char *>(data), size);
  std::vector<cddb::TMatch> matches;
  cddb::ParseQueryAnswer(answer, matches);
  std::string entry;
  cddb::EntryOfReadAnswer(answer, entry);
  cddb::ParseEntry(answer).HasTitles();
  TCDDBQuery(nullptr).ParseEntry(answer);
  return 0;
}
