// Audio routing states: complete tables of mixer values, applied as a whole.
#pragma once

#include <alsa/asoundlib.h>

inline constexpr int kMixerCapacity = 200;
inline constexpr int kRoutingStates = 6;
inline constexpr int kRoutingSlots = 94;

extern snd_mixer_t* MixerHandle;
extern int MixerElementCount;
extern snd_mixer_elem_t* MixerElements[kMixerCapacity];
extern int RoutingTable[kRoutingStates][kMixerCapacity];

int OpenMixer();
void LoadRingtoneRouting();
void LoadCallRouting();
void LoadSpeakerPhoneRouting();
void LoadKeypadRouting();
// Reads the codec into row 0 and logs the read-back.
void ReadRoutingState();
// Applies row `state` (2 to 5) and closes the mixer. Other states are
// refused with a log line, touching neither codec nor mixer. A slot whose
// element is missing or lacks the slot's kind of value is skipped and
// counts -EINVAL in the logged error sum.
void SetRoutingState(int state);

int SelectRingtoneRouting();
int SelectCallRouting();
int SelectSpeakerPhoneRouting();
int SelectKeypadRouting();
