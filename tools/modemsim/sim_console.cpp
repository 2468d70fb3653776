// The console of the simulator: the network's and the SIM's events.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <utility>

#include "at_syntax.h"
#include "charset.h"
#include "pdu.h"
#include "sim_modem.h"

namespace {

constexpr const char* kHidden = "hidden";

// The first word and the rest; a first word in quotes may hold blanks.
std::pair<std::string, std::string> FirstWord(std::string_view text) {
  bool quoted = text.starts_with('"');
  size_t end = quoted ? text.find('"', 1) : text.find(' ');
  if (end == std::string_view::npos) return {std::string(text.substr(quoted)), ""};
  std::string_view rest = text.substr(end + 1);
  if (quoted && rest.starts_with(' ')) rest.remove_prefix(1);
  return {std::string(text.substr(quoted, end - quoted)), std::string(rest)};
}

// The service centre's time stamp of now, in local time.
SmsTime StampNow() {
  time_t now = time(nullptr);
  tm t;
  localtime_r(&now, &t);
  int zone = static_cast<int>(t.tm_gmtoff / 900);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, zone};
}

}  // namespace

const SimModem::ConsoleCommand SimModem::kConsoleCommands[] = {
    {"call", "call NUMBER|hidden   an incoming call", &SimModem::IncomingCall},
    {"answer", "answer               the far end answers the call dialled",
     &SimModem::FarEndAnswers},
    {"hangup", "hangup [silent]      the far end hangs up (silent: the call ends without a word)",
     &SimModem::FarEndHangsUp},
    {"busy", "busy                 the far end of the call dialled is busy", &SimModem::FarEndBusy},
    {"sms", "sms SENDER TEXT      a message from a number or a name (\"My Bank\" in quotes)",
     &SimModem::IncomingMessage},
    {"parts", "parts N...           the next message in parts comes in this order of parts",
     &SimModem::PartOrder},
    {"simfull", "simfull              fill every free slot of the storage messages go to",
     &SimModem::FillStorage},
    {"fail", "fail next            the next AT command fails", &SimModem::FailNext},
    {"late", "late                 the next AT command is answered 7 s late",
     &SimModem::LateAnswer},
    {"pin", "pin CODE             the SIM asks for PIN CODE (three wrong: for the PUK)",
     &SimModem::PinLocked},
    {"puk", "puk [CODE]           the SIM asks for its PUK (12345678) and a new PIN",
     &SimModem::PukLocked},
    {"nosim", "nosim                no SIM in the modem", &SimModem::NoSim},
    {"simbusy", "simbusy N            the next N commands touching the SIM find it busy",
     &SimModem::SimBusy},
    {"reset", "reset                the modem resets, as its profile's does",
     &SimModem::ResetCommand},
    {"wait", "wait SECONDS         pause the commands that follow", nullptr},
    {"quit", "quit                 end the simulator", nullptr},
    {"help", "help                 this list and the profiles", &SimModem::Help},
};

void SimModem::Console(std::string_view command, Millis now) {
  now_ = now;
  auto [name, args] = FirstWord(command);
  for (const ConsoleCommand& known : kConsoleCommands)
    if (name == known.name && known.run != nullptr) return (this->*known.run)(args);
  printf("unknown command: %.*s (help lists them)\n", static_cast<int>(command.size()),
         command.data());
}

void SimModem::IncomingCall(std::string_view args) {
  if (call_ != Call::kIdle || args.empty()) {
    puts(args.empty() ? "usage: call NUMBER|hidden" : "a call is going on already");
    return;
  }
  caller_ = args == kHidden ? "" : std::string(args);
  call_ = Call::kIncoming;
  call_incoming_ = true;
  Ring();
}

void SimModem::FarEndAnswers(std::string_view) {
  if (call_ != Call::kDialled) {
    puts("no call waits for the far end");
    return;
  }
  call_ = Call::kActive;
  call_up_since_ = now_;
  puts("the far end answered");
}

void SimModem::FarEndHangsUp(std::string_view args) {
  if (call_ == Call::kIdle) {
    puts("no call to hang up");
    return;
  }
  EndCall(args == "silent");
}

void SimModem::FarEndBusy(std::string_view) {
  if (call_ != Call::kDialled) {
    puts("no call is being dialled");
    return;
  }
  call_ = Call::kIdle;
  Say("BUSY");
}

void SimModem::IncomingMessage(std::string_view args) {
  auto [sender, text] = FirstWord(args);
  if (sender.empty() || text.empty()) {
    puts("sms needs a sender and a text");
    return;
  }
  Store(CodePointsToLatin1(Utf8ToCodePoints(sender)), Utf8ToCodePoints(text));
}

// Each part in a slot of its own, announced on its own.
void SimModem::Store(std::string_view sender, std::u32string_view text) {
  std::vector<std::string> parts =
      EncodeDeliver(sender, StampNow(), text, ++concatenation_reference_);
  if (parts.empty()) {
    printf("the message from %.*s cannot be encoded\n", static_cast<int>(sender.size()),
           sender.data());
    return;
  }
  std::vector<int> order;
  if (parts.size() > 1) order = std::exchange(part_order_, {});
  if (order.empty())
    for (size_t i = 1; i <= parts.size(); ++i) order.push_back(static_cast<int>(i));
  std::string storage = ReceiveStorage();
  for (int number : order) {
    if (number < 1 || number > static_cast<int>(parts.size())) continue;
    std::optional<int> index = store_.Add(storage, {0, parts[number - 1]});
    if (!index) {
      printf("%s full: part %i of the message from %.*s is lost\n", storage.c_str(), number,
             static_cast<int>(sender.size()), sender.data());
      continue;
    }
    if (parts.size() > 1) printf("part %i of %zu stored at %i\n", number, parts.size(), *index);
    Announce(storage, *index);
  }
}

void SimModem::Announce(const std::string& storage, int index) {
  if (settings_.indication_mt == 1) Say("+CMTI: \"" + storage + "\"," + std::to_string(index));
}

void SimModem::PartOrder(std::string_view args) {
  std::vector<int> order;
  std::istringstream words{std::string(args)};
  for (std::string word; words >> word;) {
    std::optional<int> number = Number(word);
    if (!number || *number < 1) order.push_back(0);  // spoils the order
    else order.push_back(*number);
  }
  if (order.empty() || std::ranges::count(order, 0) != 0) {
    puts("usage: parts N...");
    return;
  }
  part_order_ = order;
  printf("the next message in parts comes as %zu parts in that order\n", order.size());
}

void SimModem::FillStorage(std::string_view) {
  std::string storage = ReceiveStorage();
  int filled = 0;
  std::string filler = EncodeDeliver("+10000000000", StampNow(), U"filler", 0).front();
  while (store_.Add(storage, {1, filler})) ++filled;
  printf("%i slots filled, %s is full\n", filled, storage.c_str());
}

void SimModem::FailNext(std::string_view args) {
  fail_next_ = args == "next";
  puts(fail_next_ ? "the next command fails" : "usage: fail next");
}

void SimModem::LateAnswer(std::string_view) {
  late_next_ = true;
  puts("the next command is answered 7 s late");
}

void SimModem::PinLocked(std::string_view args) {
  if (args.empty()) {
    puts("usage: pin CODE");
    return;
  }
  sim_.LockWithPin(std::string(args));
  printf("the SIM asks for PIN %.*s\n", static_cast<int>(args.size()), args.data());
  UpdateRegistration();
}

void SimModem::PukLocked(std::string_view args) {
  std::string puk = args.empty() ? "12345678" : std::string(args);
  sim_.LockWithPuk(puk);
  printf("the SIM asks for PUK %s\n", puk.c_str());
  UpdateRegistration();
}

void SimModem::NoSim(std::string_view) {
  sim_.Remove();
  puts("no SIM");
  UpdateRegistration();
}

void SimModem::SimBusy(std::string_view args) {
  std::optional<int> commands = Number(args);
  if (!commands || *commands < 0) {
    puts("usage: simbusy N");
    return;
  }
  sim_.MakeBusy(*commands);
  printf("the SIM is busy for %i commands\n", *commands);
}

void SimModem::ResetCommand(std::string_view) {
  puts("reset");
  Reset();
}

void SimModem::Help(std::string_view) {
  for (const ConsoleCommand& known : kConsoleCommands) puts(known.help);
  puts("profiles (modemsim -p NAME; modemsim(1) tells their quirks):");
  for (const Profile& profile : Profiles())
    printf("  %-8.*s %.*s\n", static_cast<int>(profile.name.size()), profile.name.data(),
           static_cast<int>(profile.summary.size()), profile.summary.data());
}
