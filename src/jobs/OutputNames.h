#pragma once
// The output names of one job. Two items of a job never share a file: an item whose name an
// earlier item of the job already took gets " (2)", " (3)", ... before its extensions, the same
// for each of its files (the WAV of a rip and the file encoded from it). A name too long for
// the folder's file system is cut at a UTF-8 character so that it fits with its suffix and
// extensions. Files that were there before the job are not looked at here: the step that makes
// them decides about replacing.
#include <set>
#include <string>
#include <vector>

class TJobOutputNames {
public:
  // The first of name, name + " (2)", ... whose files folder + it + each extension no earlier
  // item took; takes them for this item and returns it. folder ends in '/'.
  std::string Take(const std::string &folder, const std::string &name,
                   const std::vector<std::string> &extensions);

private:
  std::set<std::string> FTaken;
};
