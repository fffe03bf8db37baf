#pragma once
// The handle of the first drive of the CD drive library's list (in tests and benchmarks, the
// first disc image registered); 0 when it cannot be opened.
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
