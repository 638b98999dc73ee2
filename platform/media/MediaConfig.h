// Where media goes and comes from. The program on a desktop plays to the real audio output;
// tests and CI point the output at a null sink. Each setting is taken from, in this order:
// the value set here, an environment variable, the built-in default.
#pragma once

#include <string>

namespace plat {

// A gst-launch style description of the audio sink ("autoaudiosink", "alsasink device=hw:1",
// "fakesink sync=true"). $VELKORA_AUDIO_SINK, else "autoaudiosink".
void SetAudioOutput(const std::string& description);
std::string AudioOutput();

// The optical drive that audio CDs and DVDs are read from: a device node, or for an audio CD
// also a BIN/CUE image. $VELKORA_OPTICAL_DEVICE, else "/dev/sr0".
void SetOpticalDevice(const std::string& path);
std::string OpticalDevice();

}  // namespace plat
