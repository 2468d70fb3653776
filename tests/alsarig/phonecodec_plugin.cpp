// A virtual sound codec: an ALSA external control plugin ("phonecodec")
// whose mixer controls mirror the element layout of codec_layout.h. Its
// values live in a state file named by the configuration, loaded on open
// and written after every write and on close, so tests can read what a
// program left in the codec after it exited.
//
// Configuration:  ctl.!default { type phonecodec state "/path"
//                                elements 90 wrongkinds false saveeach true }
//   elements    how many elements to expose (default all 90);
//   wrongkinds  true: enumerated elements become playback volumes and
//               capture switches become playback switches;
//   saveeach    false: the state file is written on close only, so that a
//               benchmark times the program rather than the file writes.
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codec_layout.h"

namespace {

constexpr long kInitialVolume = 99;
constexpr long kInitialSwitch = 1;
constexpr long kInitialItem = 3;

struct Control {
  std::string name;
  unsigned capability;
  unsigned channels;
  long values[2];
};

struct Codec {
  snd_ctl_ext_t ext{};
  std::string state_path;
  bool save_each_write = true;
  std::vector<Control> controls;
};

Codec* CodecOf(snd_ctl_ext_t* ext) { return static_cast<Codec*>(ext->private_data); }

long InitialValue(unsigned capability) {
  if (capability == codec::kEnumerated) return kInitialItem;
  if (capability & (codec::kPlaybackSwitch | codec::kCaptureSwitch)) return kInitialSwitch;
  return kInitialVolume;
}

long MaxValue(unsigned capability) {
  if (capability == codec::kEnumerated) return codec::kEnumItems - 1;
  if (capability & (codec::kPlaybackSwitch | codec::kCaptureSwitch)) return 1;
  return codec::kVolumeMax;
}

unsigned Mangled(unsigned capability, bool wrong_kinds) {
  if (!wrong_kinds) return capability;
  if (capability == codec::kEnumerated) return codec::kPlaybackVolume;
  if (capability == codec::kCaptureSwitch) return codec::kPlaybackSwitch;
  return capability;
}

void BuildControls(Codec* c, int elements, bool wrong_kinds) {
  for (int e = 0; e < elements; ++e) {
    for (unsigned cap : codec::kAllCapabilities) {
      if (!(codec::ElementCapabilities(e) & cap)) continue;
      unsigned kind = Mangled(cap, wrong_kinds);
      Control ctl{codec::ControlName(e, kind), kind, 1, {0, 0}};
      // Element 0 is stereo so that its second channel can be read.
      if (e == 0 && kind == codec::kPlaybackVolume) ctl.channels = 2;
      ctl.values[0] = ctl.values[1] = InitialValue(kind);
      c->controls.push_back(ctl);
    }
  }
}

void LoadState(Codec* c) {
  FILE* f = std::fopen(c->state_path.c_str(), "r");
  if (!f) return;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    char* tab = std::strchr(line, '\t');
    if (!tab) continue;
    *tab = '\0';
    long v0 = 0, v1 = 0;
    int n = std::sscanf(tab + 1, "%ld %ld", &v0, &v1);
    for (Control& ctl : c->controls) {
      if (ctl.name != line || n < 1) continue;
      ctl.values[0] = v0;
      ctl.values[1] = n == 2 ? v1 : v0;
    }
  }
  std::fclose(f);
}

void SaveState(const Codec* c) {
  FILE* f = std::fopen(c->state_path.c_str(), "w");
  if (!f) return;
  for (const Control& ctl : c->controls) {
    std::fprintf(f, "%s\t%ld", ctl.name.c_str(), ctl.values[0]);
    if (ctl.channels == 2) std::fprintf(f, " %ld", ctl.values[1]);
    std::fputc('\n', f);
  }
  std::fclose(f);
}

const Control* Find(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key) {
  Codec* c = CodecOf(ext);
  return key < c->controls.size() ? &c->controls[key] : nullptr;
}

void Close(snd_ctl_ext_t* ext) {
  Codec* c = CodecOf(ext);
  SaveState(c);
  delete c;
}

int ElemCount(snd_ctl_ext_t* ext) { return static_cast<int>(CodecOf(ext)->controls.size()); }

int ElemList(snd_ctl_ext_t* ext, unsigned offset, snd_ctl_elem_id_t* id) {
  Codec* c = CodecOf(ext);
  if (offset >= c->controls.size()) return -EINVAL;
  snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
  snd_ctl_elem_id_set_name(id, c->controls[offset].name.c_str());
  return 0;
}

snd_ctl_ext_key_t FindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
  Codec* c = CodecOf(ext);
  const char* name = snd_ctl_elem_id_get_name(id);
  unsigned numid = snd_ctl_elem_id_get_numid(id);
  if ((!name || !*name) && numid > 0 && numid <= c->controls.size()) return numid - 1;
  for (size_t i = 0; i < c->controls.size(); ++i)
    if (name && c->controls[i].name == name) return i;
  return SND_CTL_EXT_KEY_NOT_FOUND;
}

int GetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned* acc,
                 unsigned* count) {
  const Control* ctl = Find(ext, key);
  if (!ctl) return -EINVAL;
  if (ctl->capability == codec::kEnumerated)
    *type = SND_CTL_ELEM_TYPE_ENUMERATED;
  else if (ctl->capability & (codec::kPlaybackSwitch | codec::kCaptureSwitch))
    *type = SND_CTL_ELEM_TYPE_BOOLEAN;
  else
    *type = SND_CTL_ELEM_TYPE_INTEGER;
  *acc = SND_CTL_EXT_ACCESS_READWRITE;
  *count = ctl->channels;
  return 0;
}

int GetIntegerInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax,
                   long* istep) {
  const Control* ctl = Find(ext, key);
  if (!ctl) return -EINVAL;
  *imin = 0;
  *imax = MaxValue(ctl->capability);
  *istep = 1;
  return 0;
}

int GetEnumeratedInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned* items) {
  const Control* ctl = Find(ext, key);
  if (!ctl || ctl->capability != codec::kEnumerated) return -EINVAL;
  *items = codec::kEnumItems;
  return 0;
}

int GetEnumeratedName(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned item, char* name,
                      size_t max_len) {
  const Control* ctl = Find(ext, key);
  if (!ctl || ctl->capability != codec::kEnumerated || item >= codec::kEnumItems) return -EINVAL;
  std::snprintf(name, max_len, "Item %u", item);
  return 0;
}

int ReadInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
  const Control* ctl = Find(ext, key);
  if (!ctl) return -EINVAL;
  for (unsigned ch = 0; ch < ctl->channels; ++ch) value[ch] = ctl->values[ch];
  return 0;
}

int ReadEnumerated(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned* items) {
  const Control* ctl = Find(ext, key);
  if (!ctl) return -EINVAL;
  items[0] = static_cast<unsigned>(ctl->values[0]);
  return 0;
}

// Stores every channel, or nothing when any value is out of range.
int Store(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, const long* value) {
  Codec* c = CodecOf(ext);
  if (key >= c->controls.size()) return -EINVAL;
  Control& ctl = c->controls[key];
  for (unsigned ch = 0; ch < ctl.channels; ++ch)
    if (value[ch] < 0 || value[ch] > MaxValue(ctl.capability)) return -EINVAL;
  for (unsigned ch = 0; ch < ctl.channels; ++ch) ctl.values[ch] = value[ch];
  if (c->save_each_write) SaveState(c);
  return 0;
}

int WriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
  return Store(ext, key, value);
}

int WriteEnumerated(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned* items) {
  long value = items[0];
  return Store(ext, key, &value);
}

int ReadEvent(snd_ctl_ext_t*, snd_ctl_elem_id_t*, unsigned*) { return -EAGAIN; }

snd_ctl_ext_callback_t MakeCallbacks() {
  snd_ctl_ext_callback_t cb{};
  cb.close = Close;
  cb.elem_count = ElemCount;
  cb.elem_list = ElemList;
  cb.find_elem = FindElem;
  cb.get_attribute = GetAttribute;
  cb.get_integer_info = GetIntegerInfo;
  cb.get_enumerated_info = GetEnumeratedInfo;
  cb.get_enumerated_name = GetEnumeratedName;
  cb.read_integer = ReadInteger;
  cb.read_enumerated = ReadEnumerated;
  cb.write_integer = WriteInteger;
  cb.write_enumerated = WriteEnumerated;
  cb.read_event = ReadEvent;
  return cb;
}
const snd_ctl_ext_callback_t kCallbacks = MakeCallbacks();

struct Settings {
  std::string state_path;
  long elements = codec::kElements;
  bool wrong_kinds = false;
  bool save_each_write = true;
};

int ParseSettings(snd_config_t* conf, Settings* s) {
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t* n = snd_config_iterator_entry(i);
    const char* id;
    if (snd_config_get_id(n, &id) < 0) continue;
    std::string key = id;
    if (key == "comment" || key == "type" || key == "hint") continue;
    if (key == "state") {
      const char* path;
      if (snd_config_get_string(n, &path) < 0) return -EINVAL;
      s->state_path = path;
    } else if (key == "elements") {
      if (snd_config_get_integer(n, &s->elements) < 0) return -EINVAL;
      if (s->elements < 0 || s->elements > codec::kElements) return -EINVAL;
    } else if (key == "wrongkinds") {
      int b = snd_config_get_bool(n);
      if (b < 0) return -EINVAL;
      s->wrong_kinds = b;
    } else if (key == "saveeach") {
      int b = snd_config_get_bool(n);
      if (b < 0) return -EINVAL;
      s->save_each_write = b;
    } else {
      SNDERR("Unknown field %s", id);
      return -EINVAL;
    }
  }
  if (s->state_path.empty()) {
    SNDERR("phonecodec needs a state file");
    return -EINVAL;
  }
  return 0;
}

}  // namespace

extern "C" {

SND_CTL_PLUGIN_DEFINE_FUNC(phonecodec) {
  (void)root;
  Settings settings;
  int err = ParseSettings(conf, &settings);
  if (err < 0) return err;

  Codec* c = new Codec;
  c->state_path = settings.state_path;
  c->save_each_write = settings.save_each_write;
  BuildControls(c, static_cast<int>(settings.elements), settings.wrong_kinds);
  LoadState(c);

  snd_ctl_ext_t* ext = &c->ext;
  ext->version = SND_CTL_EXT_VERSION;
  ext->card_idx = 0;
  std::strcpy(ext->id, "PhoneCodec");
  std::strcpy(ext->driver, "phonecodec");
  std::strcpy(ext->name, "Phone codec");
  std::strcpy(ext->longname, "Virtual phone codec for tests");
  std::strcpy(ext->mixername, "Phone codec");
  ext->poll_fd = -1;
  ext->callback = &kCallbacks;
  ext->private_data = c;

  err = snd_ctl_ext_create(ext, name, mode);
  if (err < 0) {
    delete c;
    return err;
  }
  *handlep = ext->handle;
  return 0;
}

SND_CTL_PLUGIN_SYMBOL(phonecodec)

}  // extern "C"
