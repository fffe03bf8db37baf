#include "SdlAudio.h"

#include <SDL2/SDL.h>

#include <mutex>

namespace plat {

namespace {
// SDL counts the starts and stops, but two threads must not start or stop it at once.
std::mutex gLock;
} // namespace

bool StartSdlAudio() {
  std::lock_guard<std::mutex> lock(gLock);
  return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

void StopSdlAudio() {
  std::lock_guard<std::mutex> lock(gLock);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace plat
