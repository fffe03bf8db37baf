#include "AuTaggedFileIn.h"

const TVorbisTags &TAuTaggedFileIn::VorbisTags() {
  try {
    OpenFile();
  } catch (const EAuException &) {
  }
  return FVorbisTags;
}
