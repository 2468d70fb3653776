// Ringtone playback; kept apart from the tones so that programs that only
// play DTMF tones need not define the ringtone samples.
#include <cstdio>

#include "routing.h"
#include "tone.h"

int PlayRingtone(int index) {
  static constexpr PcmPlayback kRingtone = {8000, 800000,
                                            "201202181646 snd_pcm_writei failed: %s\n",
                                            "201202181647 Short write (expected %li, wrote %li)\n"};
  std::fprintf(stderr, "201202251241 playing ringtone %i\n", index);
  SelectRingtoneRouting();
  return PlayPcmSamples(RingtoneSamples[index], RingtoneLength[index], kRingtone);
}
