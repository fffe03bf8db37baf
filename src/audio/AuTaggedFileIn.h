#pragma once
// A file input that carries the descriptive tags of its file, living as long as the input: the
// concrete input fills them when it opens the file.
#include "AuClasses.h"
#include "AuTags.h"

class TAuTaggedFileIn : public TAuFileIn {
public:
  using TAuFileIn::TAuFileIn;

  TCommonTags &CommonTags() { return FCommonTags; }

protected:
  TCommonTags FCommonTags;
};
