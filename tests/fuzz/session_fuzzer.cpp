// Arbitrary modem bytes into the bridge's session, in memory: pieces of the
// input are what the modem says, and the byte after each 0xFF is an event
// between them (time passing, a frame of the suite, the device going and
// coming back). After every step and its tick the session must have a
// deadline ahead of it, or the bridge's loop would spin. Run it with -close_fd_mask=3
// (tools/run-fuzzer does) to drop the frames and the log.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "session.h"

namespace {

std::string Frame(std::initializer_list<std::string_view> fields) {
  std::string frame(1, STX);
  for (std::string_view field : fields) (frame += US) += field;
  return frame + US + ETX;
}

const std::string kFrames[] = {
    Frame({"call", "start", "+3211"}),
    Frame({"call", "start", "112"}),
    Frame({"call", "accept", "+3255"}),
    Frame({"call", "stop", "+1234567890"}),
    Frame({"sms", "transmit", "+3266", "3", "08-12-2026", "09:15", "Hi \xe9"}),
    Frame({"sms", "transmit", "+3266", "3", "08-12-2026", "09:15", std::string(170, 'x')}),
    Frame({"sms", "delete", "+3266", "5", "08-12-2026", "09:15", "Hi"}),
    Frame({"sms", "delete", "+3266", "52", "08-12-2026", "09:15", "Hi"}),
};
constexpr size_t kFrameCount = sizeof kFrames / sizeof kFrames[0];
constexpr size_t kMaxSent = 1 << 16;

void Event(ModemSession& session, uint8_t event, Millis& now) {
  switch (event >> 6) {
    case 0:  // time passes, up to about two minutes
      now += (event & 0x3F) * 2000 + 1;
      session.OnTick(now);
      break;
    case 1:
      session.OnFrame(kFrames[(event & 0x3F) % kFrameCount], now);
      break;
    case 2:
      now += (event & 0x3F) * 10;
      session.OnTick(now);
      break;
    default:
      session.Lost();
      session.Opened(now);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string sent;
  ModemSession session(
      [&sent](std::string_view bytes) {
        if (sent.size() < kMaxSent) sent.append(bytes);
      },
      "1234");
  Millis now = 1000;
  session.Opened(now);
  std::string_view input(reinterpret_cast<const char*>(data), size);
  while (!input.empty()) {
    size_t mark = input.find('\xff');
    session.OnModemBytes(input.substr(0, mark), now);
    if (mark == std::string_view::npos || mark + 1 >= input.size()) break;
    Event(session, static_cast<uint8_t>(input[mark + 1]), now);
    input.remove_prefix(mark + 2);
    // As the bridge's loop does after whatever woke it.
    session.OnTick(now);
    if (session.NextDeadline() <= now) abort();  // the loop would spin
  }
  return 0;
}
