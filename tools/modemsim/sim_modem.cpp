#include "sim_modem.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr size_t kSimSlots = 20;  // indexed from 1, as most SIMs are
constexpr Millis kRingMs = 3000;
constexpr size_t kMaxInput = 1024;
constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
constexpr const char* kHidden = "hidden";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Unquoted(std::string text) {
  std::erase(text, '"');
  return text;
}

// The service centre time stamp of now: "yy/MM/dd,hh:mm:ss+zz", the zone
// in quarters of an hour.
std::string StampNow() {
  time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  char text[32];
  size_t n = strftime(text, sizeof text, "%y/%m/%d,%H:%M:%S", &local);
  long quarters = local.tm_gmtoff / 900;
  snprintf(text + n, sizeof text - n, "%c%02ld", quarters < 0 ? '-' : '+', labs(quarters));
  return text;
}

// The first word and the rest.
std::pair<std::string, std::string> FirstWord(std::string_view text) {
  size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return {std::string(text), ""};
  return {std::string(text.substr(0, blank)), std::string(text.substr(blank + 1))};
}

}  // namespace

// Longer prefixes before the shorter ones they begin with.
const SimModem::AtCommand SimModem::kAtCommands[] = {
    {"AT+CMEE=", &SimModem::SetErrors},     {"AT+CLIP=", &SimModem::SetClip},
    {"AT+CRC=", &SimModem::SetRingFormat},  {"AT+CNMI=", &SimModem::SetIndication},
    {"AT+CFUN=", &SimModem::Acknowledge},   {"AT+CMGF=", &SimModem::Acknowledge},
    {"AT+CSCS=", &SimModem::Acknowledge},   {"AT+CMGR=", &SimModem::ReadMessage},
    {"AT+CMGL", &SimModem::ListMessages},   {"AT+CMGS=", &SimModem::StartSending},
    {"AT+CMGD=", &SimModem::DeleteMessage}, {"AT+CHUP", &SimModem::HangUp},
    {"ATE", &SimModem::SetEcho},            {"ATD", &SimModem::Dial},
    {"ATA", &SimModem::AnswerCall},         {"ATH", &SimModem::HangUp},
};

const SimModem::ConsoleCommand SimModem::kConsoleCommands[] = {
    {"call", "call NUMBER|hidden   an incoming call", &SimModem::IncomingCall},
    {"answer", "answer               the far end answers the call dialled",
     &SimModem::FarEndAnswers},
    {"hangup", "hangup               the far end hangs up", &SimModem::FarEndHangsUp},
    {"busy", "busy                 the far end of the call dialled is busy",
     &SimModem::FarEndBusy},
    {"sms", "sms NUMBER TEXT      an incoming message", &SimModem::IncomingMessage},
    {"simfull", "simfull              fill every free slot of the SIM", &SimModem::FillSim},
    {"fail", "fail next            the next AT command fails", &SimModem::FailNext},
    {"wait", "wait SECONDS         pause the commands that follow", nullptr},
    {"quit", "quit                 end the simulator", nullptr},
    {"help", "help                 this list", &SimModem::Help},
};

SimModem::SimModem(std::function<void(std::string_view)> to_line)
    : to_line_(std::move(to_line)), sim_(kSimSlots) {}

// ---- The AT port ----

void SimModem::FromLine(std::string_view bytes) {
  for (char c : bytes) {
    if (text_entry_) {
      if (c == kCtrlZ || c == kEsc) EndTextEntry(c == kCtrlZ);
      else entry_ += c;
    } else if (c == '\r') {
      if (echo_) to_line_(input_ + "\r");
      std::string line;
      line.swap(input_);
      RunLine(line);
    } else if (c != '\n' && input_.size() < kMaxInput) {
      input_ += c;
    }
  }
}

void SimModem::RunLine(const std::string& line) {
  size_t at = Upper(line).find("AT");
  if (at == std::string::npos) return;  // a modem ignores what comes before AT
  std::string command = line.substr(at);
  std::string upper = Upper(command);
  printf("<< %s\n", command.c_str());
  if (fail_next_) {
    fail_next_ = false;
    Fail(upper.starts_with("AT+CMG"), upper.starts_with("AT+CMG") ? 500 : 100);
    return;
  }
  if (upper == "AT") return Ok();
  for (const AtCommand& known : kAtCommands)
    if (upper.starts_with(known.prefix))
      return (this->*known.run)(command.substr(std::string_view(known.prefix).size()));
  Say("ERROR");
}

void SimModem::Say(std::string_view line) {
  printf(">> %.*s\n", static_cast<int>(line.size()), line.data());
  to_line_("\r\n" + std::string(line) + "\r\n");
}

// Message commands always report +CMS ERROR; the others follow AT+CMEE.
void SimModem::Fail(bool message_command, int code) {
  if (message_command) Say("+CMS ERROR: " + std::to_string(code));
  else if (numeric_errors_) Say("+CME ERROR: " + std::to_string(code));
  else Say("ERROR");
}

SimModem::Slot* SimModem::SlotAt(const std::string& index_text) {
  long index = strtol(index_text.c_str(), nullptr, 10);
  if (index < 1 || index > static_cast<long>(sim_.size())) return nullptr;
  return &sim_[index - 1];
}

void SimModem::Acknowledge(const std::string&) { Ok(); }

void SimModem::SetEcho(const std::string& args) {
  echo_ = args == "1";
  Ok();
}

void SimModem::SetErrors(const std::string& args) {
  numeric_errors_ = args == "1";
  Ok();
}

void SimModem::SetClip(const std::string& args) {
  clip_ = args == "1";
  Ok();
}

void SimModem::SetRingFormat(const std::string& args) {
  extended_ring_ = args == "1";
  Ok();
}

// Only the second value matters here: 1 announces stored messages.
void SimModem::SetIndication(const std::string& args) {
  indication_ = args.find(',') != std::string::npos && args.substr(args.find(',') + 1, 1) == "1";
  Ok();
}

void SimModem::Dial(const std::string& args) {
  if (!args.ends_with(";") || call_ != Call::kIdle) return Fail(false, 3);
  caller_ = args.substr(0, args.size() - 1);
  call_ = Call::kDialled;
  Ok();
}

void SimModem::AnswerCall(const std::string&) {
  if (call_ != Call::kIncoming) return Say("NO CARRIER");
  call_ = Call::kActive;
  Ok();
}

void SimModem::HangUp(const std::string&) {
  call_ = Call::kIdle;
  Ok();
}

void SimModem::ReadMessage(const std::string& args) {
  Slot* slot = SlotAt(args);
  if (slot == nullptr || !slot->used) return Fail(true, 321);
  std::string header = "+CMGR: \"" + slot->stat + "\",\"" + slot->sender + "\",,\"" + slot->stamp + "\"";
  printf(">> %s\n>> %s\n", header.c_str(), slot->text.c_str());
  to_line_("\r\n" + header + "\r\n" + slot->text + "\r\n");
  slot->stat = "REC READ";
  Ok();
}

void SimModem::ListMessages(const std::string& args) {
  std::string wanted = Unquoted(args.substr(args.find('=') + 1));
  std::string listing;
  for (size_t i = 0; i < sim_.size(); ++i) {
    Slot& slot = sim_[i];
    if (!slot.used || (wanted != "ALL" && wanted != slot.stat)) continue;
    std::string header = "+CMGL: " + std::to_string(i + 1) + ",\"" + slot.stat + "\",\"" +
                         slot.sender + "\",,\"" + slot.stamp + "\"";
    printf(">> %s\n>> %s\n", header.c_str(), slot.text.c_str());
    listing += header + "\r\n" + slot.text + "\r\n";
    slot.stat = "REC READ";
  }
  if (!listing.empty()) to_line_("\r\n" + listing);
  Ok();
}

void SimModem::StartSending(const std::string& args) {
  recipient_ = Unquoted(args);
  entry_.clear();
  text_entry_ = true;
  printf(">> > \n");
  to_line_("\r\n> ");
}

void SimModem::EndTextEntry(bool send) {
  text_entry_ = false;
  if (!send) {
    printf("message to %s cancelled\n", recipient_.c_str());
    return Ok();
  }
  printf("sent to %s: %s\n", recipient_.c_str(), entry_.c_str());
  Say("+CMGS: " + std::to_string(++message_reference_ % 256));
  Ok();
}

void SimModem::DeleteMessage(const std::string& args) {
  Slot* slot = SlotAt(args);
  if (slot == nullptr) return Fail(true, 321);
  *slot = Slot();
  Ok();
}

// ---- Calls ringing ----

void SimModem::Ring(Millis now) {
  Say(extended_ring_ ? "+CRING: VOICE" : "RING");
  if (clip_)
    Say(caller_.empty() ? "+CLIP: \"\",128,,,,1"
                        : "+CLIP: \"" + caller_ + "\"," + (caller_[0] == '+' ? "145" : "129"));
  next_ring_ = now + kRingMs;
}

void SimModem::Tick(Millis now) {
  if (call_ == Call::kIncoming && now >= next_ring_) Ring(now);
}

Millis SimModem::NextRing() const { return call_ == Call::kIncoming ? next_ring_ : INT64_MAX; }

// ---- The console ----

void SimModem::Console(std::string_view command, Millis now) {
  auto [name, args] = FirstWord(command);
  for (const ConsoleCommand& known : kConsoleCommands)
    if (name == known.name && known.run != nullptr) return (this->*known.run)(args, now);
  printf("unknown command: %.*s (help lists them)\n", static_cast<int>(command.size()),
         command.data());
}

void SimModem::IncomingCall(std::string_view args, Millis now) {
  if (call_ != Call::kIdle || args.empty()) {
    puts(args.empty() ? "usage: call NUMBER|hidden" : "a call is going on already");
    return;
  }
  caller_ = args == kHidden ? "" : std::string(args);
  call_ = Call::kIncoming;
  Ring(now);
}

void SimModem::FarEndAnswers(std::string_view, Millis) {
  if (call_ != Call::kDialled) {
    printf("no call waits for the far end\n");
    return;
  }
  call_ = Call::kActive;
  printf("the far end answered\n");
}

void SimModem::FarEndHangsUp(std::string_view, Millis) {
  if (call_ == Call::kIdle) {
    printf("no call to hang up\n");
    return;
  }
  call_ = Call::kIdle;
  Say("NO CARRIER");
}

void SimModem::FarEndBusy(std::string_view, Millis) {
  if (call_ != Call::kDialled) {
    printf("no call is being dialled\n");
    return;
  }
  call_ = Call::kIdle;
  Say("BUSY");
}

void SimModem::IncomingMessage(std::string_view args, Millis) {
  auto [sender, text] = FirstWord(args);
  if (sender.empty() || text.empty()) {
    printf("sms needs a number and a text\n");
    return;
  }
  for (size_t i = 0; i < sim_.size(); ++i) {
    if (sim_[i].used) continue;
    sim_[i] = {true, "REC UNREAD", sender, StampNow(), text};
    if (indication_) Say("+CMTI: \"SM\"," + std::to_string(i + 1));
    return;
  }
  printf("SIM full: the message from %s is lost\n", sender.c_str());
}

void SimModem::FillSim(std::string_view, Millis) {
  int filled = 0;
  for (Slot& slot : sim_)
    if (!slot.used) slot = {true, "REC READ", "+10000000000", StampNow(), "filler " + std::to_string(++filled)};
  printf("%i slots filled, the SIM is full\n", filled);
}

void SimModem::FailNext(std::string_view args, Millis) {
  fail_next_ = args == "next";
  puts(fail_next_ ? "the next command fails" : "usage: fail next");
}

void SimModem::Help(std::string_view, Millis) {
  for (const ConsoleCommand& known : kConsoleCommands) printf("%s\n", known.help);
}
