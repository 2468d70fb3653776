// The windows a user waits for. To add a program's windows: give its start
// (program path under the build tree, the frame that opens its window if it
// reads frames, the first title) and the touches that lead to each window,
// then add a line per path to TimedCases and per waiting state to IdleCases.
// Coordinates are inside the window; every phone window covers the screen.
#include "cases.h"

namespace bench {
namespace {

const Start kDialer{"dialer/dialer", nullptr, "GetPhoneNr"};
const Start kSmswriter{"smswriter/smswriter", nullptr, "GetPhoneNr"};
const Start kCallNew{"callhandler/callhandler",
                     "\x02\x1f" "call" "\x1f" "new" "\x1f" "+32112233445" "\x1f\x03",
                     "Accept/Reject Call"};
const Start kCallAccepted{"callhandler/callhandler",
                          "\x02\x1f" "call" "\x1f" "accepted" "\x1f" "+32112233445" "\x1f\x03",
                          "Call Menu"};

const Start kSmsRetrieved{"smsreader/smsreader_testdir",
                          "\x02\x1f" "sms" "\x1f" "retrieved" "\x1f" "+32112233445" "\x1f" "7"
                          "\x1f" "31-12-1818" "\x1f" "12:34:56" "\x1f" "hello" "\x1f\x03",
                          "7", {}, "messages"};
const Start kPoweringOn{"notifier/notifier", "\x02\x1f" "gsm" "\x1f" "poweringon" "\x1f\x03",
                        "DisplayMessage"};
// The test build that watches a file of the build tree for the AUX button;
// its first look finds a count it has not seen and opens the menu.
const Start kLauncher{"tests/launcher/launcher_fake_aux", nullptr, "Menu_01", {}, nullptr,
                      "tests/launcher/interrupts", " 50:          1  s3c-ext  AUX\n"};

// Touches on the way.
const Step kToContacts{240, 80, Reaction::kMapped, "Contacts"};
const Step kContactsUp{400, 80, Reaction::kDrawn};
const Step kToKeypad{400, 80, Reaction::kMapped, "ShowKeypad"};
const Step kKeyOne{80, 255, Reaction::kDrawn};
const Step kKeypadOkToText{400, 80, Reaction::kMapped, "9"};
const Step kTextAbc{240, 240, Reaction::kDrawn};
const Step kReject{80, 80, Reaction::kFrame};
const Step kEndCall{80, 80, Reaction::kFrame};
const Step kSpeaker{240, 80, Reaction::kMapped, "Call Menu"};
const Step kToDtmf{400, 80, Reaction::kMapped, "ShowDtmfKeypad"};
const Step kDtmfOne{50, 200, Reaction::kMapped, nullptr};  // the flash
const Step kReply{240, 80, Reaction::kDrawn};  // the text keypad in the message window
const Step kMore{80, 240, Reaction::kMapped, "Menu_02"};

}  // namespace

const std::vector<TimedCase>& TimedCases() {
  static const std::vector<TimedCase> cases = {
      {"GetPhoneNr", kDialer, {}},
      {"Contacts", kDialer, {kToContacts}},
      {"Contacts", kDialer, {kToContacts, kContactsUp}},
      {"ShowKeypad", kDialer, {kToKeypad}},
      {"ShowKeypad", kDialer, {kToKeypad, kKeyOne}},
      {"Accept/Reject Call", kCallNew, {}},
      {"Accept/Reject Call", kCallNew, {kReject}},
      {"Call Menu", kCallAccepted, {}},
      {"Call Menu", kCallAccepted, {kSpeaker}},
      {"Call Menu", kCallAccepted, {kEndCall}},
      {"ShowDtmfKeypad", kCallAccepted, {kToDtmf}},
      {"ShowDtmfKeypad", kCallAccepted, {kToDtmf, kDtmfOne}},
      {"text keypad", kSmswriter, {kToKeypad, kKeypadOkToText}},
      {"text keypad", kSmswriter, {kToKeypad, kKeypadOkToText, kTextAbc}},
      {"message window", kSmsRetrieved, {}},
      {"message window", kSmsRetrieved, {kReply}},
      {"message reply", kSmsRetrieved, {kReply, kTextAbc}},
      {"start-up notice", kPoweringOn, {}},
      {"Menu_01", kLauncher, {}},
      {"Menu_02", kLauncher, {kMore}},
  };
  return cases;
}

const std::vector<IdleCase>& IdleCases() {
  static const std::vector<IdleCase> cases = {
      {"callhandler, reading frames", {kCallNew.program, nullptr, nullptr}, {}, false},
      {"Accept/Reject Call (child)", kCallNew, {}, true},
      {"Call Menu (callhandler child)", kCallAccepted, {}, true},
      {"ShowDtmfKeypad (callhandler child)", kCallAccepted, {kToDtmf}, true},
      {"dialer: GetPhoneNr", kDialer, {}, false},
      {"dialer: Contacts", kDialer, {kToContacts}, false},
      {"dialer: ShowKeypad", kDialer, {kToKeypad}, false},
      {"smswriter: text keypad", kSmswriter, {kToKeypad, kKeypadOkToText}, false},
      {"smswriter: text keypad counting a pause", kSmswriter,
       {kToKeypad, kKeypadOkToText, kTextAbc}, false, true},
      {"smsreader, reading frames", {kSmsRetrieved.program, nullptr, nullptr, {}, "messages"},
       {}, false},
      {"smsreader: message window (child)", kSmsRetrieved, {}, true},
      {"notifier, reading frames", {kPoweringOn.program, nullptr, nullptr}, {}, false},
      {"launcher, watching the AUX line", kLauncher, {}, false},
      {"launcher: Menu_01 (child)", kLauncher, {}, true},
  };
  return cases;
}

}  // namespace bench
