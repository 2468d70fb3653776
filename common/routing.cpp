// Audio routing states. Each state is a complete table of mixer values,
// written slot by slot through the ALSA simple mixer; a slot names an
// element by its enumeration position and the kind of value it takes.
#include "routing.h"

#include <cerrno>
#include <cstdio>

snd_mixer_t* MixerHandle = nullptr;
int MixerElementCount = 0;
snd_mixer_elem_t* MixerElements[kMixerCapacity];
int RoutingTable[kRoutingStates][kMixerCapacity];

namespace {

enum SlotKind { kPlaybackVolume, kPlaybackSwitch, kEnumItem, kCaptureVolume, kCaptureSwitch };

// Consecutive slots addressing consecutive elements of one kind.
struct SlotRun {
  int first_element;
  int count;
  SlotKind kind;
};

constexpr SlotRun kSlotRuns[] = {
    {0, 1, kPlaybackVolume}, {1, 1, kPlaybackSwitch}, {2, 1, kPlaybackVolume},
    {3, 1, kPlaybackSwitch}, {4, 1, kPlaybackVolume}, {5, 2, kEnumItem},
    {7, 1, kPlaybackVolume}, {8, 1, kEnumItem},       {9, 2, kPlaybackVolume},
    {10, 1, kCaptureVolume}, {11, 6, kEnumItem},      {17, 2, kCaptureVolume},
    {19, 1, kPlaybackVolume}, {20, 1, kEnumItem},     {21, 1, kPlaybackVolume},
    {22, 6, kPlaybackSwitch}, {28, 2, kPlaybackVolume}, {30, 4, kPlaybackSwitch},
    {34, 2, kEnumItem},      {36, 1, kCaptureVolume}, {36, 1, kCaptureSwitch},
    {37, 2, kPlaybackSwitch}, {39, 6, kEnumItem},     {45, 1, kPlaybackSwitch},
    {46, 1, kPlaybackVolume}, {46, 1, kPlaybackVolume}, {46, 1, kPlaybackSwitch},
    {47, 3, kEnumItem},      {50, 1, kCaptureVolume}, {51, 1, kEnumItem},
    {52, 2, kPlaybackVolume}, {54, 1, kEnumItem},     {55, 2, kPlaybackVolume},
    {57, 1, kPlaybackSwitch}, {58, 1, kPlaybackVolume}, {59, 1, kEnumItem},
    {60, 1, kPlaybackVolume}, {61, 1, kPlaybackSwitch}, {62, 4, kCaptureSwitch},
    {66, 1, kPlaybackSwitch}, {67, 1, kPlaybackVolume}, {68, 2, kEnumItem},
    {70, 9, kPlaybackSwitch}, {79, 3, kEnumItem},     {82, 4, kPlaybackSwitch},
    {86, 1, kEnumItem},      {87, 1, kPlaybackSwitch}, {88, 1, kPlaybackVolume},
    {89, 1, kCaptureVolume},
};

struct Slot {
  int element;
  SlotKind kind;
};

struct SlotMap {
  Slot slots[kRoutingSlots];
};

constexpr SlotMap ExpandSlotRuns() {
  SlotMap map{};
  int slot = 0;
  for (const SlotRun& run : kSlotRuns)
    for (int i = 0; i < run.count; ++i) map.slots[slot++] = {run.first_element + i, run.kind};
  return map;
}

constexpr int CountSlots() {
  int n = 0;
  for (const SlotRun& run : kSlotRuns) n += run.count;
  return n;
}
static_assert(CountSlots() == kRoutingSlots);

constexpr SlotMap kSlotMap = ExpandSlotRuns();

// The slots that are not 0 in some state, with their values in states 2 to 5.
struct StateValues {
  int slot;
  int values[4];
};

constexpr StateValues kStateValues[] = {
    {0, {127, 0, 115, 115}}, {2, {0, 115, 0, 0}},   {9, {235, 0, 0, 207}},
    {10, {2, 0, 0, 0}},      {11, {2, 0, 0, 0}},    {12, {1, 1, 1, 1}},
    {15, {1, 1, 1, 1}},      {17, {0, 2, 2, 2}},    {20, {121, 125, 80, 80}},
    {22, {2, 0, 0, 0}},      {24, {0, 0, 0, 1}},    {26, {0, 1, 1, 1}},
    {29, {2, 1, 3, 6}},      {30, {2, 0, 0, 0}},    {37, {23, 0, 0, 0}},
    {38, {0, 1, 1, 1}},      {40, {1, 0, 0, 0}},    {54, {195, 0, 0, 0}},
    {56, {2, 0, 0, 0}},      {57, {12, 0, 0, 0}},   {59, {15, 0, 0, 0}},
    {60, {7, 0, 0, 0}},      {63, {0, 1, 1, 1}},    {64, {3, 0, 0, 0}},
    {68, {0, 1, 1, 1}},      {70, {1, 0, 1, 1}},    {71, {2, 7, 7, 7}},
    {72, {0, 0, 0, 3}},      {74, {0, 1, 1, 1}},    {75, {0, 1, 1, 1}},
    {76, {0, 1, 1, 1}},      {77, {0, 1, 1, 1}},    {78, {0, 1, 1, 1}},
    {79, {0, 1, 1, 1}},      {80, {1, 0, 0, 0}},    {85, {1, 1, 1, 1}},
    {86, {0, 1, 1, 1}},      {87, {1, 0, 0, 0}},    {91, {1, 0, 1, 1}},
    {92, {2, 0, 0, 0}},      {93, {2, 2, 2, 2}},
};

constexpr int kFirstLoadedState = 2;

void LoadRouting(int state) {
  for (int slot = 0; slot < kRoutingSlots; ++slot) RoutingTable[state][slot] = 0;
  for (const StateValues& v : kStateValues)
    RoutingTable[state][v.slot] = v.values[state - kFirstLoadedState];
}

// The element at `index`, or nothing when the card has no such element.
snd_mixer_elem_t* ElementAt(int index) {
  if (index < 0 || index >= MixerElementCount || index >= kMixerCapacity) return nullptr;
  return MixerElements[index];
}

bool HasKind(snd_mixer_elem_t* elem, SlotKind kind) {
  switch (kind) {
    case kPlaybackVolume: return snd_mixer_selem_has_playback_volume(elem);
    case kPlaybackSwitch: return snd_mixer_selem_has_playback_switch(elem);
    case kEnumItem: return snd_mixer_selem_is_enumerated(elem);
    case kCaptureVolume: return snd_mixer_selem_has_capture_volume(elem);
    case kCaptureSwitch: return snd_mixer_selem_has_capture_switch(elem);
  }
  return false;
}

// A missing element or one without the slot's capability is never handed
// to the simple mixer (its enumerated calls assert on other elements); the
// access counts as -EINVAL, the code the mixer gives for a missing control.
snd_mixer_elem_t* UsableElement(int index, SlotKind kind) {
  snd_mixer_elem_t* elem = ElementAt(index);
  return elem && HasKind(elem, kind) ? elem : nullptr;
}

// One simple-mixer getter, whatever type it reads, as an int slot value.
template <typename Read>
int GetAsInt(int (*get)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, Read*),
             snd_mixer_elem_t* elem, snd_mixer_selem_channel_id_t channel, int* value) {
  Read read{};
  const int err = get(elem, channel, &read);
  *value = static_cast<int>(read);
  return err;
}

int ReadSlot(int element, SlotKind kind, snd_mixer_selem_channel_id_t channel, int* value) {
  *value = 0;
  snd_mixer_elem_t* elem = UsableElement(element, kind);
  if (!elem) return -EINVAL;
  switch (kind) {
    case kPlaybackVolume: return GetAsInt(snd_mixer_selem_get_playback_volume, elem, channel, value);
    case kCaptureVolume: return GetAsInt(snd_mixer_selem_get_capture_volume, elem, channel, value);
    case kPlaybackSwitch: return GetAsInt(snd_mixer_selem_get_playback_switch, elem, channel, value);
    case kCaptureSwitch: return GetAsInt(snd_mixer_selem_get_capture_switch, elem, channel, value);
    case kEnumItem: return GetAsInt(snd_mixer_selem_get_enum_item, elem, channel, value);
  }
  return -EINVAL;
}

int WriteSlot(int element, SlotKind kind, int value) {
  snd_mixer_elem_t* elem = UsableElement(element, kind);
  if (!elem) return -EINVAL;
  switch (kind) {
    case kPlaybackVolume: return snd_mixer_selem_set_playback_volume_all(elem, value);
    case kPlaybackSwitch: return snd_mixer_selem_set_playback_switch_all(elem, value);
    case kEnumItem:
      return snd_mixer_selem_set_enum_item(elem, SND_MIXER_SCHN_FRONT_LEFT,
                                           static_cast<unsigned>(value));
    case kCaptureVolume: return snd_mixer_selem_set_capture_volume_all(elem, value);
    case kCaptureSwitch: return snd_mixer_selem_set_capture_switch_all(elem, value);
  }
  return -EINVAL;
}

// Element 0's playback volume on one channel, for the read-back log.
long ReadElementZeroVolume(snd_mixer_selem_channel_id_t channel) {
  long volume = 0;
  if (snd_mixer_elem_t* elem = UsableElement(0, kPlaybackVolume))
    snd_mixer_selem_get_playback_volume(elem, channel, &volume);
  return volume;
}

// The handles die with the mixer; forget them so nothing reaches a freed one.
void CloseMixer() {
  if (MixerHandle) snd_mixer_close(MixerHandle);
  MixerHandle = nullptr;
  MixerElementCount = 0;
  for (snd_mixer_elem_t*& elem : MixerElements) elem = nullptr;
}

bool IsSelectableState(int state) { return state >= kFirstLoadedState && state < kRoutingStates; }

// A selection: open the mixer, load the state's row, apply it (which closes
// the mixer again).
int SelectRouting(int state) {
  OpenMixer();
  LoadRouting(state);
  SetRoutingState(state);
  return 0;
}

}  // namespace

int OpenMixer() {
  CloseMixer();
  // Failures leave fewer (or no) elements; every slot access checks for that.
  snd_mixer_open(&MixerHandle, 0);
  if (MixerHandle) {
    snd_mixer_attach(MixerHandle, "default");
    snd_mixer_selem_register(MixerHandle, nullptr, nullptr);
    snd_mixer_load(MixerHandle);
  }
  MixerElementCount = MixerHandle ? static_cast<int>(snd_mixer_get_count(MixerHandle)) : 0;
  snd_mixer_elem_t* elem = MixerHandle ? snd_mixer_first_elem(MixerHandle) : nullptr;
  for (int i = 0; elem && i < MixerElementCount && i < kMixerCapacity; ++i) {
    MixerElements[i] = elem;
    elem = snd_mixer_elem_next(elem);
  }
  return MixerElementCount;
}

void LoadRingtoneRouting() { LoadRouting(2); }
void LoadCallRouting() { LoadRouting(3); }
void LoadSpeakerPhoneRouting() { LoadRouting(4); }
void LoadKeypadRouting() { LoadRouting(5); }

void ReadRoutingState() {
  int errors = 0;
  for (int slot = 0; slot < kRoutingSlots; ++slot) {
    Slot s = kSlotMap.slots[slot];
    snd_mixer_selem_channel_id_t channel = SND_MIXER_SCHN_FRONT_LEFT;
    // The read-back of the GTA02 tables takes these four slots differently
    // from the writes.
    if (slot >= 32 && slot <= 34) s.kind = kCaptureSwitch;
    if (slot == 70) channel = SND_MIXER_SCHN_FRONT_RIGHT;
    errors += ReadSlot(s.element, s.kind, channel, &RoutingTable[0][slot]);
  }
  std::fprintf(stderr, "201202251524 error is %i\n", errors);
  std::fprintf(stderr, "201202271525 State is  %i\n", 0);
  std::fprintf(stderr, "201202271526 Wanted value %i\n", RoutingTable[0][0]);
  std::fprintf(stderr, "201202271527 Read value %li\n",
               ReadElementZeroVolume(SND_MIXER_SCHN_FRONT_LEFT));
  std::fprintf(stderr, "201202271528 Read value %li\n",
               ReadElementZeroVolume(SND_MIXER_SCHN_FRONT_RIGHT));
}

void SetRoutingState(int state) {
  if (state == 0) {
    std::fprintf(stderr,
                 "201202271426 Seting state 0 is useless, it is only used to get the curent "
                 "state\n");
    return;
  }
  if (!IsSelectableState(state)) {
    std::fprintf(stderr,
                 "201212071400 Routing state %i does not exist, only states 2 to 5 can be set\n",
                 state);
    return;
  }
  ReadRoutingState();
  int errors = 0;
  for (int slot = 0; slot < kRoutingSlots; ++slot) {
    const Slot& s = kSlotMap.slots[slot];
    errors += WriteSlot(s.element, s.kind, RoutingTable[state][slot]);
  }
  std::fprintf(stderr, "201202251231 error is %i\n", errors);
  std::fprintf(stderr, "201202271033 State is  %i\n", state);
  CloseMixer();
}

int SelectRingtoneRouting() {
  std::fprintf(stderr, "201202251048 setting state \n");
  return SelectRouting(2);
}

int SelectCallRouting() {
  std::fprintf(stderr, "201202272109 setting state \n");
  return SelectRouting(3);
}

int SelectSpeakerPhoneRouting() { return SelectRouting(4); }

int SelectKeypadRouting() { return SelectRouting(5); }
