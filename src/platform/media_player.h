// External command-line media players, for sound formats the wave player
// does not read (MP3, Ogg, ...). The first of mpv, ffplay, cvlc, mplayer and
// play (SoX) found in PATH is used, without a window and without touching
// our terminal; the system's sound server mixes it with our own output.
#pragma once

#include "platform/process.h"

#include <string>

// The path of the first player found in PATH, "" when there is none.
std::string findMediaPlayer();
// Starts `player` on the file `path` (POSIX, UTF-8) in a session of its own,
// with its standard streams on /dev/null. 0, or the errno of the failure.
int startMediaPlayer(const std::string& player, const std::string& path, ChildProcess& child);
// True while the player has not ended.
bool mediaPlayerRunning(ChildProcess& child);
// Ends the player (SIGTERM, then SIGKILL when it is still there after
// 500 ms) and forgets it. Nothing for a child that is not running.
void stopMediaPlayer(ChildProcess& child);
