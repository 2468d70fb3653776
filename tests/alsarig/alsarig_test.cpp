// The rig itself: the simple mixer sees the virtual codec's elements in
// layout order with the right capabilities, values persist and are checked,
// and the PCM modes capture, fail to open or reject the tone format.
#include "alsarig.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

using alsarig::AlsaRig;
using alsarig::RunInChild;

unsigned SimpleCapabilities(snd_mixer_elem_t* e) {
  unsigned caps = 0;
  if (snd_mixer_selem_has_playback_volume(e)) caps |= codec::kPlaybackVolume;
  if (snd_mixer_selem_has_playback_switch(e)) caps |= codec::kPlaybackSwitch;
  if (snd_mixer_selem_has_capture_volume(e)) caps |= codec::kCaptureVolume;
  if (snd_mixer_selem_has_capture_switch(e)) caps |= codec::kCaptureSwitch;
  if (snd_mixer_selem_is_enumerated(e)) caps |= codec::kEnumerated;
  return caps;
}

// Child body: one line per simple element of the default mixer, "name|caps".
void ListSimpleElements() {
  snd_mixer_t* mixer = nullptr;
  if (snd_mixer_open(&mixer, 0) < 0 || snd_mixer_attach(mixer, "default") < 0 ||
      snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0)
    std::exit(2);
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
    std::printf("%s|%u\n", snd_mixer_selem_get_name(e), SimpleCapabilities(e));
  snd_mixer_close(mixer);
}

std::vector<std::pair<std::string, unsigned>> ParseElements(const std::string& out) {
  std::vector<std::pair<std::string, unsigned>> elements;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    size_t bar = line.find('|');
    elements.emplace_back(line.substr(0, bar), std::stoul(line.substr(bar + 1)));
  }
  return elements;
}

std::string SlotName(int element) {
  char name[16];
  std::snprintf(name, sizeof name, "Slot %02d", element);
  return name;
}

TEST(AlsaRigCodec, SimpleMixerSeesElementsInLayoutOrderWithTheirCapabilities) {
  AlsaRig rig;
  auto r = RunInChild(rig, ListSimpleElements);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto elements = ParseElements(r.out);
  ASSERT_EQ(elements.size(), size_t(codec::kElements));
  for (int k = 0; k < codec::kElements; ++k) {
    EXPECT_EQ(elements[k].first, SlotName(k));
    EXPECT_EQ(elements[k].second, codec::ElementCapabilities(k)) << "element " << k;
  }
}

TEST(AlsaRigCodec, VariantsShortenTheCodecOrChangeKinds) {
  AlsaRig few({.codec_elements = 40});
  auto r = RunInChild(few, ListSimpleElements);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ParseElements(r.out).size(), 40u);

  AlsaRig wrong({.wrong_kinds = true});
  r = RunInChild(wrong, ListSimpleElements);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto elements = ParseElements(r.out);
  ASSERT_EQ(elements.size(), size_t(codec::kElements));
  EXPECT_EQ(elements[5].second, unsigned(codec::kPlaybackVolume));  // was enumerated
  EXPECT_EQ(elements[62].second, unsigned(codec::kPlaybackSwitch));  // was capture switch
  EXPECT_EQ(elements[0].second, unsigned(codec::kPlaybackVolume));
}

// Child body: writes through the control API, exiting with a code per step
// that failed so the parent can tell them apart.
void WriteControls() {
  snd_ctl_t* ctl = nullptr;
  if (snd_ctl_open(&ctl, "default", 0) < 0) std::exit(2);
  snd_ctl_elem_value_t* value;
  snd_ctl_elem_value_alloca(&value);
  snd_ctl_elem_value_set_interface(value, SND_CTL_ELEM_IFACE_MIXER);

  snd_ctl_elem_value_set_name(value, "Slot 09 Playback Volume");
  snd_ctl_elem_value_set_integer(value, 0, 235);
  if (snd_ctl_elem_write(ctl, value) < 0) std::exit(3);
  snd_ctl_elem_value_set_integer(value, 0, codec::kVolumeMax + 1);
  if (snd_ctl_elem_write(ctl, value) >= 0) std::exit(4);

  snd_ctl_elem_value_set_name(value, "Slot 68");
  snd_ctl_elem_value_set_enumerated(value, 0, 2);
  if (snd_ctl_elem_write(ctl, value) < 0) std::exit(5);
  snd_ctl_elem_value_set_enumerated(value, 0, codec::kEnumItems);
  if (snd_ctl_elem_write(ctl, value) >= 0) std::exit(6);
  snd_ctl_close(ctl);
}

TEST(AlsaRigCodec, ValuesPersistAcrossOpensAndOutOfRangeWritesAreRefused) {
  AlsaRig rig;
  auto r = RunInChild(rig, WriteControls);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(rig.CodecValue(9, codec::kPlaybackVolume), 235);
  EXPECT_EQ(rig.CodecValue(68, codec::kEnumerated), 2);
  EXPECT_EQ(rig.CodecValue(0, codec::kPlaybackVolume, 1), 99);  // untouched, stereo
  EXPECT_EQ(rig.CodecValue(9, codec::kCaptureVolume), std::nullopt);

  // A second process sees the first one's values.
  r = RunInChild(rig, [] {
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, "default", 0) < 0) std::exit(2);
    snd_ctl_elem_value_t* value;
    snd_ctl_elem_value_alloca(&value);
    snd_ctl_elem_value_set_interface(value, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_value_set_name(value, "Slot 09 Playback Volume");
    if (snd_ctl_elem_read(ctl, value) < 0) std::exit(3);
    std::printf("%ld\n", snd_ctl_elem_value_get_integer(value, 0));
    snd_ctl_close(ctl);
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "235\n");
}

// Child body: plays `bytes` as 8-bit unsigned mono; exits 2 if the device
// cannot be opened, 3 if it refuses the parameters.
void Play(const std::vector<unsigned char>& bytes) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) std::exit(2);
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_U8, SND_PCM_ACCESS_RW_INTERLEAVED, 1, 8000, 0,
                         500000) < 0) {
    snd_pcm_close(pcm);
    std::exit(3);
  }
  if (snd_pcm_writei(pcm, bytes.data(), bytes.size()) != long(bytes.size())) std::exit(4);
  snd_pcm_close(pcm);
}

TEST(AlsaRigPcm, CaptureFileCollectsEveryOpenByteForByte) {
  AlsaRig rig;
  std::vector<unsigned char> first(3001), second(17);
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<unsigned char>(i * 7);
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<unsigned char>(200 + i);
  auto r = RunInChild(rig, [&] {
    Play(first);
    Play(second);
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<unsigned char> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(rig.CaptureBytes(), expected);
}

TEST(AlsaRigPcm, FailingModesFailWhereTheySay) {
  AlsaRig cannot_open({.pcm = alsarig::PcmMode::kCannotOpen});
  EXPECT_EQ(RunInChild(cannot_open, [] { Play({1, 2, 3}); }).exit_code, 2);
  AlsaRig rejects({.pcm = alsarig::PcmMode::kRejectsParams});
  EXPECT_EQ(RunInChild(rejects, [] { Play({1, 2, 3}); }).exit_code, 3);
}

}  // namespace
