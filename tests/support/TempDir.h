#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the scope.
#include <string>

class TTempDir {
public:
  TTempDir();
  // In that folder instead (another file system, say).
  explicit TTempDir(const std::string &parent);
  ~TTempDir();
  TTempDir(const TTempDir &) = delete;
  TTempDir &operator=(const TTempDir &) = delete;

  const std::string &Path() const { return FPath; }
  // Path of a file in the folder.
  std::string File(const std::string &name) const { return FPath + "/" + name; }

private:
  std::string FPath;
};
