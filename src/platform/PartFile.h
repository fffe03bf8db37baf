#pragma once
// A file made by a job is written under a hidden part name beside its final name and takes the
// final name only once it is complete, so no half-made file ever shows under a name the user
// keeps. Whatever ends its making short (a stop, a failure, an exception) removes the part.
// Creating a TPartFile claims the part file for this job with a lock that other jobs (another
// Plindar process ripping into the same folder) see, so two jobs never write one part file and
// a job never removes a part file it does not hold. The lock is of another kind than the
// sharing locks of the writers that then open the part file, so it never stands in their way.
#include <cstddef>
#include <string>

namespace plat {

// "folder/.name.part" for "folder/name": hidden, in the same folder (so the rename never
// copies), and ending in ".part". When that is longer than the folder's file system allows a
// name to be, the part name is no longer than name: its start, a check number of the whole name
// and ".part".
std::string PartFileName(const std::string &finalName);

// The longest file name (in bytes) the file system of folder takes; 255 when it does not say.
std::size_t LongestNameIn(const std::string &folder);

// at, or the nearest offset before it that starts a UTF-8 character of text.
std::size_t Utf8Boundary(const std::string &text, std::size_t at);

class TPartFile {
public:
  // Creates (or empties) the part file and claims it; see Claimed.
  explicit TPartFile(const std::string &finalName);
  // Removes the part file unless it was completed.
  ~TPartFile();
  TPartFile(const TPartFile &) = delete;
  TPartFile &operator=(const TPartFile &) = delete;

  const std::string &FinalName() const { return FFinalName; }
  const std::string &PartName() const { return FPartName; }
  // False when the part file could not be claimed: another job holds it (InUse), or it cannot
  // be created (a missing folder, a name the file system refuses).
  bool Claimed() const { return FFd >= 0; }
  // Another job is writing this part file.
  bool InUse() const { return FInUse; }
  // Why the part file could not be claimed: the system's error number, 0 when it was.
  int Error() const { return FError; }
  // Renames the part file to the final name, replacing a file there, whose permissions it
  // takes. False when it cannot:
  // the part file is removed then, so nothing is left half-named.
  bool Complete();
  // Removes the part file; nothing once completed, nor when it was never claimed.
  void Discard();

private:
  void Release();

  std::string FFinalName;
  std::string FPartName;
  int FFd = -1; // holds the claim
  bool FInUse = false;
  int FError = 0;
  bool FDone = false;
};

} // namespace plat
