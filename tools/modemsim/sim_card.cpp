#include "sim_card.h"

namespace {

constexpr int kOperationNotAllowed = 3;
constexpr int kNoSim = 10;
constexpr int kIncorrectPassword = 16;

}  // namespace

SimCard::State SimCard::state() const {
  if (!present_) return State::kAbsent;
  if (puk_needed_) return State::kPukLocked;
  if (!pin_.empty() && !pin_entered_) return State::kPinLocked;
  return State::kReady;
}

bool SimCard::TakeBusy() {
  if (busy_commands_ == 0) return false;
  --busy_commands_;
  return true;
}

void SimCard::Remove() { present_ = false; }

void SimCard::LockWithPin(std::string pin) {
  *this = SimCard();
  pin_ = std::move(pin);
}

void SimCard::LockWithPuk(std::string puk) {
  *this = SimCard();
  puk_ = std::move(puk);
  puk_needed_ = true;
}

void SimCard::PowerCycle() {
  pin_entered_ = false;
  busy_commands_ = 0;
}

int SimCard::Enter(std::string_view code, std::string_view new_pin) {
  switch (state()) {
    case State::kAbsent: return kNoSim;
    case State::kReady: return kOperationNotAllowed;
    case State::kPinLocked:
      if (code == pin_) {
        pin_entered_ = true;
        pin_tries_ = kPinTries;
        return 0;
      }
      puk_needed_ = --pin_tries_ == 0;
      return kIncorrectPassword;
    case State::kPukLocked:
      if (code != puk_ || new_pin.empty()) return kIncorrectPassword;
      pin_ = new_pin;
      pin_entered_ = true;
      puk_needed_ = false;
      pin_tries_ = kPinTries;
      return 0;
  }
  return kOperationNotAllowed;
}
