// A GSM modem as its AT port shows it: calls, text messages in PDU and text
// mode kept in the SIM's and the modem's storages, the queries a modem
// stack makes, and the events of the network and the SIM (calls, messages,
// a locked or busy SIM, a reset) that the console brings in, all played the
// way the chosen profile's modem plays them. Every command received and
// line sent is traced on standard output as "<< " and ">> ".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "message_store.h"
#include "profiles.h"
#include "sim_card.h"

class SimModem {
 public:
  // to_line writes bytes to the AT port.
  SimModem(const Profile& profile, std::function<void(std::string_view)> to_line);

  // Bytes the AT port received.
  void FromLine(std::string_view bytes, Millis now);
  // One console command ("call +3211...", "sms ...", "help"...), UTF-8.
  void Console(std::string_view command, Millis now);
  // Rings, a late answer and a SIM read after a reset, when their time has come.
  void Tick(Millis now);
  // When Tick has something to do next (INT64_MAX: nothing).
  Millis NextEvent() const;

 private:
  // What a command ends with.
  struct Result {
    enum Kind { kOk, kError, kFinal, kLater } kind = kOk;
    int code = 0;      // kError: the +CME / +CMS number; 0 a plain ERROR
    std::string line;  // kFinal: a result code of its own, such as NO CARRIER
  };
  enum class Errors { kCme, kCms };  // how a command reports its errors
  // kTouches: a missing or busy SIM fails the command; kUnlocked: a locked one too.
  enum class SimUse { kNone, kTouches, kUnlocked };
  struct AtCommand {
    const char* prefix;
    Result (SimModem::*run)(const std::string& args);
    Errors errors = Errors::kCme;
    SimUse sim = SimUse::kNone;
  };
  struct ConsoleCommand {
    const char* name;
    const char* help;
    void (SimModem::*run)(std::string_view args);
  };
  // The settings a reset or ATZ puts back (DefaultSettings).
  struct Settings {
    bool echo = true;
    int numeric_errors = 0;
    int clip = 0;
    int extended_ring = 0;
    int indication_mode = 0, indication_mt = 0;
    int text_mode = 1;
    std::string charset = "IRA";
    int operator_format = 0;  // long name, short name, number
    int voice_hangup = 0;     // 1: ATH leaves a voice call up (AT+CVHU)
    int registration_report[3] = {0, 0, 0};
    std::string storages[3] = {"SM", "SM", "SM"};  // read, write, receive
  };
  enum class Call { kIdle, kIncoming, kDialled, kActive };
  struct Held {
    std::string bytes, trace;
  };
  static const AtCommand kAtCommands[];
  static const ConsoleCommand kConsoleCommands[];

  static Result Ok() { return {}; }
  static Result Error(int code) { return {Result::kError, code, ""}; }
  static Result Final(std::string line) { return {Result::kFinal, 0, std::move(line)}; }
  static Result Later() { return {Result::kLater, 0, ""}; }

  // The port
  void TakeByte(char c);
  bool WakesUp(const std::string& line);
  void RunLine(const std::string& line);
  Result RunCommand(const std::string& command);
  Result SimGate(const AtCommand& command, const std::string& upper);
  void Finish(const Result& result, Errors errors);
  void Say(std::string_view line);
  void SayLines(const std::vector<std::string>& lines);
  void Send(std::string bytes, std::string trace);
  void Release();
  void Reset();
  Settings DefaultSettings() const;
  void UpdateRegistration();
  bool Registered() const;
  std::string ReceiveStorage() const;
  void Ring();
  void EndCall(bool silently);

  // AT commands: settings and queries
  Result Acknowledge(const std::string& args);
  Result SetEcho(const std::string& args);
  Result Defaults(const std::string& args);
  Result SetErrors(const std::string& args);
  Result SetClip(const std::string& args);
  Result SetRingFormat(const std::string& args);
  Result SetIndication(const std::string& args);
  Result SetMessageFormat(const std::string& args);
  Result SetCharset(const std::string& args);
  Result SetVoiceHangUp(const std::string& args);
  Result Facility(const std::string& args);
  Result Functionality(const std::string& args);
  Result Pin(const std::string& args);
  Result Identify(const std::string& args);
  Result Manufacturer(const std::string& args);
  Result Model(const std::string& args);
  Result Revision(const std::string& args);
  Result Imei(const std::string& args);
  Result Imsi(const std::string& args);
  Result Capabilities(const std::string& args);
  Result CircuitRegistration(const std::string& args);
  Result PacketRegistration(const std::string& args);
  Result EpsRegistration(const std::string& args);
  Result Registration(int kind, const std::string& args);
  Result Operator(const std::string& args);
  Result SignalQuality(const std::string& args);
  Result Indicators(const std::string& args);
  Result Setting(std::string_view name, const std::string& args, int* value, int largest);
  Result Identity(const std::string& args, std::string_view value);
  // AT commands: calls
  Result Dial(const std::string& args);
  Result AnswerCall(const std::string& args);
  Result HangUp(const std::string& args);
  Result HangUpVoice(const std::string& args);
  Result ListCalls(const std::string& args);
  Result Tone(const std::string& args);
  // AT commands: messages
  Result Storages(const std::string& args);
  Result ReadMessage(const std::string& args);
  Result ListMessages(const std::string& args);
  Result StartSending(const std::string& args);
  Result DeleteMessage(const std::string& args);
  std::vector<std::string> ShowMessage(const std::string& header, StoredMessage& message);
  void EndTextEntry(bool send);
  Result SendPdu();
  Result SendText();

  // Console commands
  void IncomingCall(std::string_view args);
  void FarEndAnswers(std::string_view args);
  void FarEndHangsUp(std::string_view args);
  void FarEndBusy(std::string_view args);
  void IncomingMessage(std::string_view args);
  void PartOrder(std::string_view args);
  void FillStorage(std::string_view args);
  void FailNext(std::string_view args);
  void LateAnswer(std::string_view args);
  void PinLocked(std::string_view args);
  void PukLocked(std::string_view args);
  void NoSim(std::string_view args);
  void SimBusy(std::string_view args);
  void ResetCommand(std::string_view args);
  void Help(std::string_view args);
  void Store(std::string_view sender, std::u32string_view text);
  void Announce(const std::string& storage, int index);

  const Profile& profile_;
  std::function<void(std::string_view)> to_line_;
  Millis now_ = 0;

  std::string input_;
  bool text_entry_ = false, entry_overflow_ = false;
  std::string recipient_, entry_;
  int pdu_length_ = 0;
  Millis last_activity_ = 0;  // idle since the clock began: asleep, if it sleeps
  bool waking_ = false;       // the line being received woke the modem
  bool late_next_ = false;
  Millis held_until_ = 0;  // 0: nothing held back
  std::vector<Held> held_;
  std::string held_input_;

  Settings settings_;
  int functionality_ = 1;
  bool registered_ = false;
  Millis sim_read_at_ = 0;  // 0: the SIM is read
  bool fail_next_ = false;
  SimCard sim_;
  MessageStore store_;
  int message_reference_ = 0;
  uint8_t concatenation_reference_ = 0;
  std::vector<int> part_order_;

  Call call_ = Call::kIdle;
  bool call_incoming_ = false;
  std::string caller_;  // empty: withheld
  Millis next_ring_ = 0, call_up_since_ = 0;
};
