#include "sim_modem.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>

#include "at_syntax.h"
#include "charset.h"
#include "pdu.h"

namespace {

constexpr Millis kRingMs = 3000;
// Longer than any bridge waits for the answer to a query.
constexpr Millis kLateMs = 7000;
// From a reset until the SIM is read.
constexpr Millis kSimReadMs = 2000;
constexpr size_t kMaxInput = 1024;
// A PDU of 175 octets as hex, with room for a service-centre address.
constexpr size_t kMaxEntry = 400;
constexpr int kMaxTpduLength = 175;
constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;

constexpr std::string_view kImei = "352099001761481";
constexpr std::string_view kImsi = "001010123456789";
// The operator's long name, short name and number, as AT+COPS=3,<format> chooses.
constexpr const char* kOperator[] = {"modemsim", "modemsim", "00101"};

constexpr int kCmeNotAllowed = 3;
constexpr int kCmePinRequired = 11;
constexpr int kCmeSimBusy = 14;
constexpr int kCmeUnknown = 100;
constexpr int kCmsInvalidPdu = 304;
constexpr int kCmsSimBusy = 314;
constexpr int kCmsInvalidIndex = 321;
constexpr int kCmsUnknown = 500;

// +CREG, +CGREG, +CEREG: the network is GSM with GPRS, so the last never registers.
struct RegistrationKind {
  const char* name;
  bool served;
};
constexpr RegistrationKind kRegistrationKinds[] = {
    {"+CREG", true}, {"+CGREG", true}, {"+CEREG", false}};

// "+CREG: [<n>,]<stat>", with the area and cell after AT+CREG=2; <n> only
// in the answer to a query.
std::string RegistrationLine(const RegistrationKind& kind, int report, bool registered,
                             bool queried) {
  bool here = registered && kind.served;
  std::string line = std::string(kind.name) + ": " + (queried ? std::to_string(report) + "," : "") +
                     (here ? "1" : "0");
  return report == 2 && here ? line + ",\"0001\",\"00000001\"" : line;
}

constexpr const char* kStatNames[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT"};
constexpr int kAllStats = 4;

// The error a command that needs the SIM gets in each state, as +CME and +CMS numbers.
int SimError(SimCard::State state, bool message_command) {
  switch (state) {
    case SimCard::State::kAbsent: return message_command ? 310 : 10;
    case SimCard::State::kPinLocked: return message_command ? 311 : 11;
    case SimCard::State::kPukLocked: return message_command ? 316 : 12;
    case SimCard::State::kReady: break;
  }
  return 0;
}

// The octets after the service-centre address.
int TpduLength(std::string_view pdu) {
  int centre = static_cast<int>(strtol(std::string(pdu.substr(0, 2)).c_str(), nullptr, 16));
  return static_cast<int>(pdu.size() / 2) - 1 - centre;
}

// "yy/MM/dd,hh:mm:ss+zz" of text mode.
std::string TextStamp(const SmsTime& t) {
  char text[32];
  snprintf(text, sizeof text, "%02d/%02d/%02d,%02d:%02d:%02d%c%02d", t.year % 100, t.month, t.day,
           t.hour, t.minute, t.second, t.zone_quarters < 0 ? '-' : '+', abs(t.zone_quarters));
  return text;
}

// Text mode's characters: 8859-1 as it is, IRA with "?" for what ASCII lacks.
std::string InCharset(std::u32string_view text, const std::string& charset) {
  std::string latin1 = CodePointsToLatin1(text);
  if (charset == "IRA")
    for (char& c : latin1)
      if (static_cast<unsigned char>(c) > 0x7F) c = '?';
  return latin1;
}

}  // namespace

// Longer prefixes before the shorter ones they begin with.
const SimModem::AtCommand SimModem::kAtCommands[] = {
    {"AT+CMEE", &SimModem::SetErrors},
    {"AT+CLIP", &SimModem::SetClip},
    {"AT+CRC", &SimModem::SetRingFormat},
    {"AT+CNMI", &SimModem::SetIndication, Errors::kCms},
    {"AT+CMGF", &SimModem::SetMessageFormat, Errors::kCms},
    {"AT+CSCS", &SimModem::SetCharset},
    {"AT+CFUN", &SimModem::Functionality},
    {"AT+CPIN", &SimModem::Pin, Errors::kCme, SimUse::kTouches},
    {"AT+CLCK", &SimModem::Facility, Errors::kCme, SimUse::kTouches},
    {"AT+CPMS", &SimModem::Storages, Errors::kCms, SimUse::kUnlocked},
    {"AT+CMGR=", &SimModem::ReadMessage, Errors::kCms, SimUse::kUnlocked},
    {"AT+CMGL", &SimModem::ListMessages, Errors::kCms, SimUse::kUnlocked},
    {"AT+CMGS=", &SimModem::StartSending, Errors::kCms, SimUse::kUnlocked},
    {"AT+CMGD=", &SimModem::DeleteMessage, Errors::kCms, SimUse::kUnlocked},
    {"AT+CGMI", &SimModem::Manufacturer},
    {"AT+GMI", &SimModem::Manufacturer},
    {"AT+CGMM", &SimModem::Model},
    {"AT+GMM", &SimModem::Model},
    {"AT+CGMR", &SimModem::Revision},
    {"AT+GMR", &SimModem::Revision},
    {"AT+CGSN", &SimModem::Imei},
    {"AT+GSN", &SimModem::Imei},
    {"AT+CIMI", &SimModem::Imsi, Errors::kCme, SimUse::kUnlocked},
    {"AT+GCAP", &SimModem::Capabilities},
    {"AT+CREG", &SimModem::CircuitRegistration},
    {"AT+CGREG", &SimModem::PacketRegistration},
    {"AT+CEREG", &SimModem::EpsRegistration},
    {"AT+COPS", &SimModem::Operator},
    {"AT+CSQ", &SimModem::SignalQuality},
    {"AT+CIND", &SimModem::Indicators},
    {"AT+CMER", &SimModem::Acknowledge},
    {"AT+CLCC", &SimModem::ListCalls},
    {"AT+CHUP", &SimModem::HangUpVoice},
    {"AT+CVHU", &SimModem::SetVoiceHangUp},
    {"AT+VTS=", &SimModem::Tone},
    {"ATE", &SimModem::SetEcho},
    {"ATZ", &SimModem::Defaults},
    {"AT&F", &SimModem::Defaults},
    {"ATV1", &SimModem::Acknowledge},
    {"ATQ0", &SimModem::Acknowledge},
    {"ATX", &SimModem::Acknowledge},
    {"AT&C", &SimModem::Acknowledge},
    {"AT&D", &SimModem::Acknowledge},
    {"ATI", &SimModem::Identify},
    {"ATD", &SimModem::Dial},
    {"ATA", &SimModem::AnswerCall},
    {"ATH", &SimModem::HangUp},
};

SimModem::SimModem(const Profile& profile, std::function<void(std::string_view)> to_line)
    : profile_(profile), to_line_(std::move(to_line)), settings_(DefaultSettings()) {
  for (int i = 0; i < profile_.old_sim_messages; ++i)
    store_.Add("SM", {1, EncodeDeliver("+10000000000", {2026, 1, 2, 9, 30, i, 4},
                                       U"an old message, left on the SIM", 0)
                             .front()});
  registered_ = Registered();
}

// ---- The port ----

void SimModem::FromLine(std::string_view bytes, Millis now) {
  now_ = now;
  if (held_until_ != 0) {
    held_input_.append(bytes);  // the modem is busy with the late answer
    return;
  }
  if (profile_.sleeps_after != 0 && !text_entry_ && now - last_activity_ >= profile_.sleeps_after)
    waking_ = true;
  last_activity_ = now;
  for (size_t i = 0; i < bytes.size(); ++i) {
    TakeByte(bytes[i]);
    if (held_until_ != 0) {
      held_input_.append(bytes.substr(i + 1));
      return;
    }
  }
}

void SimModem::TakeByte(char c) {
  if (text_entry_) {
    if (c == kCtrlZ || c == kEsc) return EndTextEntry(c == kCtrlZ);
    if (entry_.size() < kMaxEntry) entry_ += c;
    else entry_overflow_ = true;
  } else if (c == '\r') {
    std::string line;
    line.swap(input_);
    if (!WakesUp(line)) return;
    if (settings_.echo) Send(line + "\r", "");
    RunLine(line);
  } else if (c == kCtrlZ || c == kEsc) {
    input_.clear();  // outside text entry these only abort a line, or wake the modem
    waking_ = false;
  } else if (c != '\n' && input_.size() < kMaxInput) {
    input_ += c;
  }
}

// A line that woke the modem from deep sleep is lost, unless it is a lone AT.
bool SimModem::WakesUp(const std::string& line) {
  if (!std::exchange(waking_, false) || Upper(line) == "AT") return true;
  printf("lost in deep sleep: %s\n", line.c_str());
  return false;
}

void SimModem::RunLine(const std::string& line) {
  size_t at = Upper(line).find("AT");
  if (at == std::string::npos) return;  // a modem ignores what comes before AT
  std::string command = line.substr(at);
  printf("<< %s\n", command.c_str());
  if (std::exchange(late_next_, false)) held_until_ = now_ + kLateMs;
  std::optional<std::vector<std::string>> commands = SplitCommandLine(command.substr(2));
  if (!commands) return Finish(Error(0), Errors::kCme);
  for (const std::string& one : *commands) {
    Result result = RunCommand("AT" + one);
    if (result.kind != Result::kOk) return;
  }
  Say("OK");
}

// Runs one command of the line; what is not OK is the line's final result,
// said here.
SimModem::Result SimModem::RunCommand(const std::string& command) {
  std::string upper = Upper(command);
  for (const AtCommand& known : kAtCommands) {
    if (!upper.starts_with(known.prefix)) continue;
    Result result = SimGate(known, upper);
    if (result.kind == Result::kOk)
      result = (this->*known.run)(command.substr(std::string_view(known.prefix).size()));
    Finish(result, known.errors);
    return result;
  }
  fail_next_ = false;  // an unknown command fails anyway
  Finish(Error(kCmeUnknown), Errors::kCme);
  return Error(kCmeUnknown);
}

// What a command meets before it runs: a failure asked for, the SIM's state.
SimModem::Result SimModem::SimGate(const AtCommand& command, const std::string& upper) {
  bool message_command = command.errors == Errors::kCms;
  if (std::exchange(fail_next_, false)) return Error(message_command ? kCmsUnknown : kCmeUnknown);
  SimUse use = command.sim;
  for (std::string_view gated : profile_.need_unlocked_sim)
    if (upper.starts_with(gated)) use = SimUse::kUnlocked;
  if (use != SimUse::kNone) {
    SimCard::State state = sim_.state();
    if (state == SimCard::State::kAbsent) return Error(SimError(state, message_command));
    if (sim_.TakeBusy()) return Error(message_command ? kCmsSimBusy : kCmeSimBusy);
    if (use == SimUse::kUnlocked && state != SimCard::State::kReady)
      return Error(SimError(state, message_command));
  }
  if (message_command && profile_.messages_wait_for_sim && sim_read_at_ != 0)
    return Error(kCmsSimBusy);
  return Ok();
}

// Message commands always report +CMS ERROR; the others follow AT+CMEE.
void SimModem::Finish(const Result& result, Errors errors) {
  switch (result.kind) {
    case Result::kOk:
    case Result::kLater: return;
    case Result::kFinal: return Say(result.line);
    case Result::kError:
      if (result.code == 0) return Say("ERROR");
      if (errors == Errors::kCms) return Say("+CMS ERROR: " + std::to_string(result.code));
      if (settings_.numeric_errors != 0) return Say("+CME ERROR: " + std::to_string(result.code));
      return Say("ERROR");
  }
}

void SimModem::Say(std::string_view line) { SayLines({std::string(line)}); }

void SimModem::SayLines(const std::vector<std::string>& lines) {
  std::string bytes = "\r\n", trace;
  for (const std::string& line : lines) {
    bytes += line + "\r\n";
    trace += ">> " + line + "\n";
  }
  Send(bytes, trace);
}

// While a late answer is held back, everything the modem says waits behind it.
void SimModem::Send(std::string bytes, std::string trace) {
  last_activity_ = now_;
  if (held_until_ != 0) return held_.push_back({std::move(bytes), std::move(trace)});
  fputs(trace.c_str(), stdout);
  to_line_(bytes);
}

void SimModem::Release() {
  held_until_ = 0;
  for (Held& held : std::exchange(held_, {})) Send(std::move(held.bytes), std::move(held.trace));
  if (!held_input_.empty()) FromLine(std::exchange(held_input_, ""), now_);
}

void SimModem::Tick(Millis now) {
  now_ = now;
  if (held_until_ != 0 && now >= held_until_) Release();
  if (sim_read_at_ != 0 && now >= sim_read_at_) {
    sim_read_at_ = 0;
    for (std::string_view line : profile_.ready_lines) Say(line);
  }
  if (call_ == Call::kIncoming && now >= next_ring_) Ring();
}

Millis SimModem::NextEvent() const {
  Millis next = INT64_MAX;
  if (held_until_ != 0) next = held_until_;
  if (sim_read_at_ != 0) next = std::min(next, sim_read_at_);
  if (call_ == Call::kIncoming) next = std::min(next, next_ring_);
  return next;
}

// A reset: the call is gone, the settings are back to their defaults, and
// the SIM is read again.
void SimModem::Reset() {
  input_.clear();
  text_entry_ = waking_ = late_next_ = false;
  held_until_ = 0;
  held_.clear();
  held_input_.clear();
  settings_ = DefaultSettings();
  functionality_ = 1;
  call_ = Call::kIdle;
  sim_.PowerCycle();
  for (std::string_view line : profile_.reset_lines) Say(line);
  sim_read_at_ = now_ + kSimReadMs;
  UpdateRegistration();
}

bool SimModem::Registered() const {
  return functionality_ == 1 && sim_.state() == SimCard::State::kReady;
}

// Reports a change of registration to those who asked for it (AT+CREG=1 or 2).
void SimModem::UpdateRegistration() {
  if (registered_ == Registered()) return;
  registered_ = Registered();
  for (int kind = 0; kind < 3; ++kind) {
    int report = settings_.registration_report[kind];
    if (report != 0 && kRegistrationKinds[kind].served)
      Say(RegistrationLine(kRegistrationKinds[kind], report, registered_, false));
  }
}

std::string SimModem::ReceiveStorage() const {
  return profile_.receive_storage.empty() ? settings_.storages[2]
                                          : std::string(profile_.receive_storage);
}

// ---- Settings and queries ----

SimModem::Result SimModem::Acknowledge(const std::string&) { return Ok(); }

SimModem::Result SimModem::SetEcho(const std::string& args) {
  if (args != "" && args != "0" && args != "1") return Error(0);
  settings_.echo = args == "1";
  return Ok();
}

SimModem::Settings SimModem::DefaultSettings() const {
  Settings defaults;
  defaults.voice_hangup = profile_.ath_ends_voice_call ? 0 : 1;
  return defaults;
}

SimModem::Result SimModem::Defaults(const std::string&) {
  settings_ = DefaultSettings();
  return Ok();
}

// AT+NAME=n, AT+NAME? and AT+NAME=? of a setting from 0 to largest.
SimModem::Result SimModem::Setting(std::string_view name, const std::string& args, int* value,
                                   int largest) {
  std::string prefix = std::string(name) + ": ";
  if (args == "=?") return Say(prefix + "(0-" + std::to_string(largest) + ")"), Ok();
  if (args == "?") return Say(prefix + std::to_string(*value)), Ok();
  std::optional<int> wanted = Number(args.starts_with("=") ? args.substr(1) : "");
  if (!wanted || *wanted < 0 || *wanted > largest) return Error(0);
  *value = *wanted;
  return Ok();
}

SimModem::Result SimModem::SetErrors(const std::string& args) {
  return Setting("+CMEE", args, &settings_.numeric_errors, 2);
}

SimModem::Result SimModem::SetClip(const std::string& args) {
  return Setting("+CLIP", args, &settings_.clip, 1);
}

SimModem::Result SimModem::SetRingFormat(const std::string& args) {
  return Setting("+CRC", args, &settings_.extended_ring, 1);
}

SimModem::Result SimModem::SetMessageFormat(const std::string& args) {
  return Setting("+CMGF", args, &settings_.text_mode, 1);
}

// AT+CNMI=<mode>,<mt>,...: an <mt> of 1 announces stored messages with +CMTI.
SimModem::Result SimModem::SetIndication(const std::string& args) {
  if (args == "=?") return Say("+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)"), Ok();
  if (args == "?")
    return Say("+CNMI: " + std::to_string(settings_.indication_mode) + "," +
               std::to_string(settings_.indication_mt) + ",0,0,0"),
           Ok();
  std::vector<std::string> values = Values(args.substr(args.starts_with("=") ? 1 : args.size()));
  std::optional<int> mode = values.empty() ? std::nullopt : Number(values[0]);
  std::optional<int> mt = values.size() < 2 ? std::optional<int>(0) : Number(values[1]);
  if (!mode || !mt || *mode > 3 || *mt > 3) return Error(0);
  settings_.indication_mode = *mode;
  settings_.indication_mt = *mt;
  return Ok();
}

SimModem::Result SimModem::SetCharset(const std::string& args) {
  if (args == "=?") return Say("+CSCS: (\"IRA\",\"8859-1\")"), Ok();
  if (args == "?") return Say("+CSCS: \"" + settings_.charset + "\""), Ok();
  std::string wanted = Unquoted(args.substr(args.starts_with("=") ? 1 : args.size()));
  if (wanted != "IRA" && wanted != "8859-1") return Error(0);
  settings_.charset = wanted;
  return Ok();
}

SimModem::Result SimModem::Functionality(const std::string& args) {
  if (args == "=?") return Say("+CFUN: (0,1,4),(0-1)"), Ok();
  if (args == "?") return Say("+CFUN: " + std::to_string(functionality_)), Ok();
  std::vector<std::string> values = Values(args.substr(args.starts_with("=") ? 1 : args.size()));
  std::optional<int> level = values.empty() ? std::nullopt : Number(values[0]);
  if (!level || (*level != 0 && *level != 1 && *level != 4)) return Error(0);
  functionality_ = *level;
  UpdateRegistration();
  bool locked =
      sim_.state() == SimCard::State::kPinLocked || sim_.state() == SimCard::State::kPukLocked;
  if (*level == 1 && locked && profile_.radio_on_fails_when_locked) return Error(kCmePinRequired);
  return Ok();
}

SimModem::Result SimModem::Pin(const std::string& args) {
  if (args == "?") {
    constexpr const char* kAnswers[] = {"READY", "", "SIM PIN", "SIM PUK"};
    return Say(std::string("+CPIN: ") + kAnswers[static_cast<int>(sim_.state())]), Ok();
  }
  std::vector<std::string> values = Values(args.substr(args.starts_with("=") ? 1 : args.size()));
  if (values.empty() || values.size() > 2) return Error(0);
  int failure = sim_.Enter(values[0], values.size() == 2 ? values[1] : "");
  printf(failure == 0 ? "the SIM is unlocked\n" : "the SIM refused %s\n", values[0].c_str());
  UpdateRegistration();
  return failure == 0 ? Ok() : Error(failure);
}

// AT+CLCK="SC",2: whether the SIM asks for its PIN; no lock is changed here.
SimModem::Result SimModem::Facility(const std::string& args) {
  if (args == "=?") return Say("+CLCK: (\"SC\")"), Ok();
  std::vector<std::string> values = Values(args.substr(args.starts_with("=") ? 1 : args.size()));
  if (values.size() != 2 || values[0] != "SC" || values[1] != "2") return Error(kCmeNotAllowed);
  return Say(sim_.AsksForPin() ? "+CLCK: 1" : "+CLCK: 0"), Ok();
}

SimModem::Result SimModem::Identity(const std::string& args, std::string_view value) {
  if (args == "=?") return Ok();
  if (!args.empty()) return Error(0);
  return Say(value), Ok();
}

SimModem::Result SimModem::Identify(const std::string& args) {
  if (!args.empty() && args != "0") return Error(0);
  SayLines({std::string(profile_.manufacturer), std::string(profile_.model),
            "Revision: " + std::string(profile_.revision)});
  return Ok();
}

SimModem::Result SimModem::Manufacturer(const std::string& args) {
  return Identity(args, profile_.manufacturer);
}
SimModem::Result SimModem::Model(const std::string& args) { return Identity(args, profile_.model); }
SimModem::Result SimModem::Revision(const std::string& args) {
  return Identity(args, profile_.revision);
}
SimModem::Result SimModem::Imei(const std::string& args) { return Identity(args, kImei); }
SimModem::Result SimModem::Imsi(const std::string& args) { return Identity(args, kImsi); }
SimModem::Result SimModem::Capabilities(const std::string& args) {
  return Identity(args, "+GCAP: +CGSM");
}

SimModem::Result SimModem::CircuitRegistration(const std::string& args) {
  return Registration(0, args);
}
SimModem::Result SimModem::PacketRegistration(const std::string& args) {
  return Registration(1, args);
}
SimModem::Result SimModem::EpsRegistration(const std::string& args) {
  return Registration(2, args);
}

SimModem::Result SimModem::Registration(int kind, const std::string& args) {
  const RegistrationKind& known = kRegistrationKinds[kind];
  int& report = settings_.registration_report[kind];
  if (args != "?") return Setting(known.name, args, &report, 2);
  return Say(RegistrationLine(known, report, registered_, true)), Ok();
}

// Automatic selection only; AT+COPS=3,<format> chooses how AT+COPS? names it.
SimModem::Result SimModem::Operator(const std::string& args) {
  int& format = settings_.operator_format;
  if (args == "?")
    return Say(registered_
                   ? "+COPS: 0," + std::to_string(format) + ",\"" + kOperator[format] + "\",0"
                   : "+COPS: 0"),
           Ok();
  if (args == "=?")
    return Say(std::string("+COPS: (2,\"") + kOperator[0] + "\",\"" + kOperator[1] + "\",\"" +
               kOperator[2] + "\",0),,(0-4),(0-2)"),
           Ok();
  std::vector<std::string> values = Values(args.substr(args.starts_with("=") ? 1 : args.size()));
  std::optional<int> wanted = values.size() < 2 ? std::optional<int>(format) : Number(values[1]);
  if (values.empty() || (values[0] != "0" && values[0] != "3")) return Error(kCmeNotAllowed);
  if (!wanted || *wanted < 0 || *wanted > 2) return Error(0);
  format = *wanted;
  return Ok();
}

SimModem::Result SimModem::SignalQuality(const std::string& args) {
  if (args == "=?") return Say("+CSQ: (0-31,99),(0-7,99)"), Ok();
  return Say(registered_ ? "+CSQ: 20,99" : "+CSQ: 99,99"), Ok();
}

SimModem::Result SimModem::Indicators(const std::string& args) {
  if (args == "=?")
    return Say("+CIND: (\"battchg\",(0-5)),(\"signal\",(0-5)),(\"service\",(0,1)),"
               "(\"call\",(0,1)),(\"roam\",(0,1)),(\"smsfull\",(0,1))"),
           Ok();
  if (args != "?") return Error(0);
  bool full = store_.Used(ReceiveStorage()) == static_cast<int>(store_.In(ReceiveStorage()).size());
  return Say(std::string("+CIND: 5,") + (registered_ ? "4" : "0") + "," +
             (registered_ ? "1" : "0") + "," + (call_ == Call::kActive ? "1" : "0") + ",0," +
             (full ? "1" : "0")),
         Ok();
}

// ---- Calls ----

SimModem::Result SimModem::Dial(const std::string& args) {
  if (!args.ends_with(";") || args.size() < 2 || call_ != Call::kIdle) return Error(kCmeNotAllowed);
  if (!registered_) return Final("NO CARRIER");
  caller_ = args.substr(0, args.size() - 1);
  call_ = Call::kDialled;
  call_incoming_ = false;
  return Ok();
}

SimModem::Result SimModem::AnswerCall(const std::string&) {
  if (call_ != Call::kIncoming) return Final("NO CARRIER");
  call_ = Call::kActive;
  call_up_since_ = now_;
  return Ok();
}

SimModem::Result SimModem::SetVoiceHangUp(const std::string& args) {
  return Setting("+CVHU", args, &settings_.voice_hangup, 1);
}

SimModem::Result SimModem::HangUp(const std::string& args) {
  if (settings_.voice_hangup == 1 && call_ != Call::kIdle) {
    puts("ATH leaves the voice call up");
    return Ok();
  }
  return HangUpVoice(args);
}

SimModem::Result SimModem::HangUpVoice(const std::string&) {
  call_ = Call::kIdle;
  return Ok();
}

// +CLCC: <id>,<dir>,<stat>,<mode>,<mpty>,"<number>",<type> for the one call there can be.
SimModem::Result SimModem::ListCalls(const std::string& args) {
  if (args == "=?") return Ok();
  if (call_ == Call::kIdle) return Ok();
  constexpr const char* kStates[] = {"", "4", "3", "0"};  // incoming, alerting, active
  std::string type = caller_.empty() ? "128" : caller_[0] == '+' ? "145" : "129";
  Say("+CLCC: 1," + std::string(call_incoming_ ? "1," : "0,") + kStates[static_cast<int>(call_)] +
      ",0,0,\"" + caller_ + "\"," + type);
  return Ok();
}

SimModem::Result SimModem::Tone(const std::string& args) {
  std::string tone = Unquoted(args);
  if (tone.empty()) return Error(0);
  if (call_ != Call::kActive) return Error(kCmeNotAllowed);
  printf("DTMF %s\n", tone.c_str());
  return Ok();
}

void SimModem::Ring() {
  Say(settings_.extended_ring != 0 ? "+CRING: VOICE" : "RING");
  if (settings_.clip != 0)
    Say(caller_.empty() ? "+CLIP: \"\",128,,,,1"
                        : "+CLIP: \"" + caller_ + "\"," + (caller_[0] == '+' ? "145" : "129"));
  next_ring_ = now_ + kRingMs;
}

// The far end has gone: the call ends with the profile's report, or with none.
void SimModem::EndCall(bool silently) {
  bool was_up = call_ == Call::kActive;
  call_ = Call::kIdle;
  if (silently) return;
  if (profile_.call_end == CallEndReport::kNoCarrier) return Say("NO CARRIER");
  Millis up = was_up ? (now_ - call_up_since_) / 1000 : 0;
  char duration[16];
  snprintf(duration, sizeof duration, "%02d%02d%02d", static_cast<int>(up / 3600 % 100),
           static_cast<int>(up / 60 % 60), static_cast<int>(up % 60));
  Say(std::string("VOICE CALL: END: ") + duration);
}

// ---- Messages ----

// AT+CPMS="mem1"[,"mem2"[,"mem3"]]: storages for reading, writing and
// receiving, each answered with its used and total slots.
SimModem::Result SimModem::Storages(const std::string& args) {
  const auto& s = settings_.storages;
  auto count = [&](const std::string& storage) {
    return std::to_string(store_.Used(storage)) + "," + std::to_string(store_.In(storage).size());
  };
  if (args == "=?") return Say("+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")"), Ok();
  if (args == "?") {
    std::string line = "+CPMS: ";
    for (int i = 0; i < 3; ++i) line += (i ? ",\"" : "\"") + s[i] + "\"," + count(s[i]);
    return Say(line), Ok();
  }
  std::vector<std::string> wanted = Values(args.substr(args.starts_with("=") ? 1 : args.size()));
  if (wanted.empty() || wanted.size() > 3) return Error(0);
  for (const std::string& storage : wanted)
    if (!MessageStore::Known(storage)) return Error(302);
  std::copy(wanted.begin(), wanted.end(), settings_.storages);
  return Say("+CPMS: " + count(s[0]) + "," + count(s[1]) + "," + count(s[2])), Ok();
}

// The lines of one message after its header's start ("+CMGR: " or
// "+CMGL: <index>,"), in the message format chosen; reading it out marks
// it read.
std::vector<std::string> SimModem::ShowMessage(const std::string& header, StoredMessage& message) {
  int stat = std::exchange(message.stat, 1);
  if (settings_.text_mode == 0)
    return {header + std::to_string(stat) + ",," + std::to_string(TpduLength(message.pdu)),
            message.pdu};
  std::string why;
  std::optional<SmsDeliver> shown = DecodeDeliver(message.pdu, &why);
  if (!shown) {
    printf("stored PDU unreadable (%s): %s\n", why.c_str(), message.pdu.c_str());
    return {header + "\"" + kStatNames[stat] + "\",\"\",,\"\"", ""};
  }
  return {header + "\"" + kStatNames[stat] + "\",\"" +
              InCharset(Latin1ToCodePoints(shown->sender), settings_.charset) + "\",,\"" +
              TextStamp(shown->stamp) + "\"",
          InCharset(shown->text, settings_.charset)};
}

SimModem::Result SimModem::ReadMessage(const std::string& args) {
  std::optional<int> index = Number(args);
  StoredMessage* message = index ? store_.At(settings_.storages[0], *index) : nullptr;
  if (message == nullptr) return Error(kCmsInvalidIndex);
  SayLines(ShowMessage("+CMGR: ", *message));
  return Ok();
}

// AT+CMGL=<stat>: 0 to 3, or 4 for all, in PDU mode; "REC UNREAD"... or
// "ALL" in text mode. Without one, the unread messages.
SimModem::Result SimModem::ListMessages(const std::string& args) {
  std::string wanted = Unquoted(args.starts_with("=") ? args.substr(1) : args);
  if (wanted == "?")
    return Say(settings_.text_mode
                   ? "+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")"
                   : "+CMGL: (0-4)"),
           Ok();
  std::optional<int> stat = wanted.empty() ? std::optional<int>(0) : std::nullopt;
  for (int i = 0; i <= kAllStats && !stat; ++i)
    if (settings_.text_mode ? wanted == (i == kAllStats ? "ALL" : kStatNames[i])
                            : wanted == std::to_string(i))
      stat = i;
  if (!stat) return Error(settings_.text_mode ? 305 : kCmsInvalidPdu);
  std::vector<std::string> lines;
  MessageStore::Slots& slots = store_.In(settings_.storages[0]);
  for (size_t i = 0; i < slots.size(); ++i) {
    if (!slots[i] || (*stat != kAllStats && slots[i]->stat != *stat)) continue;
    std::vector<std::string> shown =
        ShowMessage("+CMGL: " + std::to_string(i + 1) + ",", *slots[i]);
    lines.insert(lines.end(), shown.begin(), shown.end());
  }
  if (!lines.empty()) SayLines(lines);
  return Ok();
}

// AT+CMGS=<length> in PDU mode, AT+CMGS="<number>" in text mode: the
// prompt, then the PDU or the text up to Ctrl-Z (ESC cancels).
SimModem::Result SimModem::StartSending(const std::string& args) {
  if (settings_.text_mode) {
    std::vector<std::string> values = Values(args);
    if (values.empty() || values[0].empty()) return Error(0);
    recipient_ = values[0];
  } else {
    std::optional<int> length = Number(args);
    if (!length || *length < 1 || *length > kMaxTpduLength) return Error(kCmsInvalidPdu);
    pdu_length_ = *length;
  }
  entry_.clear();
  entry_overflow_ = false;
  text_entry_ = true;
  Send("\r\n> ", ">> > \n");
  return Later();
}

void SimModem::EndTextEntry(bool send) {
  text_entry_ = false;
  if (!send) {
    puts("message cancelled");
    return Say("OK");
  }
  Result sent = entry_overflow_       ? Error(settings_.text_mode ? 305 : kCmsInvalidPdu)
                : settings_.text_mode ? SendText()
                                      : SendPdu();
  if (sent.kind == Result::kOk) Say("+CMGS: " + std::to_string(++message_reference_ % 256));
  Finish(sent.kind == Result::kOk ? Final("OK") : sent, Errors::kCms);
}

SimModem::Result SimModem::SendText() {
  printf("sent to %s: %s\n", recipient_.c_str(),
         CodePointsToUtf8(Latin1ToCodePoints(entry_)).c_str());
  return Ok();
}

SimModem::Result SimModem::SendPdu() {
  std::string why = "its length is not the one announced";
  std::optional<SmsSubmit> submit = DecodeSubmit(entry_, &why);
  if (!submit || TpduLength(entry_) != pdu_length_) {
    printf("PDU refused (%s): %s\n", why.c_str(), entry_.c_str());
    return Error(kCmsInvalidPdu);
  }
  std::string part;
  if (submit->part.total > 1)
    part = " (part " + std::to_string(submit->part.number) + " of " +
           std::to_string(submit->part.total) + ", reference " +
           std::to_string(submit->part.reference) + ")";
  printf("sent to %s%s: %s\n", submit->recipient.c_str(), part.c_str(),
         CodePointsToUtf8(submit->text).c_str());
  return Ok();
}

// AT+CMGD=<index>[,<flag>]: flag 1 to 3 deletes every message read, 4 every one.
SimModem::Result SimModem::DeleteMessage(const std::string& args) {
  std::vector<std::string> values = Values(args);
  std::optional<int> index = values.empty() ? std::nullopt : Number(values[0]);
  std::optional<int> flag = values.size() < 2 ? std::optional<int>(0) : Number(values[1]);
  if (!index || !flag || *flag < 0 || *flag > 4) return Error(kCmsInvalidIndex);
  const std::string& storage = settings_.storages[0];
  if (*flag == 0) return store_.Remove(storage, *index) ? Ok() : Error(kCmsInvalidIndex);
  for (auto& slot : store_.In(storage))
    if (slot && (*flag == 4 || slot->stat == 1)) slot.reset();
  return Ok();
}
