#pragma once
// The Ogg and Vorbis codec libraries, loaded at run time by their sonames so that a machine
// without them still runs everything else and reports the missing library by name.
//
// Each library is loaded once, under one process-wide lock; every entry point the pipeline
// calls is then resolved by name into the library's table. A failed load (the file missing,
// or an entry point absent) leaves the library not loaded, and the next LoadVorbisLibraries
// tries again. The headers are included for the codec's types only: nothing here is linked.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <string>

// The entry points each library must offer; X(name) stands for one of them.
// clang-format off
#define PLINDAR_OGG_ENTRIES(X) \
  X(ogg_stream_init) X(ogg_stream_packetin) X(ogg_stream_pageout) X(ogg_stream_flush) \
  X(ogg_stream_clear) X(ogg_page_eos)
#define PLINDAR_VORBIS_ENTRIES(X) \
  X(vorbis_info_init) X(vorbis_info_clear) X(vorbis_comment_init) X(vorbis_comment_add_tag) \
  X(vorbis_comment_clear) X(vorbis_analysis_init) X(vorbis_block_init) X(vorbis_block_clear) \
  X(vorbis_dsp_clear) X(vorbis_analysis_headerout) X(vorbis_analysis_buffer) \
  X(vorbis_analysis_wrote) X(vorbis_analysis_blockout) X(vorbis_analysis) \
  X(vorbis_bitrate_addblock) X(vorbis_bitrate_flushpacket)
#define PLINDAR_VORBISFILE_ENTRIES(X) \
  X(ov_test_callbacks) X(ov_test_open) X(ov_comment) X(ov_info) X(ov_pcm_total) X(ov_read) \
  X(ov_pcm_seek) X(ov_clear)
#define PLINDAR_VORBISENC_ENTRIES(X) \
  X(vorbis_encode_init) X(vorbis_encode_setup_vbr) X(vorbis_encode_setup_init)
// clang-format on

#define PLINDAR_ENTRY_FIELD(name) decltype(&::name) name = nullptr;

namespace vorbislib {

class TLibrary {
public:
  // fileName: the soname to load; displayName: how load-failure messages name it.
  TLibrary(std::string fileName, std::string displayName);
  virtual ~TLibrary() = default;
  TLibrary(const TLibrary &) = delete;
  TLibrary &operator=(const TLibrary &) = delete;

  bool Loaded() const { return FLoaded; }
  // Loads the library unless it is loaded; false when it cannot be.
  bool Load();
  // Loads from another file from now on and forgets a library already loaded. Only while no
  // encoder or decoder is running: their entry points would go.
  void SetFileName(const std::string &fileName);
  // "<name> library could not be loaded."
  std::string LoadFailure() const;

protected:
  // Fills the table from the open library; false when an entry point is missing.
  virtual bool Resolve(void *handle) = 0;

private:
  std::string FFileName;
  std::string FDisplayName;
  void *FHandle = nullptr;
  std::atomic<bool> FLoaded{false};
};

struct TOgg : TLibrary {
  TOgg();
  PLINDAR_OGG_ENTRIES(PLINDAR_ENTRY_FIELD)
protected:
  bool Resolve(void *handle) override;
};

struct TVorbis : TLibrary {
  TVorbis();
  PLINDAR_VORBIS_ENTRIES(PLINDAR_ENTRY_FIELD)
protected:
  bool Resolve(void *handle) override;
};

struct TVorbisFile : TLibrary {
  TVorbisFile();
  PLINDAR_VORBISFILE_ENTRIES(PLINDAR_ENTRY_FIELD)
protected:
  bool Resolve(void *handle) override;
};

struct TVorbisEnc : TLibrary {
  TVorbisEnc();
  PLINDAR_VORBISENC_ENTRIES(PLINDAR_ENTRY_FIELD)
protected:
  bool Resolve(void *handle) override;
};

// The process's one instance of each library.
TOgg &Ogg();
TVorbis &Vorbis();
TVorbisFile &VorbisFile();
TVorbisEnc &VorbisEnc();

// Runs the four loaders and raises EAuException naming the first library, in the order ogg,
// vorbis, vorbisfile, vorbisenc, that is not loaded.
void LoadVorbisLibraries();

} // namespace vorbislib

#undef PLINDAR_ENTRY_FIELD
