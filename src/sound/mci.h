// A small interpreter of media control command strings, the way scripts
// drive media files: "open "file" alias name", "play name [wait]",
// "status name mode", "stop name", "close name" / "close all". It owns the
// open media devices (at most MCI_MAX_DEVICES).
//
// WAV files play through the wave player. "play" returns at once: the first
// blocks are queued and the rest is fed to the player from the console's
// message processing while the script goes on (the player plays one stream,
// so a key, stopSound or any other sound of ours ends such background
// playback; see mciReleasePlayer). Other media play through a command-line
// player found in PATH (mpv, ffplay, cvlc, mplayer, play), which the system
// mixes with our sound; without one, opening them fails.
#pragma once

#include <string>
#include <string_view>

// The reply buffer of a command: replies are cut to capacity - 1 characters.
constexpr size_t MCI_REPLY_CAPACITY = 1024;
constexpr int MCI_MAX_DEVICES = 32;

// Results, numbered like the media control errors scripts may know.
constexpr int MCI_OK = 0;
constexpr int MCIERR_UNRECOGNIZED_KEYWORD = 259;
constexpr int MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr int MCIERR_INVALID_DEVICE_NAME = 263;
constexpr int MCIERR_OUT_OF_MEMORY = 264;
constexpr int MCIERR_CANNOT_LOAD_DRIVER = 266;  // no player for this kind of media
constexpr int MCIERR_MISSING_PARAMETER = 273;
constexpr int MCIERR_FILE_NOT_FOUND = 275;
constexpr int MCIERR_DUPLICATE_ALIAS = 289;

// Runs one command string (Windows-1252; file names are script paths).
// `reply` receives the answer ("playing", "stopped", ...; empty for most
// commands and on every error). MCI_OK or an error above.
int mciSendString(std::string_view command, std::string& reply);

// Another sound is about to use the wave player: background WAV playback
// stops (external players go on).
void mciReleasePlayer();
// True while a WAV file is fed to the player in the background.
bool mciFeedsPlayer();
// Stops and closes every device (program end, tests).
void mciCloseAll();
