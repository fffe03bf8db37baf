#pragma once
// A file input of a format that carries Vorbis comments, and the descriptive tags read from them,
// both living as long as the input: the concrete input fills them when it opens the file.
#include "AuClasses.h"
#include "AuTags.h"

class TAuTaggedFileIn : public TAuFileIn {
public:
  using TAuFileIn::TAuFileIn;

  // The file's comments; opens the file first (empty when it cannot be opened).
  const TVorbisTags &VorbisTags();
  TCommonTags &CommonTags() { return FCommonTags; }

protected:
  TVorbisTags FVorbisTags;
  TCommonTags FCommonTags;
};
