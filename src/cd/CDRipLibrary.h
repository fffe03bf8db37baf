#pragma once
// The loader of the CD ripping library (cdrip/CDRip.h): loaded with dlopen by its file name
// from the program's folder, then the installed library folder, every entry point resolved by
// name. Process-wide; load it from the user-interface thread. At program end the library is
// de-initialised and unloaded.
#include "cdrip/CDRip.h"

#include <atomic>
#include <string>

// The library's file name; tests name a missing one to see the failure.
extern std::string CDRipLibraryName;
// Set once the library is loaded and every entry point resolved.
extern std::atomic<bool> CDRipLoaded;

// The resolved entry points.
struct TCDRipLibrary {
#define CDRIP_ENTRY(name) decltype(&::name) name = nullptr;
#include "CDRipEntries.h"
#undef CDRIP_ENTRY
};

// The entry points; only valid while CDRipLoaded.
const TCDRipLibrary &CDRip();

// Hands the library the CD drive library's disc images again when they changed since, so that
// both CD access modes list the same drives in the same order.
void RefreshCDRipDrives();

// Loads the library (once), hands it the disc images of the CD drive library, writes
// folder + "cdr.ini" ("CD-ROM": nActive = 0, nTransportLayer = 1) and initialises it; a failed
// initialisation shows "Failed to initialize CDRip (insufficient privileges?)" and goes on.
// False when the library or one of its entry points cannot be found.
bool LoadCDRipLibrary(const std::string &folder);
