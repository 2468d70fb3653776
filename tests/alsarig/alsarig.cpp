#include "alsarig.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace alsarig {
namespace {

constexpr const char* kStockConfig = "/usr/share/alsa/alsa.conf";

std::string PcmSection(PcmMode mode, const std::string& capture) {
  switch (mode) {
    case PcmMode::kCannotOpen:
      return "pcm.!default { type hw card 99 device 0 }\n";
    case PcmMode::kRejectsParams:
      // Over a linear slave, the mu-law plugin accepts only mu-law input.
      return "pcm.!default { type mulaw slave { pcm \"null\" format S16_LE } }\n";
    case PcmMode::kRealTime:
      // The file plugin pipes into the pacer, which plays at 8000 bytes a second.
      return "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"|" ALSARIG_PACER_PATH
             " 8000 " + capture + "\"\n  format \"raw\"\n}\n";
    case PcmMode::kCapture:
      break;
  }
  return "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" + capture +
         "\"\n  format \"raw\"\n  truncate false\n}\n";
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

AlsaRig::AlsaRig(RigOptions options) {
  char tmpl[] = "/tmp/alsarig-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("alsarig: mkdtemp failed");
  dir_ = tmpl;
  std::ofstream conf(ConfigFile());
  conf << PcmSection(options.pcm, CaptureFile());
  conf << "ctl_type.phonecodec { lib \"" << ALSARIG_PLUGIN_PATH << "\" }\n";
  conf << "ctl.!default {\n  type phonecodec\n  state \"" << StateFile() << "\"\n  elements "
       << options.codec_elements << "\n  wrongkinds " << (options.wrong_kinds ? "true" : "false")
       << "\n  saveeach " << (options.save_each_write ? "true" : "false") << "\n}\n";
  if (!conf) throw std::runtime_error("alsarig: cannot write " + ConfigFile());
}

AlsaRig::~AlsaRig() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> AlsaRig::Environment() const {
  return {std::string("ALSA_CONFIG_PATH=") + kStockConfig + ":" + ConfigFile()};
}

void AlsaRig::ApplyToThisProcess() const {
  for (const std::string& var : Environment()) {
    size_t eq = var.find('=');
    setenv(var.substr(0, eq).c_str(), var.substr(eq + 1).c_str(), 1);
  }
}

std::vector<unsigned char> AlsaRig::CaptureBytes() const {
  // Without truncation the file plugin never reopens an existing file: each
  // further open of the device creates capture.raw.0001, .0002, ... in turn.
  std::vector<unsigned char> bytes;
  for (int n = 0;; ++n) {
    char suffix[16] = "";
    if (n > 0) std::snprintf(suffix, sizeof suffix, ".%04d", n);
    const std::string path = CaptureFile() + suffix;
    if (!std::filesystem::exists(path)) break;
    std::string part = ReadWholeFile(path);
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

std::map<std::string, std::vector<long>> AlsaRig::CodecControls() const {
  std::map<std::string, std::vector<long>> controls;
  std::istringstream lines(ReadWholeFile(StateFile()));
  std::string line;
  while (std::getline(lines, line)) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::istringstream values(line.substr(tab + 1));
    std::vector<long>& channels = controls[line.substr(0, tab)];
    for (long v; values >> v;) channels.push_back(v);
  }
  return controls;
}

std::optional<long> AlsaRig::CodecValue(int element, unsigned capability,
                                        unsigned channel) const {
  auto controls = CodecControls();
  auto it = controls.find(codec::ControlName(element, capability));
  if (it == controls.end() || channel >= it->second.size()) return std::nullopt;
  return it->second[channel];
}

ChildResult RunInChild(const AlsaRig& rig, const std::function<void()>& body) {
  const std::string out_path = rig.Dir() + "/child.out";
  const std::string err_path = rig.Dir() + "/child.err";
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("alsarig: fork failed");
  if (pid == 0) {
    rig.ApplyToThisProcess();
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    body();
    std::exit(0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ChildResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadWholeFile(out_path);
  result.err = ReadWholeFile(err_path);
  return result;
}

}  // namespace alsarig
