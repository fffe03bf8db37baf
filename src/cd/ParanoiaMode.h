#pragma once
// How the CD ripping library's settings select libcdio-paranoia's checks, and the names a
// cd-paranoia user knows them by. Header only: the ripping library, which links nothing of
// the program's, reads its settings through the same rule the rip log names.
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstdint>
#include <string>

namespace cd {

// The paranoia mode bits: jitter correction off is no paranoia at all; paranoid mode is every
// check but never-skip; otherwise paranoia mode 0 is verify and overlap, and any other value is
// taken as paranoia's own bits, never-skip removed (a sector that never reads right is skipped
// after the retries, never retried for ever).
inline int ParanoiaModeOf(bool jitterCorrection, bool paranoid, int32_t paranoiaMode) {
  constexpr int checks = PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;
  if (!jitterCorrection)
    return PARANOIA_MODE_DISABLE;
  if (paranoid)
    return checks;
  return paranoiaMode == 0 ? PARANOIA_MODE_VERIFY | PARANOIA_MODE_OVERLAP : paranoiaMode & checks;
}

// What a mode checks, in cd-paranoia's words: "full paranoia" (its default), "overlap only"
// (its -Y), "disabled" (its -Z), or "verify only". libcdio-paranoia makes only the verify and
// overlap checks; its fragment, scratch and repair bits change nothing.
inline std::string ParanoiaModeName(int mode) {
  const bool verify = mode & PARANOIA_MODE_VERIFY, overlap = mode & PARANOIA_MODE_OVERLAP;
  return verify && overlap ? "full paranoia"
         : overlap         ? "overlap only"
         : verify          ? "verify only"
                           : "disabled";
}

} // namespace cd
