#include "CDRipLibrary.h"

#include "Dialogs.h"
#include "Folders.h"
#include "IniFile.h"
#include "akrip32.h"

#include <dlfcn.h>

#include <vector>

std::string CDRipLibraryName = "libplindar_cdrip.so";
std::atomic<bool> CDRipLoaded{false};

namespace {

TCDRipLibrary Library;

// De-initialises and unloads the library at program end.
struct TLoadedLibrary {
  void *Handle = nullptr;
  ~TLoadedLibrary() {
    if (!Handle)
      return;
    if (CDRipLoaded)
      Library.CR_DeInit();
    CDRipLoaded = false;
    dlclose(Handle);
  }
} Loaded;

void *OpenLibrary() {
  const std::string program = plat::ProgramFolder();
  for (const std::string &folder :
       {program, program + "../" PLINDAR_LIBEXEC_SUBDIR "/", std::string(PLINDAR_LIBEXEC_DIR)})
    if (void *handle = dlopen((folder + CDRipLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL))
      return handle;
  return nullptr;
}

bool Resolve(void *handle) {
  bool all = true;
  const auto entry = [&](auto &pointer, const char *name) {
    pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(dlsym(handle, name));
    all = all && pointer;
  };
#define CDRIP_ENTRY(name) entry(Library.name, #name);
#include "CDRipEntries.h"
#undef CDRIP_ENTRY
  return all;
}

// What the library was last handed: the CD drive library's images and its device scan.
std::vector<std::string> HandedImages;
bool HandedScan = true;

void HandOverDiscImages() {
  HandedImages = DiscImages();
  HandedScan = ScanSystemDrives();
  std::vector<const char *> paths;
  for (const std::string &image : HandedImages)
    paths.push_back(image.c_str());
  Library.CR_SetDiscImages(paths.data(), static_cast<int32_t>(paths.size()), HandedScan);
}

} // namespace

const TCDRipLibrary &CDRip() { return Library; }

void RefreshCDRipDrives() {
  if (CDRipLoaded && (DiscImages() != HandedImages || ScanSystemDrives() != HandedScan))
    HandOverDiscImages();
}

bool LoadCDRipLibrary(const std::string &folder) {
  if (!Loaded.Handle) {
    void *handle = OpenLibrary();
    if (!handle)
      return false;
    if (!Resolve(handle)) {
      dlclose(handle);
      return false;
    }
    Loaded.Handle = handle;
  }
  CDRipLoaded = true;
  {
    TIniFile ini(folder + "cdr.ini");
    ini.WriteString("CD-ROM", "nActive", "0");
    ini.WriteInteger("CD-ROM", "nTransportLayer", 1); // the NT family's value
  }
  Library.CR_SetSettingsFolder(folder.c_str());
  HandOverDiscImages();
  if (Library.CR_Init(1) != 0)
    plat::MessageBox("Failed to initialize CDRip (insufficient privileges?)", "Error",
                     plat::TMsgButtons::OK, plat::TMsgIcon::Error);
  return true;
}
