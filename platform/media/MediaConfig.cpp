#include "platform/media/MediaConfig.h"

#include <cstdlib>
#include <mutex>

namespace plat {

namespace {

std::mutex g_configMutex;
std::string g_audioOutput;
std::string g_opticalDevice;

std::string Pick(const std::string& set, const char* env, const char* fallback) {
    if (!set.empty())
        return set;
    const char* value = std::getenv(env);
    if (value && *value)
        return value;
    return fallback;
}

}  // namespace

void SetAudioOutput(const std::string& description) {
    std::lock_guard<std::mutex> lock(g_configMutex);
    g_audioOutput = description;
}

std::string AudioOutput() {
    std::lock_guard<std::mutex> lock(g_configMutex);
    return Pick(g_audioOutput, "VELKORA_AUDIO_SINK", "autoaudiosink");
}

void SetOpticalDevice(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_configMutex);
    g_opticalDevice = path;
}

std::string OpticalDevice() {
    std::lock_guard<std::mutex> lock(g_configMutex);
    return Pick(g_opticalDevice, "VELKORA_OPTICAL_DEVICE", "/dev/sr0");
}

}  // namespace plat
