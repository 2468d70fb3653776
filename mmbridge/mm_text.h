// Text and time between ModemManager and the frames: ModemManager speaks
// UTF-8 and ISO 8601, the frames ISO 8859-1 and "dd-mm-yyyy" / "hh:mm:ss".
#pragma once

#include <string>
#include <string_view>

// A message's text or sender as a frame field: Latin-1, a character
// Latin-1 lacks (or a malformed sequence) as "?", and the control
// characters, which could end a frame or a line of the store, as "?" too;
// a line feed stays.
std::string ToFrameText(std::string_view utf8);
// A frame's Latin-1 text as ModemManager takes it.
std::string ToModemText(std::string_view latin1);

// "2026-12-08T18:01:07+01:00" as "08-12-2026" and "18:01:07": the stamp's
// own date and time, whatever its zone. False for anything else.
bool SplitIsoStamp(std::string_view stamp, std::string* date, std::string* time);
