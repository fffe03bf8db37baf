#include "OutputNames.h"

#include <algorithm>

std::string TJobOutputNames::Take(const std::string &folder, const std::string &name,
                                  const std::vector<std::string> &extensions) {
  for (int n = 1;; ++n) {
    const std::string candidate = n == 1 ? name : name + " (" + std::to_string(n) + ")";
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
