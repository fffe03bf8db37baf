#include "OutputNames.h"

#include "PartFile.h"

#include <algorithm>

std::string TJobOutputNames::Take(const std::string &folder, const std::string &name,
                                  const std::vector<std::string> &extensions) {
  std::size_t longestExtension = 0;
  for (const std::string &e : extensions)
    longestExtension = std::max(longestExtension, e.size());
  const std::size_t longest = plat::LongestNameIn(folder);
  for (int n = 1;; ++n) {
    const std::string suffix = n == 1 ? "" : " (" + std::to_string(n) + ")";
    // A title longer than the file system takes is cut at a character, before the suffix
    // and the extension, which stay.
    const std::size_t room =
        longest > suffix.size() + longestExtension ? longest - suffix.size() - longestExtension : 1;
    const std::string candidate = name.substr(0, plat::Utf8Boundary(name, room)) + suffix;
    const bool free = std::none_of(extensions.begin(), extensions.end(), [&](const auto &e) {
      return FTaken.count(folder + candidate + e) > 0;
    });
    if (!free)
      continue;
    for (const std::string &e : extensions)
      FTaken.insert(folder + candidate + e);
    return candidate;
  }
}
