// Ringtone playback: the ringtone routing, then the samples through the
// player the tones share.
#include <cstdio>

#include "routing.h"
#include "tone.h"

int PlayRingtone(int number, std::span<const unsigned char> samples) {
  static constexpr PcmPlayback kRingtone = {kRingtoneSampleRate, kRingtoneLatencyUs,
                                            "201202181646 snd_pcm_writei failed: %s\n",
                                            "201202181647 Short write (expected %li, wrote %li)\n"};
  std::fprintf(stderr, "201202251241 playing ringtone %i\n", number);
  SelectRingtoneRouting();
  return PlayPcmSamples(samples.data(), static_cast<long>(samples.size()), kRingtone);
}
