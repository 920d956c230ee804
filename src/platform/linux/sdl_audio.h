// The device audio sink: the default sound output through SDL2 audio.
#pragma once

#include "platform/audio_sink.h"

#include <memory>
#include <string>

// A sink on the default output device, or null with `reason` set when no
// device opens. SDL's dummy and disk drivers count as no device unless
// `acceptVirtualDrivers` (tests play through the disk driver, which consumes
// sound in real time like a sound card).
std::unique_ptr<AudioSink> makeSdlAudioSink(std::string& reason, bool acceptVirtualDrivers = false);
