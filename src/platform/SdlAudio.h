#pragma once
// SDL's audio subsystem, started and stopped by counting from any thread: the sound-card
// output and the media devices share it.
namespace plat {

// False when no audio driver can be used.
bool StartSdlAudio();
void StopSdlAudio();

} // namespace plat
