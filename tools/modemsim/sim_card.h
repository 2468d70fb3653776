// The SIM as the modem sees it: inserted or not, locked by its PIN or PUK,
// or busy for a number of commands.
#pragma once

#include <string>
#include <string_view>

class SimCard {
 public:
  enum class State { kReady, kAbsent, kPinLocked, kPukLocked };

  State state() const;
  bool AsksForPin() const { return !pin_.empty(); }
  // A command that touches the SIM while it is busy: true, and one busy
  // command fewer.
  bool TakeBusy();

  void Remove();
  void LockWithPin(std::string pin);  // asked for at once and after each reset
  void LockWithPuk(std::string puk);
  void MakeBusy(int commands) { busy_commands_ = commands; }
  // A reset: a SIM with a PIN asks for it again.
  void PowerCycle();

  // AT+CPIN="code"[,"new pin"]: 0, or the +CME ERROR number. Three wrong
  // PINs lock the SIM with its PUK; the PUK sets a new PIN.
  int Enter(std::string_view code, std::string_view new_pin);

 private:
  static constexpr int kPinTries = 3;

  bool present_ = true;
  std::string pin_;  // empty: the SIM asks for none
  std::string puk_ = "12345678";
  bool pin_entered_ = false;
  bool puk_needed_ = false;
  int pin_tries_ = kPinTries;
  int busy_commands_ = 0;
};
