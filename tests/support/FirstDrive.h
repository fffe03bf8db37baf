#pragma once
// The handle of the first drive of the CD drive library's list (in tests and benchmarks, the
// first disc image registered); 0 when it cannot be opened.
#include "AudioDisc.h"
#include "akrip32.h"

inline int32_t OpenFirstDrive() {
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  if (GetCDList(&list) != 1 || list.Count == 0)
    return 0;
  const TCDDriveEntry &d = list.Drives[0];
  TCDOpenRequest request{12, 1, d.HostAdapter, d.Target, d.Lun, {}};
  return GetCDHandle(&request);
}

// The identifier of the disc in the drive at that position of the list; "" when it holds no
// audio disc.
inline std::string DriveDiscID(int index = 0) {
  TToc toc;
  return cd::ReadDriveToc(index, toc) ? cd::DiscID(toc) : "";
}
