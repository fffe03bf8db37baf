#include "VorbisLibs.h"

#include "AuTypes.h"

#include <dlfcn.h>
#include <mutex>

namespace vorbislib {

namespace {

std::mutex &LoaderLock() {
  static std::mutex lock;
  return lock;
}

template <class F> bool ResolveEntry(void *handle, const char *name, F &entry) {
  entry = reinterpret_cast<F>(dlsym(handle, name));
  return entry != nullptr;
}

} // namespace

#define PLINDAR_RESOLVE_ENTRY(name) &&ResolveEntry(handle, #name, name)

TLibrary::TLibrary(std::string fileName, std::string displayName)
    : FFileName(std::move(fileName)), FDisplayName(std::move(displayName)) {}

bool TLibrary::Load() {
  std::lock_guard<std::mutex> lock(LoaderLock());
  if (FLoaded)
    return true;
  FHandle = dlopen(FFileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle)
    return false;
  if (!Resolve(FHandle)) {
    dlclose(FHandle);
    FHandle = nullptr;
    return false;
  }
  FLoaded = true;
  return true;
}

void TLibrary::SetFileName(const std::string &fileName) {
  std::lock_guard<std::mutex> lock(LoaderLock());
  FFileName = fileName;
  FLoaded = false;
  if (FHandle)
    dlclose(FHandle);
  FHandle = nullptr;
}

std::string TLibrary::LoadFailure() const { return FDisplayName + " library could not be loaded."; }

TOgg::TOgg() : TLibrary("libogg.so.0", "ogg.dll") {}
bool TOgg::Resolve(void *handle) { return true PLINDAR_OGG_ENTRIES(PLINDAR_RESOLVE_ENTRY); }

TVorbis::TVorbis() : TLibrary("libvorbis.so.0", "vorbis.dll") {}
bool TVorbis::Resolve(void *handle) { return true PLINDAR_VORBIS_ENTRIES(PLINDAR_RESOLVE_ENTRY); }

TVorbisFile::TVorbisFile() : TLibrary("libvorbisfile.so.3", "vorbisfile.dll") {}
bool TVorbisFile::Resolve(void *handle) {
  return true PLINDAR_VORBISFILE_ENTRIES(PLINDAR_RESOLVE_ENTRY);
}

TVorbisEnc::TVorbisEnc() : TLibrary("libvorbisenc.so.2", "vorbisenc.dll") {}
bool TVorbisEnc::Resolve(void *handle) {
  return true PLINDAR_VORBISENC_ENTRIES(PLINDAR_RESOLVE_ENTRY);
}

#undef PLINDAR_RESOLVE_ENTRY

TOgg &Ogg() {
  static TOgg library;
  return library;
}

TVorbis &Vorbis() {
  static TVorbis library;
  return library;
}

TVorbisFile &VorbisFile() {
  static TVorbisFile library;
  return library;
}

TVorbisEnc &VorbisEnc() {
  static TVorbisEnc library;
  return library;
}

void LoadVorbisLibraries() {
  TLibrary *const libraries[] = {&Ogg(), &Vorbis(), &VorbisFile(), &VorbisEnc()};
  for (TLibrary *library : libraries)
    library->Load();
  for (TLibrary *library : libraries)
    if (!library->Loaded())
      throw EAuException(library->LoadFailure());
}

} // namespace vorbislib
