#include "SdlAudio.h"

#include <SDL2/SDL.h>
#include <alsa/asoundlib.h>

#include <mutex>

namespace plat {

namespace {
// SDL counts the starts and stops, but two threads must not start or stop it at once.
std::mutex gLock;

// ALSA prints every failed step of SDL's search for a sound card to standard error ("ALSA lib
// confmisc.c:855:(parse_card) cannot find card '0'" and the like); the caller says in one line
// what failed.
void QuietAlsa(const char *, int, const char *, int, const char *, ...) {}
} // namespace

bool StartSdlAudio() {
  std::lock_guard<std::mutex> lock(gLock);
  snd_lib_error_set_handler(QuietAlsa);
  return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

void StopSdlAudio() {
  std::lock_guard<std::mutex> lock(gLock);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace plat
