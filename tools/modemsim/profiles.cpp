#include "profiles.h"

#include <algorithm>

namespace {

const Profile kProfiles[] = {
    {
        .name = "plain",
        .summary = "a generic 3GPP GSM modem (the default)",
        .manufacturer = "modemsim",
        .model = "Generic GSM modem",
        .revision = "1.0",
    },
    {
        .name = "gta02",
        .summary = "the GTA02's TI Calypso: deep sleep, AT+CFUN=1 fails on a locked SIM",
        .manufacturer = "FIC/OpenMoko",
        .model = "Neo1973 GTA02 Embedded GSM Modem",
        .revision = "HW: GTA02BV5, GSM: gsm_ac_gp_fd_pu_em_cph_ds_vc_cal35_ri_36_amd8_ts0-Moko11",
        .sleeps_after = 5000,
        .radio_on_fails_when_locked = true,
        .need_unlocked_sim = {"AT+CNMI"},
    },
    {
        .name = "eg25",
        .summary = "a Quectel EG25-G: messages in \"ME\", RDY on a reset, a slow SIM",
        .manufacturer = "Quectel",
        .model = "EG25",
        .revision = "EG25GGBR07A08M2G",
        .receive_storage = "ME",
        .old_sim_messages = 2,
        .reset_lines = {"RDY"},
        .ready_lines = {"+QIND: SMS DONE"},
        .messages_wait_for_sim = true,
    },
    {
        .name = "simcom",
        .summary = "a SIMCom SIM800: ATH leaves a call up, VOICE CALL: END, SMS Ready",
        .manufacturer = "SIMCOM_Ltd",
        .model = "SIMCOM_SIM800",
        .revision = "Revision:1418B04SIM800C24",
        .ready_lines = {"Call Ready", "SMS Ready"},
        .messages_wait_for_sim = true,
        .ath_ends_voice_call = false,
        .call_end = CallEndReport::kVoiceCallEnd,
    },
};

}  // namespace

std::span<const Profile> Profiles() { return kProfiles; }

const Profile* FindProfile(std::string_view name) {
  auto found = std::ranges::find(kProfiles, name, &Profile::name);
  return found == std::end(kProfiles) ? nullptr : found;
}
