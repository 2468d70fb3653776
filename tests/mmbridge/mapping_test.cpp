// mmbridge's mapping without D-Bus: the message numbers and their file,
// text and time stamps, and the bridge driven by a pretend ModemManager
// whose requests the test answers by hand.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bridge.h"
#include "capture.h"
#include "frame_test_util.h"
#include "message_numbers.h"
#include "mm_text.h"

namespace {

using frametest::Frame;

class Folder {
 public:
  Folder() {
    char dir[] = "/tmp/mmbridge-test-XXXXXX";
    path_ = mkdtemp(dir);
  }
  ~Folder() {
    unlink((path_ + "/numbers").c_str());
    unlink((path_ + "/numbers.new").c_str());
    rmdir(path_.c_str());
  }
  std::string File() const { return path_ + "/numbers"; }
  std::string Read() const {
    std::ifstream in(File());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void Write(const std::string& text) const { std::ofstream(File()) << text; }

 private:
  std::string path_;
};

TEST(MessageNumbersTest, KeepNumbersAcrossRestartsAndTellIdenticalMessagesApart) {
  Folder folder;
  std::string hello = MessageKey("+3211", "2026-12-08T18:01:07+01:00", "Hello");
  std::string odd = MessageKey("+3222", "", "100% sure\n\x02 caf\xc3\xa9");
  {
    MessageNumbers numbers(folder.File());
    numbers.Load();
    auto first = numbers.Bind("/sms/0", hello);
    auto twin = numbers.Bind("/sms/1", hello);  // same sender, stamp and text: a second message
    auto third = numbers.Bind("/sms/2", odd);
    ASSERT_TRUE(first && twin && third);
    EXPECT_EQ(first->number, 1);  // from 1, as a modem's storage
    EXPECT_EQ(twin->number, 2);
    EXPECT_EQ(third->number, 3);
    EXPECT_TRUE(first->fresh && twin->fresh && third->fresh);
    EXPECT_EQ(numbers.Bind("/sms/0", hello)->fresh, false);
    EXPECT_EQ(numbers.PathOf(3), "/sms/2");
    numbers.Forget(1);
  }
  EXPECT_EQ(folder.Read().find('\x02'), std::string::npos) << "keys are escaped";

  // A new run: other paths, the same messages; the freed number goes to a new one.
  MessageNumbers numbers(folder.File());
  numbers.Load();
  EXPECT_FALSE(numbers.PathOf(2));
  auto again = numbers.Bind("/sms/7", hello);
  auto odd_again = numbers.Bind("/sms/8", odd);
  ASSERT_TRUE(again && odd_again);
  EXPECT_EQ(again->number, 2);
  EXPECT_FALSE(again->fresh);
  EXPECT_EQ(odd_again->number, 3);
  EXPECT_FALSE(odd_again->fresh);
  auto fresh = numbers.Bind("/sms/9", hello);  // the first copy was deleted: this one is new
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->number, 1);
  EXPECT_TRUE(fresh->fresh);
}

TEST(MessageNumbersTest, GoneMessagesFreeTheirNumbersAndTheRangeEndsAt98) {
  Folder folder;
  MessageNumbers numbers(folder.File());
  for (int i = 0; i <= kLastMessageNr; ++i)
    ASSERT_TRUE(numbers.Bind("/sms/" + std::to_string(i), "key " + std::to_string(i)));
  EXPECT_FALSE(numbers.Bind("/sms/99", "one too many"));

  // After a restart only messages 5 and 7 are still there.
  numbers.UnbindAll();
  EXPECT_FALSE(numbers.PathOf(5));
  numbers.Bind("/sms/a", "key 5");
  numbers.Bind("/sms/b", "key 7");
  numbers.DropUnbound();
  MessageNumbers reread(folder.File());
  reread.Load();
  auto next = reread.Bind("/sms/c", "new");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->number, 1);
  EXPECT_EQ(reread.Bind("/sms/d", "key 7")->number, 8);
  EXPECT_FALSE(reread.Bind("/sms/d", "key 7")->fresh);
}

TEST(MessageNumbersTest, BadLinesAreSkippedWithALogLine) {
  Folder folder;
  folder.Write(
      "mmbridge message numbers 1\n3 +32%0A%0AHi\n99 past\n3 twice\nx y\n4 bad%ZZ\n\n5 ok\n");
  MessageNumbers numbers(folder.File());
  rig::CapturedFd err(2);
  numbers.Load();
  EXPECT_EQ(numbers.Bind("/a", "+32\n\nHi")->number, 3);
  EXPECT_EQ(numbers.Bind("/b", "ok")->number, 5);
  EXPECT_EQ(numbers.Bind("/c", "past")->number, 1);
  std::string log = err.Text();
  for (const char* line : {"99 past", "3 twice", "x y", "4 bad%ZZ"})
    EXPECT_NE(log.find(std::string("line skipped: ") + line), std::string::npos) << line;

  folder.Write("something else\n1 x\n");
  MessageNumbers foreign(folder.File());
  foreign.Load();
  EXPECT_EQ(foreign.Bind("/a", "x")->number, 1);
}

TEST(MmTextTest, StampsTextsAndNumbers) {
  std::string date, time;
  EXPECT_TRUE(SplitIsoStamp("2026-12-08T23:59:58-05:00", &date, &time));
  EXPECT_EQ(date, "08-12-2026");
  EXPECT_EQ(time, "23:59:58");  // the stamp's own zone, not converted
  EXPECT_TRUE(SplitIsoStamp("2027-01-31T00:00:00Z", &date, &time));
  EXPECT_EQ(date + " " + time, "31-01-2027 00:00:00");
  EXPECT_TRUE(SplitIsoStamp("2027-01-31T00:00:00.250+01", &date, &time));
  for (const char* bad : {"", "2026-12-08", "2026-13-08T10:00:00", "2026-12-08 10:00:00",
                          "2026-12-08T24:00:00", "2026-12-0xT10:00:00", "2026/12/08T10:00:00"})
    EXPECT_FALSE(SplitIsoStamp(bad, &date, &time)) << bad;

  EXPECT_EQ(ToFrameText("caf\xc3\xa9 \xe2\x82\xac 5\n\x02\x1f\x03\r\xff"), "caf\xe9 ? 5\n?????");
  EXPECT_EQ(ToModemText("caf\xe9 \xb0"), "caf\xc3\xa9 \xc2\xb0");
}

// ---- The bridge ----

struct Request {
  std::string kind, target, text;
  std::function<void(const std::string&)> created;
  ModemRequests::Done done;
};

class PretendModem : public ModemRequests {
 public:
  void Dial(const std::string& number, std::function<void(const std::string&)> created,
            Done done) override {
    asked.push_back({"dial", number, "", created, done});
  }
  void Accept(const std::string& call, Done done) override {
    asked.push_back({"accept", call, "", {}, done});
  }
  void HangUp(const std::string& call, Done done) override {
    asked.push_back({"hangup", call, "", {}, done});
  }
  void Send(const std::string& number, const std::string& text, Done done) override {
    asked.push_back({"send", number, text, {}, done});
  }
  void Delete(const std::string& message, Done done) override {
    asked.push_back({"delete", message, "", {}, done});
  }
  std::vector<Request> asked;
};

class MmBridgeTest : public ::testing::Test {
 protected:
  using Output = rig::StepOutput;
  Output Run(const std::function<void()>& step) { return rig::CaptureStep(step); }
  std::string Frames(const std::function<void()>& step) { return Run(step).frames; }
  Output Suite(const std::string& frame) {
    return Run([&] { bridge.OnFrame(frame); });
  }
  // The one request made since the last look.
  Request Asked() {
    EXPECT_EQ(modem.asked.size(), 1u);
    Request request = modem.asked.empty() ? Request{} : modem.asked.back();
    modem.asked.clear();
    return request;
  }
  void Ready() {
    EXPECT_EQ(Frames([&] { bridge.ModemReady(); }), Frame({"gsm", "poweringon"}));
  }

  Folder folder;
  MessageNumbers numbers{folder.File()};
  PretendModem modem;
  MmBridge bridge{modem, numbers};
  Millis now = 1000;
};

const std::string kStop = Frame({"call", "stop", "+1234567890"});

TEST_F(MmBridgeTest, IncomingCallWhoseNumberComesLateIsAnnouncedOnceAcceptedAndEnded) {
  Ready();
  EXPECT_EQ(Frames([&] { bridge.CallAdded("/call/1", true, CallState::kRingingIn, "", now); }), "");
  EXPECT_EQ(Frames([&] { bridge.CallNumberLearnt("/call/1", "+32475"); }),
            Frame({"call", "new", "+32475"}));
  EXPECT_EQ(Frames([&] { bridge.CallNumberLearnt("/call/1", "+32475"); }), "");
  now += 5000;
  EXPECT_EQ(Frames([&] { bridge.OnTick(now); }), "");

  Suite(Frame({"call", "accept", "+32475"}));
  Request accept = Asked();
  EXPECT_EQ(accept.kind + " " + accept.target, "accept /call/1");
  EXPECT_EQ(Frames([&] { accept.done(true); }), Frame({"call", "accepted", "+32475"}));
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/1", CallState::kActive); }), "");

  // The far end hangs up: stopped once, whatever else is said of the call.
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/1", CallState::kTerminated); }),
            Frame({"call", "stopped", "+32475"}));
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/1", CallState::kTerminated); }), "");
  Output late = Suite(kStop);
  EXPECT_EQ(late.frames, "");
  EXPECT_NE(late.log.find("no call to end"), std::string::npos);
  EXPECT_TRUE(modem.asked.empty());
}

TEST_F(MmBridgeTest, CallerWithoutNumberIsWithheldAndStopEndsTheCallOnItsEndOnly) {
  Ready();
  bridge.CallAdded("/call/4", true, CallState::kRingingIn, "", now);
  EXPECT_NE(bridge.NextDeadline(), kNoDeadline);
  EXPECT_EQ(Frames([&] { bridge.OnTick(bridge.NextDeadline() - 1); }), "");
  EXPECT_EQ(Frames([&] { bridge.OnTick(bridge.NextDeadline()); }),
            Frame({"call", "new", "withheld"}));
  EXPECT_EQ(bridge.NextDeadline(), kNoDeadline);
  EXPECT_EQ(Frames([&] { bridge.CallNumberLearnt("/call/4", "+3299"); }), "");

  // A second call while this one rings is left alone.
  EXPECT_EQ(Frames([&] { bridge.CallAdded("/call/5", true, CallState::kRingingIn, "+3288", now); }),
            "");

  // Rejected: the stop carries the suite's fixed number, the hang-up goes to the ringing call.
  Suite(kStop);
  Request hangup = Asked();
  EXPECT_EQ(hangup.kind + " " + hangup.target, "hangup /call/4");
  EXPECT_EQ(Frames([&] { hangup.done(true); }), "");
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/4", CallState::kTerminated); }),
            Frame({"call", "stopped", "withheld"}));
}

TEST_F(MmBridgeTest, OutgoingCallsStartedFailedAndStoppedEarly) {
  Ready();
  Suite(Frame({"call", "start", "+3255"}));
  Request dial = Asked();
  EXPECT_EQ(dial.kind + " " + dial.target, "dial +3255");
  dial.created("/call/2");
  EXPECT_EQ(Frames([&] { bridge.CallAdded("/call/2", false, CallState::kOther, "+3255", now); }),
            "");
  EXPECT_EQ(Frames([&] { dial.done(true); }), Frame({"call", "started", "+3255"}));
  EXPECT_NE(Suite(Frame({"call", "start", "+3266"})).log.find("already"), std::string::npos);
  Suite(kStop);
  Request hangup = Asked();
  EXPECT_EQ(hangup.target, "/call/2");
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/2", CallState::kTerminated); }),
            Frame({"call", "stopped", "+3255"}));

  // Busy: the start fails and the call ends; one stopped in either order.
  Suite(Frame({"call", "start", "+3266"}));
  dial = Asked();
  dial.created("/call/3");
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/3", CallState::kTerminated); }),
            Frame({"call", "stopped", "+3266"}));
  EXPECT_EQ(Frames([&] { dial.done(false); }), "");
  Suite(Frame({"call", "start", "+3277"}));
  dial = Asked();
  EXPECT_EQ(Frames([&] { dial.done(false); }), Frame({"call", "stopped", "+3277"}));

  // Stopped before the call exists: it is hung up as soon as it does.
  Suite(Frame({"call", "start", "+3288"}));
  dial = Asked();
  EXPECT_EQ(Suite(kStop).frames, "");
  EXPECT_TRUE(modem.asked.empty());
  dial.created("/call/6");
  Request hangup_6 = Asked();
  EXPECT_EQ(hangup_6.kind + " " + hangup_6.target, "hangup /call/6");
  // The modem goes before the call ends: the dialler still hears of its end, once.
  EXPECT_EQ(Frames([&] { bridge.ModemLost(); }), Frame({"call", "stopped", "+3288"}));
  EXPECT_EQ(Frames([&] { dial.done(false); }), "");
}

TEST_F(MmBridgeTest, RefusedRequestsGiveALogLineAndNoFrame) {
  Output early = Suite(Frame({"call", "start", "+3255"}));
  EXPECT_EQ(early.frames, "");
  EXPECT_NE(early.log.find("no modem"), std::string::npos);
  Ready();
  EXPECT_NE(Suite(Frame({"call", "start", "+32;ATH"})).log.find("number refused"),
            std::string::npos);
  EXPECT_NE(Suite(Frame({"call", "accept", "+3255"})).log.find("no incoming call"),
            std::string::npos);
  EXPECT_TRUE(modem.asked.empty());

  EXPECT_EQ(Frames([&] { bridge.CallAdded("/call/1", true, CallState::kRingingIn, "+3211", now); }),
            Frame({"call", "new", "+3211"}));
  Suite(Frame({"call", "accept", "+3211"}));
  Request accept = Asked();
  Output refused = Run([&] { accept.done(false); });
  EXPECT_EQ(refused.frames, "");
  EXPECT_NE(refused.log.find("could not be accepted"), std::string::npos);

  // The modem goes: the call that was announced is over, and requests wait for a modem.
  EXPECT_EQ(Frames([&] { bridge.ModemLost(); }), Frame({"call", "stopped", "+3211"}));
  EXPECT_EQ(Suite(kStop).frames, "");
  EXPECT_TRUE(modem.asked.empty());
  EXPECT_EQ(Frames([&] { bridge.CallStateChanged("/call/1", CallState::kTerminated); }), "");
}

TEST_F(MmBridgeTest, MessagesAreDeliveredOnceAndDeletedAndSentByRecord) {
  Ready();
  std::vector<StoredMessage> stored = {
      {"/sms/0", "+3211", "2026-12-08T18:01:07+01:00", "Hello"},
      {"/sms/1", "Bank", "2026-12-08T09:00:00Z", "Caf\xc3\xa9 \xe2\x82\xac\x03"}};
  EXPECT_EQ(Frames([&] { bridge.MessagesListed(stored); }),
            Frame({"sms", "retrieved", "+3211", "1", "08-12-2026", "18:01:07", "Hello"}) +
                Frame({"sms", "retrieved", "Bank", "2", "08-12-2026", "09:00:00", "Caf\xe9 ??"}));

  // ModemManager restarts: the same messages under new paths are not delivered again.
  bridge.ModemLost();
  Ready();
  stored[0].path = "/sms/10";
  stored[1].path = "/sms/11";
  EXPECT_EQ(Frames([&] { bridge.MessagesListed(stored); }), "");
  EXPECT_EQ(Frames([&] {
              bridge.MessageReceived({"/sms/12", "+3233", "bad stamp", "New"});
            }),
            Frame({"sms", "retrieved", "+3233", "3", "01-01-1970", "00:00:00", "New"}));
  EXPECT_EQ(Frames([&] { bridge.MessageReceived({"/sms/12", "+3233", "bad stamp", "New"}); }), "");

  std::string record_2 =
      Frame({"sms", "delete", "Bank", "2", "08-12-2026", "09:00:00", "Caf\xe9 ??"});
  Suite(record_2);
  Request remove = Asked();
  EXPECT_EQ(remove.kind + " " + remove.target, "delete /sms/11");
  EXPECT_EQ(Frames([&] { remove.done(false); }), "");
  Suite(record_2);
  remove = Asked();
  EXPECT_EQ(Frames([&] { remove.done(true); }),
            Frame({"sms", "deleted", "Bank", "2", "08-12-2026", "09:00:00", "Caf\xe9 ??"}));
  EXPECT_NE(Suite(record_2).log.find("no message 2"), std::string::npos);
  EXPECT_TRUE(modem.asked.empty());
  EXPECT_EQ(Frames([&] {
              bridge.MessageReceived({"/sms/13", "+3244", "", "Next"});
            }).substr(0, 24),
            Frame({"sms", "retrieved", "+3244", "2"}).substr(0, 24));

  std::string reply =
      Frame({"sms", "transmit", "+3211", "0", "08-12-2026", "18:05:00", "Oui, \xe0 bient\xf4t"});
  Suite(reply);
  Request send = Asked();
  EXPECT_EQ(send.kind + " " + send.target + " " + send.text,
            "send +3211 Oui, \xc3\xa0 bient\xc3\xb4t");
  EXPECT_EQ(Frames([&] { send.done(false); }), "");
  Suite(reply);
  EXPECT_EQ(Frames([&] { Asked().done(true); }),
            Frame({"sms", "transmitted", "+3211", "0", "08-12-2026", "18:05:00",
                   "Oui, \xe0 bient\xf4t"}));
  EXPECT_NE(Suite(Frame({"sms", "transmit", "+3211"})).log.find("incomplete"), std::string::npos);
  EXPECT_TRUE(modem.asked.empty());

  // Deleted by another client: the number is free again.
  bridge.MessageDeleted("/sms/10");
  EXPECT_EQ(Frames([&] {
              bridge.MessageReceived({"/sms/14", "+3255", "", "x"});
            }).substr(0, 24),
            Frame({"sms", "retrieved", "+3255", "1"}).substr(0, 24));
}

TEST_F(MmBridgeTest, LongTextIsCutToFitOneFrame) {
  Ready();
  std::string text(700, 'a');
  std::string frames = Frames([&] { bridge.MessageReceived({"/sms/0", "+3211", "", text}); });
  EXPECT_EQ(frames.size(), 499u);
  EXPECT_EQ(frames.front(), '\x02');
  EXPECT_EQ(frames.substr(frames.size() - 2), "\x1f\x03");
}

}  // namespace
