// The modems modemsim can play: a plain 3GPP modem, and real ones with their
// quirks. A profile is data; the simulator consults it where a modem's
// behaviour differs.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

using Millis = int64_t;

enum class CallEndReport {
  kNoCarrier,     // "NO CARRIER"
  kVoiceCallEnd,  // "VOICE CALL: END: hhmmss", the time the call was up
};

struct Profile {
  std::string_view name{};
  std::string_view summary{};  // one line of help
  std::string_view manufacturer{}, model{}, revision{};
  // Idle time before deep sleep (0: never sleeps). The command line that
  // wakes the modem is lost, unless it is a lone "AT".
  Millis sleeps_after = 0;
  // AT+CFUN=1 on a PIN-locked SIM turns the radio on and still answers
  // +CME ERROR: 11.
  bool radio_on_fails_when_locked = false;
  // Command prefixes that wait for an unlocked SIM besides the message ones.
  std::vector<std::string_view> need_unlocked_sim{};
  // Where new messages are stored and announced whatever AT+CPMS chose
  // (empty: its third storage).
  std::string_view receive_storage{};
  // Read messages already on the SIM, as a used phone's SIM has.
  int old_sim_messages = 0;
  std::vector<std::string_view> reset_lines{};  // said at once by a reset
  std::vector<std::string_view> ready_lines{};  // said when the SIM is read after it
  // Message commands answer +CMS ERROR: 314 until the SIM is read.
  bool messages_wait_for_sim = false;
  // ATH ends a voice call until AT+CVHU=1 (SIMCom's default) says otherwise.
  bool ath_ends_voice_call = true;
  CallEndReport call_end = CallEndReport::kNoCarrier;
};

std::span<const Profile> Profiles();  // the plain modem first
const Profile* FindProfile(std::string_view name);
