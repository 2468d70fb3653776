#include "menu_table.h"

namespace {

constexpr MenuCell Close(const char* label) {
  return {{"", "", label, "", ""}, MenuAction::kClose, nullptr};
}

constexpr MenuCell Script(const char* label, const char* command) {
  return {{"", "", label, "", ""}, MenuAction::kRunScript, command};
}

// The application slots of Menu_02: "Start" or "Stop", "App", the slot.
constexpr MenuCell AppSlot(const char* verb, const char* slot, const char* command) {
  return {{verb, "", "App", "", slot}, MenuAction::kRunScript, command};
}

}  // namespace

// The profile scripts write their notify frame into the notifier's pipe.
const MenuTable kMenu01Table = {
    "Menu_01",
    {
        Close("Exit"),
        {{"", "", "Shutdown", "", ""}, MenuAction::kOpenShutdownMenu, nullptr},
        Script("Suspend", "~/gta02/scripts/suspend.sh &"),
        {{"", "", "More", "", ""}, MenuAction::kOpenMenu02, nullptr},
        Script("on", "~/gta02/scripts/start.sh </dev/null >/dev/null &"),
        Script("off", "~/gta02/scripts/stop.sh &"),
        Script("Silent", "~/gta02/scripts/profile0.sh > ~/gta02/notify/NotifyPipe &"),
        Script("Vibrate", "~/gta02/scripts/profile1.sh > ~/gta02/notify/NotifyPipe &"),
        {{"Vibrate", "", "and", "", "Ring"},
         MenuAction::kRunScript,
         "~/gta02/scripts/profile2.sh > ~/gta02/notify/NotifyPipe &"},
        {{"", "Write", "", "", "SMS"}, MenuAction::kRunScript, "~/gta02/scripts/write_sms.sh &"},
        Script("Dial", "~/gta02/scripts/dial.sh &"),
        {{"", "Read", "", "SMS", ""}, MenuAction::kRunScript, "~/gta02/scripts/read_sms.sh &"},
    },
};

// "More" leads nowhere further: it closes like "Exit".
const MenuTable kMenu02Table = {
    "Menu_02",
    {
        Close("Exit"),
        AppSlot("Start", "_0201", "~/gta02/scripts/start_0201.sh &"),
        AppSlot("Start", "_0202", "~/gta02/scripts/start_0202.sh &"),
        Close("More"),
        AppSlot("Stop", "_0201", "~/gta02/scripts/stop_0201.sh &"),
        AppSlot("Stop", "_0202", "~/gta02/scripts/stop_0202.sh &"),
        AppSlot("Start", "_0203", "~/gta02/scripts/start_0203.sh &"),
        AppSlot("Start", "_0204", "~/gta02/scripts/start_0204.sh &"),
        AppSlot("Start", "_0205", "~/gta02/scripts/start_0205.sh &"),
        AppSlot("Stop", "_0203", "~/gta02/scripts/stop_0203.sh &"),
        AppSlot("Stop", "_0204", "~/gta02/scripts/stop_0204.sh &"),
        AppSlot("Stop", "_0205", "~/gta02/scripts/stop_0205.sh &"),
    },
};

// Only "Sure?" / "yes" shuts down; every other cell closes the menu.
const MenuTable kShutdownMenuTable = {
    "Shutdown Menu",
    {
        Close("Exit"),
        {{"", "Sure?", "", "yes", ""},
         MenuAction::kShutdown,
         "~/gta02/scripts/shutdown.sh >/dev/null </dev/null &"},
        Close(""), Close(""), Close(""), Close(""), Close(""),
        Close(""), Close(""), Close(""), Close(""), Close(""),
    },
};
