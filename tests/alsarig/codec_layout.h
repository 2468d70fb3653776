// The virtual codec's mixer layout, shared by the control plugin and the
// test API. Element k of the simple mixer is "Slot kk", and carries the
// capabilities that the routing tables write to element k of the GTA02 codec.
#pragma once

#include <cstdio>
#include <string>

namespace codec {

enum Capability : unsigned {
  kPlaybackVolume = 1,
  kPlaybackSwitch = 2,
  kCaptureVolume = 4,
  kCaptureSwitch = 8,
  kEnumerated = 16,
};
inline constexpr unsigned kAllCapabilities[] = {
    kPlaybackVolume, kPlaybackSwitch, kCaptureVolume, kCaptureSwitch, kEnumerated};

inline constexpr int kElements = 90;
inline constexpr long kVolumeMax = 255;
inline constexpr unsigned kEnumItems = 4;

// One letter per element: v playback volume, s playback switch, c capture
// volume, k capture switch, e enumerated; B = v+c, C = c+k, P = v+s.
inline constexpr char kElementLetters[] =
    "vsvsveevevB" "eeeeee" "cc" "v" "e" "v" "ssssss" "vv" "ssss" "ee" "C" "ss"
    "eeeeee" "s" "P" "eee" "c" "e" "vv" "e" "vv" "s" "v" "e" "v" "s" "kkkk" "s"
    "v" "ee" "sssssssss" "eee" "ssss" "e" "s" "v" "c";
static_assert(sizeof(kElementLetters) - 1 == kElements);

constexpr unsigned ElementCapabilities(int element) {
  switch (kElementLetters[element]) {
    case 'v': return kPlaybackVolume;
    case 's': return kPlaybackSwitch;
    case 'c': return kCaptureVolume;
    case 'k': return kCaptureSwitch;
    case 'e': return kEnumerated;
    case 'B': return kPlaybackVolume | kCaptureVolume;
    case 'C': return kCaptureVolume | kCaptureSwitch;
    case 'P': return kPlaybackVolume | kPlaybackSwitch;
  }
  return 0;
}

// The control name of one capability of an element, following the simple
// mixer's suffix rules; an enumerated control carries the bare name.
inline std::string ControlName(int element, unsigned capability) {
  char base[16];
  std::snprintf(base, sizeof base, "Slot %02d", element);
  switch (capability) {
    case kPlaybackVolume: return std::string(base) + " Playback Volume";
    case kPlaybackSwitch: return std::string(base) + " Playback Switch";
    case kCaptureVolume: return std::string(base) + " Capture Volume";
    case kCaptureSwitch: return std::string(base) + " Capture Switch";
    default: return base;
  }
}

}  // namespace codec
