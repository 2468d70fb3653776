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
void ReadRoutingState();
void SetRoutingState(int state);

int SelectRingtoneRouting();
int SelectCallRouting();
int SelectSpeakerPhoneRouting();
int SelectKeypadRouting();
