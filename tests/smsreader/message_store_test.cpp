// The message store through its functions on a real directory, its
// durability under SIGKILL, and the message window's logic.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <random>

#include "capture.h"
#include "frame_test_util.h"
#include "message_store.h"
#include "message_window_logic.h"
#include "process.h"
#include "scratch_dir.h"

namespace {

using frametest::Frame;

std::string Sms(std::string_view action, int nr, std::string_view body) {
  return Frame({"sms", action, "+1234567890", std::to_string(nr), "31-12-1818", "12:34:56", body});
}
TextMessage Record(std::string_view action, int nr, std::string_view body) {
  return SplitTextMessageFrame(Sms(action, nr, body).c_str());
}

// Runs in the scratch directory, so the store's "messages" is its own.
class StoreTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chdir(scratch.path.c_str()), 0);
    for (TextMessage& slot : TextMessageTable) slot = {};
  }
  void TearDown() override { EXPECT_EQ(chdir("/"), 0); }
  ScratchDir scratch;
};

TEST_F(StoreTest, ImportFillsTheSlotsTheFramesNameAndSkipsWhatHoldsNoMessage) {
  scratch.Put("TextMessage_10", Sms("retrieved", 4, "earlier"));
  scratch.Put("TextMessage_2", Sms("retrieved", 4, "later"));  // after _10 in glob order
  scratch.Put("TextMessage_5", Sms("retrieved", 9, "nine"));
  scratch.Put("TextMessage_6", Sms("retrieved", 6, std::string(460, 'x')));
  scratch.Put("TextMessage_7", Sms("retrieved", 7, "torn").substr(0, 30));
  scratch.Put("TextMessage_8", Sms("retrieved", 120, "no slot"));
  scratch.Put("TextMessage_11", Frame({"sms", "retrieved", "+1", "11", "31-12-1818", "12:34:56"}));
  scratch.Put(".TextMessage_3.new", Sms("retrieved", 3, "left by a crash"));
  ASSERT_EQ(mkdir("messages/TextMessage_12", 0777), 0);
  rig::CapturedFd err(2);
  EXPECT_EQ(ImportTextMessageFile(), 0);

  std::map<int, std::string> held;
  for (int n = 0; n < kTextMessageSlots; ++n)
    if (const TextMessage* message = LookUpTextMessage(n)) held[n] = *message->TextMessageBody;
  EXPECT_EQ(held, (std::map<int, std::string>{{4, "later"}, {9, "nine"}}));
  for (const char* line : {"201110251013 Framelength error", "TextMessageFile is messages/TextMessage_7\n",
                           "message number 120 is outside 0 to 98", "message 11 has a missing",
                           "TextMessage_12 is not a regular file"})
    EXPECT_NE(err.Text().find(line), std::string::npos) << line;
}

TEST_F(StoreTest, AMissingDirectoryOrAFileThatCannotBeOpenedOrRemovedIsFatal) {
  {
    rig::CapturedFd err(2);
    ImportTextMessageFile();
    EXPECT_NE(err.Text().find("201110221326 no TextMessageFiles found\n:"), std::string::npos);
    EXPECT_NE(err.Text().find("Used directory: messages\n"), std::string::npos);
  }
  ASSERT_EQ(symlink("nowhere", "messages/TextMessage_1"), 0);
  EXPECT_EXIT(ImportTextMessageFile(), testing::ExitedWithCode(1), "reading TextMessageFile failed");
  ASSERT_EQ(mkdir("messages/TextMessage_5", 0777), 0);
  EXPECT_EXIT(DeleteTextMessageFile(5), testing::ExitedWithCode(1), "deleting TextMessageFile failed");
  std::filesystem::remove_all("messages");
  EXPECT_EXIT(ImportTextMessageFile(), testing::ExitedWithCode(1), "opening TextMessageDirName failed");
}

TEST_F(StoreTest, ReceiveSavesNewAndChangedBodiesOnlyAndDeleteEmptiesTheSlot) {
  rig::CapturedFd out(1), err(2);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, "fake")));
  EXPECT_EQ(scratch.Get("TextMessage_7"), Sms("retrieved", 7, "fake"));
  EXPECT_EQ(scratch.Get("TextMessage_7").size(), 56u);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, "fake")));
  const std::string long_body(170, 'b');  // differing only after character 163
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, long_body + "1")));
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, long_body + "2")));
  EXPECT_EQ(scratch.Get("TextMessage_7"), Sms("retrieved", 7, long_body + "2"));
  EXPECT_EQ(out.Text(), Sms("new", 7, "fake") + Sms("new", 7, long_body + "1") +
                            Sms("new", 7, long_body + "2"));
  EXPECT_NE(err.Text().find("\nA *new* message has arrived\n\nTextAction is:\tretrieved\n"
                            "TextMessageNr is:\t7\nPhoneNumber is:\t +1234567890\n"
                            "Contactname is:\t +1234567890\nTextMessageDate is:\t31-12-1818\n"
                            "TextMessageTime is:\t12:34:56\nTextMessageBody is:\tfake\n\n"),
            std::string::npos);

  // Records without a slot or without a body leave no trace.
  EXPECT_FALSE(ReceiveTextMessage(Record("retrieved", 99, "x")));
  EXPECT_FALSE(ReceiveTextMessage(Record("retrieved", -1, "x")));
  EXPECT_FALSE(DeleteTextMessage(Record("deleted", 99, "x")));
  EXPECT_FALSE(ReceiveTextMessage(SplitTextMessageFrame(Frame({"sms", "retrieved", "+1", "8"}).c_str())));
  EXPECT_EQ(LookUpTextMessage(99), nullptr);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("messages"), {}), 1);

  EXPECT_TRUE(DeleteTextMessage(Record("deleted", 7, "gone")));
  EXPECT_FALSE(std::filesystem::exists("messages/TextMessage_7"));
  EXPECT_EQ(LookUpTextMessage(7), nullptr);
  EXPECT_EQ(TextMessageTable[7].TextAction, "deleted");
  EXPECT_TRUE(DeleteTextMessage(Record("deleted", 7, "gone")));  // confirmed twice
  EXPECT_NE(err.Text().find("201212091502 messages/TextMessage_7 was already gone\n"), std::string::npos);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, "fake")));
  EXPECT_EQ(scratch.Get("TextMessage_7"), Sms("retrieved", 7, "fake"));
}

TEST_F(StoreTest, AFailedSaveKeepsTheOldFile) {
  rig::CapturedFd out(1), err(2);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 3, "old")));
  // The next save of message 3 writes into a full disk.
  ASSERT_EQ(symlink("/dev/full", "messages/.TextMessage_3.new"), 0);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 3, "new")));
  EXPECT_EQ(scratch.Get("TextMessage_3"), Sms("retrieved", 3, "old"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status("messages/.TextMessage_3.new")));
  EXPECT_NE(err.Text().find("201110261236 TextMessageFile cant be saved (disk full?)\n: "
                            "No space left on device\nmessages/TextMessage_3"),
            std::string::npos);
  EXPECT_EQ(out.Text(), Sms("new", 3, "old") + Sms("new", 3, "new"));
}

// A reader that stores a burst of changing messages is killed at random
// moments; after each kill every message file must import whole, and every
// message a "new" frame acknowledged must be there, or a later one.
TEST_F(StoreTest, SigkillNeverLosesOrTearsAMessage) {
  std::mt19937 random(testing::UnitTest::GetInstance()->random_seed());
  std::map<int, int> acknowledged;  // number: latest sequence announced
  int sequence = 0;
  for (int kill = 0; kill < 250; ++kill) {
    rig::Process reader({STORE_KILL_DRIVER}, {}, scratch.path);
    std::string burst;
    for (int i = 0; i < 20; ++i, ++sequence)
      burst += Sms("retrieved", static_cast<int>(random() % 8),
                   std::to_string(sequence) + std::string(random() % 300, 'a'));
    ASSERT_TRUE(reader.Write(burst));
    size_t acks = random() % 6;
    ASSERT_TRUE(reader.WaitFor([&] {
      return static_cast<size_t>(std::count(reader.Stdout().begin(), reader.Stdout().end(), ETX)) >= acks;
    }));
    reader.Kill();
    reader.WaitForExit();
    std::istringstream frames(reader.Stdout());
    for (std::string frame; std::getline(frames, frame, ETX);) {
      TextMessage announced = SplitTextMessageFrame((frame + ETX).c_str());
      int& latest = acknowledged[announced.TextMessageNr];
      latest = std::max(latest, std::stoi(*announced.TextMessageBody));
    }

    for (TextMessage& slot : TextMessageTable) slot = {};
    {
      rig::CapturedFd quiet(2);
      ImportTextMessageFile();
    }
    for (const auto& entry : std::filesystem::directory_iterator("messages")) {
      std::string name = entry.path().filename();
      if (name.rfind("TextMessage_", 0) != 0) continue;
      const TextMessage* held = LookUpTextMessage(std::stoi(name.substr(12)));
      ASSERT_NE(held, nullptr) << name << " does not import";
      ASSERT_EQ(scratch.Get(name), TextMessageFileBytes(*held)) << name;
    }
    for (auto [number, latest] : acknowledged) {
      const TextMessage* held = LookUpTextMessage(number);
      ASSERT_NE(held, nullptr) << "message " << number << " lost";
      ASSERT_GE(std::stoi(*held->TextMessageBody), latest) << "message " << number;
    }
  }
}

TEST(MessageWindowLogic, BodyLinesAndButtons) {
  EXPECT_EQ(BodyPieces(std::string(40, 'a')),
            (std::vector<std::string_view>{std::string(19, 'a'), std::string(19, 'a'), "aa"}));
  EXPECT_EQ(BodyPieces(std::string(250, 'a')).size(), 10u);
  EXPECT_EQ(MessageButtonAt(160, 160), MessageButton::kClose);
  EXPECT_EQ(MessageButtonAt(161, 1), MessageButton::kReply);
  EXPECT_EQ(MessageButtonAt(480, 80), MessageButton::kDelete);
  for (auto [x, y] : {std::pair{80, 161}, {0, 80}, {240, 0}, {481, 80}})
    EXPECT_EQ(MessageButtonAt(x, y), MessageButton::kNone) << x << "," << y;
}

}  // namespace
