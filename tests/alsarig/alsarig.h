// ALSA test rig: runs code or programs against the real ALSA library with a
// test configuration instead of a sound card.
//
// An AlsaRig makes a temporary directory holding
//   asound.conf  the configuration, loaded after the stock alsa.conf;
//   capture.raw  what the "default" PCM device plays (a file plugin over
//                the null device); every later open of the device writes
//                capture.raw.0001, .0002, ..., and CaptureBytes() joins them
//                in order, so a run's tones and ringtones follow one another
//                (in real time: every open appends to capture.raw itself);
//   codec.state  the values of the virtual codec behind the "default" mixer
//                (the phonecodec control plugin, see codec_layout.h).
// The configuration reaches a process only through ALSA_CONFIG_PATH: pass
// Environment() to a spawned program, or use RunInChild for code in this
// test binary. ALSA reads the variable at its first call in a process, so a
// test binary that calls ALSA directly must set it before any ALSA call.
//
//   alsarig::AlsaRig rig;                              // complete codec
//   auto r = alsarig::RunInChild(rig, [] { SelectCallRouting(); });
//   EXPECT_EQ(rig.CodecValue(46, codec::kPlaybackVolume), 7);
//   std::vector<unsigned char> bytes = rig.CaptureBytes();
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "codec_layout.h"

namespace alsarig {

enum class PcmMode {
  kCapture,         // default PCM plays into capture.raw
  kRealTime,        // the same, taking 8000 bytes a second: a ringtone
                    // (8-bit mono 8000 Hz) blocks its player as long as on
                    // a sound card, where the null device takes it at once
  kCannotOpen,      // opening the default PCM fails
  kRejectsParams,   // opens, but refuses 8-bit unsigned samples
};

struct RigOptions {
  int codec_elements = codec::kElements;  // fewer makes a too-small codec
  bool wrong_kinds = false;  // enumerated elements become volumes, capture switches playback ones
  PcmMode pcm = PcmMode::kCapture;
  bool save_each_write = true;  // false: codec.state is written on close only
};

class AlsaRig {
 public:
  explicit AlsaRig(RigOptions options = {});
  ~AlsaRig();  // removes the directory
  AlsaRig(const AlsaRig&) = delete;
  AlsaRig& operator=(const AlsaRig&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string ConfigFile() const { return dir_ + "/asound.conf"; }
  std::string CaptureFile() const { return dir_ + "/capture.raw"; }
  std::string StateFile() const { return dir_ + "/codec.state"; }

  // "ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:<dir>/asound.conf".
  std::vector<std::string> Environment() const;
  // Sets those variables in this process (before its first ALSA call).
  void ApplyToThisProcess() const;

  // Everything played so far (empty if nothing was).
  std::vector<unsigned char> CaptureBytes() const;
  // The codec's controls by name, channel values in order; empty before
  // the codec was first opened.
  std::map<std::string, std::vector<long>> CodecControls() const;
  // One control of element `element` with capability `capability`
  // (a codec::Capability); nothing if the codec has no such control.
  std::optional<long> CodecValue(int element, unsigned capability, unsigned channel = 0) const;

 private:
  std::string dir_;
};

struct ChildResult {
  int exit_code = -1;  // exit status, or -1 when killed by a signal
  std::string out;     // what the child wrote to standard output
  std::string err;     // ... and to standard error
};

// Forks, gives the child the rig's environment and files for its standard
// streams, runs `body` there and exits with status 0 (unless body exits
// first). Waits for the child.
ChildResult RunInChild(const AlsaRig& rig, const std::function<void()>& body);

}  // namespace alsarig
