// A GSM modem as its AT port shows it: the call and text-message commands
// in text mode, a SIM store of a fixed number of slots, and the events of
// the network (calls, messages, the far end) that the console brings in.
// Every line received and sent is echoed on standard output as "<< " and
// ">> ".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using Millis = int64_t;

class SimModem {
 public:
  // to_line writes bytes to the AT port.
  explicit SimModem(std::function<void(std::string_view)> to_line);

  // Bytes the AT port received.
  void FromLine(std::string_view bytes);
  // One console command ("call +3211...", "sms ...", "help"...).
  void Console(std::string_view command, Millis now);
  // An incoming call rings again when its time has come.
  void Tick(Millis now);
  Millis NextRing() const;

 private:
  struct Slot {
    bool used = false;
    std::string stat, sender, stamp, text;
  };
  enum class Call { kIdle, kIncoming, kDialled, kActive };
  struct AtCommand {
    const char* prefix;
    void (SimModem::*run)(const std::string& args);
  };
  struct ConsoleCommand {
    const char* name;
    const char* help;
    void (SimModem::*run)(std::string_view args, Millis now);
  };
  static const AtCommand kAtCommands[];
  static const ConsoleCommand kConsoleCommands[];

  void RunLine(const std::string& line);
  void Say(std::string_view line);
  void Ok() { Say("OK"); }
  void Fail(bool message_command, int code);
  void Ring(Millis now);
  Slot* SlotAt(const std::string& index_text);

  // AT commands
  void Acknowledge(const std::string& args);
  void SetEcho(const std::string& args);
  void SetErrors(const std::string& args);
  void SetClip(const std::string& args);
  void SetRingFormat(const std::string& args);
  void SetIndication(const std::string& args);
  void Dial(const std::string& args);
  void AnswerCall(const std::string& args);
  void HangUp(const std::string& args);
  void ReadMessage(const std::string& args);
  void ListMessages(const std::string& args);
  void StartSending(const std::string& args);
  void DeleteMessage(const std::string& args);
  void EndTextEntry(bool send);

  // Console commands
  void IncomingCall(std::string_view args, Millis now);
  void FarEndAnswers(std::string_view args, Millis now);
  void FarEndHangsUp(std::string_view args, Millis now);
  void FarEndBusy(std::string_view args, Millis now);
  void IncomingMessage(std::string_view args, Millis now);
  void FillSim(std::string_view args, Millis now);
  void FailNext(std::string_view args, Millis now);
  void Help(std::string_view args, Millis now);

  std::function<void(std::string_view)> to_line_;
  std::string input_;
  bool text_entry_ = false;
  std::string recipient_, entry_;

  bool echo_ = true;
  bool numeric_errors_ = false;
  bool clip_ = false;
  bool extended_ring_ = false;
  bool indication_ = false;
  bool fail_next_ = false;
  int message_reference_ = 0;
  std::vector<Slot> sim_;

  Call call_ = Call::kIdle;
  std::string caller_;  // empty: withheld
  Millis next_ring_ = 0;
};
