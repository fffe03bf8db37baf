#pragma once
// A file made by a job is written under a hidden part name beside its final name and takes the
// final name only once it is complete, so no half-made file ever shows under a name the user
// keeps. Whatever ends its making short (a stop, a failure, an exception) removes the part.
#include <string>

namespace plat {

// "folder/.name.part" for "folder/name": hidden, in the same folder (so the rename never
// copies), and ending in ".part".
std::string PartFileName(const std::string &finalName);

class TPartFile {
public:
  explicit TPartFile(const std::string &finalName);
  // Removes the part file unless it was completed.
  ~TPartFile();
  TPartFile(const TPartFile &) = delete;
  TPartFile &operator=(const TPartFile &) = delete;

  const std::string &FinalName() const { return FFinalName; }
  const std::string &PartName() const { return FPartName; }
  // Renames the part file to the final name, replacing a file there. False when it cannot:
  // the part file is removed then, so nothing is left half-named.
  bool Complete();
  // Removes the part file; nothing once completed.
  void Discard();

private:
  std::string FFinalName;
  std::string FPartName;
  bool FDone = false;
};

} // namespace plat
