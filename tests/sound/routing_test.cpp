// Routing selections against the virtual codec: each selection runs in a
// child process with the rig's ALSA configuration, and the codec's values
// are read from its state file afterwards.
#include "routing.h"

#include <gtest/gtest.h>

#include <string>

#include "alsarig.h"

namespace {

using alsarig::AlsaRig;
using alsarig::RunInChild;
using namespace codec;

// The routing states by element and kind; everything not listed is 0.
struct Expected {
  int element;
  unsigned kind;
  int values[4];  // states 2, 3, 4, 5
};

constexpr Expected kStates[] = {
    {0, kPlaybackVolume, {127, 0, 115, 115}}, {2, kPlaybackVolume, {0, 115, 0, 0}},
    {9, kPlaybackVolume, {235, 0, 0, 207}},   {10, kPlaybackVolume, {2, 0, 0, 0}},
    {10, kCaptureVolume, {2, 0, 0, 0}},       {11, kEnumerated, {1, 1, 1, 1}},
    {14, kEnumerated, {1, 1, 1, 1}},          {16, kEnumerated, {0, 2, 2, 2}},
    {19, kPlaybackVolume, {121, 125, 80, 80}}, {21, kPlaybackVolume, {2, 0, 0, 0}},
    {23, kPlaybackSwitch, {0, 0, 0, 1}},      {25, kPlaybackSwitch, {0, 1, 1, 1}},
    {28, kPlaybackVolume, {2, 1, 3, 6}},      {29, kPlaybackVolume, {2, 0, 0, 0}},
    {36, kCaptureVolume, {23, 0, 0, 0}},      {36, kCaptureSwitch, {0, 1, 1, 1}},
    {38, kPlaybackSwitch, {1, 0, 0, 0}},      {50, kCaptureVolume, {195, 0, 0, 0}},
    {52, kPlaybackVolume, {2, 0, 0, 0}},      {53, kPlaybackVolume, {12, 0, 0, 0}},
    {55, kPlaybackVolume, {15, 0, 0, 0}},     {56, kPlaybackVolume, {7, 0, 0, 0}},
    {59, kEnumerated, {0, 1, 1, 1}},          {60, kPlaybackVolume, {3, 0, 0, 0}},
    {64, kCaptureSwitch, {0, 1, 1, 1}},       {66, kPlaybackSwitch, {1, 0, 1, 1}},
    {67, kPlaybackVolume, {2, 7, 7, 7}},      {68, kEnumerated, {0, 0, 0, 3}},
    {70, kPlaybackSwitch, {0, 1, 1, 1}},      {71, kPlaybackSwitch, {0, 1, 1, 1}},
    {72, kPlaybackSwitch, {0, 1, 1, 1}},      {73, kPlaybackSwitch, {0, 1, 1, 1}},
    {74, kPlaybackSwitch, {0, 1, 1, 1}},      {75, kPlaybackSwitch, {0, 1, 1, 1}},
    {76, kPlaybackSwitch, {1, 0, 0, 0}},      {81, kEnumerated, {1, 1, 1, 1}},
    {82, kPlaybackSwitch, {0, 1, 1, 1}},      {83, kPlaybackSwitch, {1, 0, 0, 0}},
    {87, kPlaybackSwitch, {1, 0, 1, 1}},      {88, kPlaybackVolume, {2, 0, 0, 0}},
    {89, kCaptureVolume, {2, 2, 2, 2}},
};

int ExpectedValue(int state, int element, unsigned kind) {
  for (const Expected& e : kStates)
    if (e.element == element && e.kind == kind) return e.values[state - 2];
  return 0;
}

// Every channel of every control of the codec holds the state's value.
void ExpectCodecInState(const AlsaRig& rig, int state) {
  auto controls = rig.CodecControls();
  ASSERT_FALSE(controls.empty());
  for (int element = 0; element < kElements; ++element) {
    for (unsigned kind : kAllCapabilities) {
      if (!(ElementCapabilities(element) & kind)) continue;
      const std::vector<long>& channels = controls[ControlName(element, kind)];
      ASSERT_FALSE(channels.empty()) << ControlName(element, kind);
      for (long value : channels)
        EXPECT_EQ(value, ExpectedValue(state, element, kind))
            << "state " << state << ", " << ControlName(element, kind);
    }
  }
}

struct Selection {
  int state;
  int (*select)();
};
constexpr Selection kSelections[] = {{2, SelectRingtoneRouting},
                                     {3, SelectCallRouting},
                                     {4, SelectSpeakerPhoneRouting},
                                     {5, SelectKeypadRouting}};

TEST(Routing, EachSelectionLeavesItsWholeStateInTheCodec) {
  for (const Selection& s : kSelections) {
    AlsaRig rig;
    auto r = RunInChild(rig, [&] {
      if (s.select() != 0) std::exit(2);
    });
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ExpectCodecInState(rig, s.state);
  }
}

TEST(Routing, CallStateAfterKeypadStateResetsTheKeypadSlots) {
  AlsaRig rig;
  auto r = RunInChild(rig, [] { SelectKeypadRouting(); });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_EQ(rig.CodecValue(68, kEnumerated), 3);
  r = RunInChild(rig, [] { SelectCallRouting(); });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(rig.CodecValue(9, kPlaybackVolume), 0);
  EXPECT_EQ(rig.CodecValue(23, kPlaybackSwitch), 0);
  EXPECT_EQ(rig.CodecValue(68, kEnumerated), 0);
  ExpectCodecInState(rig, 3);
}

TEST(Routing, SecondVolumeWriteToElement46IsTheOneThatStays) {
  AlsaRig rig;
  auto r = RunInChild(rig, [] {
    OpenMixer();
    LoadCallRouting();
    RoutingTable[3][48] = 11;
    RoutingTable[3][49] = 33;
    RoutingTable[3][50] = 1;
    SetRoutingState(3);
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(rig.CodecValue(46, kPlaybackVolume), 33);
  EXPECT_EQ(rig.CodecValue(46, kPlaybackSwitch), 1);
}

// On a fresh codec every control holds the plugin's start value (volumes
// 99). The read-back takes slots 32 to 34 as capture switches of elements
// that have none: three reads failing with -EINVAL. (Slot 70, read on the
// second channel of a mono switch, gets the simple mixer's only channel.)
TEST(Routing, SelectionsLogTheReadBackAndTheWrites) {
  AlsaRig rig;
  auto r = RunInChild(rig, [] {
    SelectCallRouting();
    SelectCallRouting();
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err,
            "201202272109 setting state \n"
            "201202251524 error is -66\n"
            "201202271525 State is  0\n"
            "201202271526 Wanted value 99\n"
            "201202271527 Read value 99\n"
            "201202271528 Read value 99\n"
            "201202251231 error is 0\n"
            "201202271033 State is  3\n"
            "201202272109 setting state \n"
            "201202251524 error is -66\n"
            "201202271525 State is  0\n"
            "201202271526 Wanted value 0\n"
            "201202271527 Read value 0\n"
            "201202271528 Read value 0\n"
            "201202251231 error is 0\n"
            "201202271033 State is  3\n");

  r = RunInChild(rig, [] { SelectRingtoneRouting(); });
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "201202251048 setting state \n");
  EXPECT_NE(r.err.find("201202271033 State is  2\n"), std::string::npos);
  r = RunInChild(rig, [] { SelectSpeakerPhoneRouting(); });
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "201202251524 error is -66\n");
  EXPECT_NE(r.err.find("201202271526 Wanted value 127\n"), std::string::npos);
}

TEST(Routing, ReadBackFillsRowZeroFromTheCodec) {
  AlsaRig rig;
  ASSERT_EQ(RunInChild(rig, [] { SelectKeypadRouting(); }).exit_code, 0);
  auto r = RunInChild(rig, [] {
    OpenMixer();
    RoutingTable[0][32] = 5;  // a failed read must not leave an old value
    ReadRoutingState();
    std::printf("%d %d %d %d %d %d %d\n", RoutingTable[0][0], RoutingTable[0][9],
                RoutingTable[0][24], RoutingTable[0][72], RoutingTable[0][93], RoutingTable[0][70],
                RoutingTable[0][32]);
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "115 207 1 3 2 1 0\n");
}

// Refused states touch nothing: the codec keeps its values and the open
// mixer handle stays open.
TEST(Routing, StatesOtherThanTwoToFiveAreRefused) {
  struct Refusal {
    int state;
    const char* message;
  };
  const Refusal refusals[] = {
      {0,
       "201202271426 Seting state 0 is useless, it is only used to get the curent state\n"},
      {1, "201212071400 Routing state 1 does not exist, only states 2 to 5 can be set\n"},
      {7, "201212071400 Routing state 7 does not exist, only states 2 to 5 can be set\n"},
      {-3, "201212071400 Routing state -3 does not exist, only states 2 to 5 can be set\n"},
  };
  AlsaRig rig;
  ASSERT_EQ(RunInChild(rig, [] { SelectRingtoneRouting(); }).exit_code, 0);
  const auto before = rig.CodecControls();
  for (const Refusal& refusal : refusals) {
    auto r = RunInChild(rig, [&] {
      OpenMixer();
      snd_mixer_t* opened = MixerHandle;
      SetRoutingState(refusal.state);
      if (MixerHandle != opened || MixerElementCount != kElements) std::exit(2);
    });
    EXPECT_EQ(r.exit_code, 0) << refusal.state;
    EXPECT_EQ(r.err, refusal.message);
    EXPECT_EQ(rig.CodecControls(), before) << refusal.state;
  }
}

std::string WriteErrorLine(const std::string& err) {
  size_t at = err.find("201202251231 error is ");
  return at == std::string::npos ? "" : err.substr(at, err.find('\n', at) - at);
}

// A codec of 40 elements lacks elements 40 to 89, addressed by slots 42 to
// 93; a codec of none lacks all 94.
TEST(Routing, ShortCodecGetsWhatItHasAndCountsTheRest) {
  AlsaRig rig({.codec_elements = 40});
  auto r = RunInChild(rig, [] { SelectRingtoneRouting(); });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(WriteErrorLine(r.err), "201202251231 error is " + std::to_string(52 * -22));
  EXPECT_EQ(rig.CodecValue(0, kPlaybackVolume), 127);
  EXPECT_EQ(rig.CodecValue(36, kCaptureVolume), 23);
  EXPECT_EQ(rig.CodecValue(39, kEnumerated), 0);

  AlsaRig empty({.codec_elements = 0});
  r = RunInChild(empty, [] {
    SelectCallRouting();
    SelectCallRouting();
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(WriteErrorLine(r.err), "201202251231 error is " + std::to_string(94 * -22));
  EXPECT_NE(r.err.find("201202271527 Read value 0\n"), std::string::npos);
}

// 30 enumerated slots meet volumes and 5 capture-switch slots meet
// playback switches; those writes are skipped, the others land.
TEST(Routing, CodecWithWrongKindsSurvivesASelection) {
  AlsaRig rig({.wrong_kinds = true});
  auto r = RunInChild(rig, [] { SelectKeypadRouting(); });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(WriteErrorLine(r.err), "201202251231 error is " + std::to_string(35 * -22));
  EXPECT_EQ(rig.CodecValue(68, kPlaybackVolume), 99);  // enum item 3 not written to a volume
  EXPECT_EQ(rig.CodecValue(64, kPlaybackSwitch), 1);   // start value, not written
  EXPECT_EQ(rig.CodecValue(9, kPlaybackVolume), 207);
  EXPECT_EQ(rig.CodecValue(23, kPlaybackSwitch), 1);
}

}  // namespace
