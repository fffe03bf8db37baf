#pragma once
// The "cdaudio" device of the media commands: plays a range of the disc in the CD audio device
// by reading its sectors digitally and queueing them on the sound card. One device for the
// whole process, as the system's media device is. The results are the codes of Mci.h.
#include "Messages.h"

#include <string>

namespace plat::cdaudio {

int Open();
// Stops a play and closes the device; nothing when it is not open.
int Close();
// The start of track n as "mm:ss:ff", the disc's absolute time (the first track of a pressed
// disc starts at 00:02:00).
int TrackPosition(int track, std::string &position);
// "audio" or "other" (a data track) for track n.
int TrackType(int track, std::string &type);
// The end of the disc in the same form.
int DiscLength(std::string &length);
// Plays from..to ("mm:ss:ff"; an empty to plays to the end of the disc), ending before the first
// data track after from; MciErrNotAudio when from lies in a data track. With a notify window,
// a play that ends by itself posts MM_MCINOTIFY to it: MCI_NOTIFY_SUCCESSFUL at the end of the
// range, MCI_NOTIFY_FAILURE when a sector cannot be read. A new play or Stop ends the old one
// without a notification.
int Play(const std::string &from, const std::string &to, TWindowHandle notify);
int Pause();
int Resume();
int Stop();
// "playing", "paused", "stopped", or "not ready" when the device is not open.
std::string Mode();

} // namespace plat::cdaudio
