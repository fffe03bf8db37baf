#pragma once
// A file input that carries the descriptive tags of its file: one set of each kind, living as
// long as the input, and the Vorbis comments of the formats that carry them. A concrete input
// fills the set that matches its format when it opens the file.
#include "AuClasses.h"
#include "AuTags.h"

class TAuTaggedFileIn : public TAuFileIn {
public:
  using TAuFileIn::TAuFileIn;

  // The file's comments; opens the file first (empty when it cannot be opened).
  const TVorbisTags &VorbisTags();
  TId3v1Tags &Id3v1Tags() { return FId3v1Tags; }
  TId3v2Tags &Id3v2Tags() { return FId3v2Tags; }
  TAPEv2Tags &APEv2Tags() { return FAPEv2Tags; }
  TCommonTags &CommonTags() { return FCommonTags; }

protected:
  TVorbisTags FVorbisTags;
  TId3v1Tags FId3v1Tags;
  TId3v2Tags FId3v2Tags;
  TAPEv2Tags FAPEv2Tags;
  TCommonTags FCommonTags;
};
