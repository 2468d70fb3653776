// The message store through its functions on a real directory, and its
// durability when the reader is killed in the middle of saving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "capture.h"
#include "message_store.h"
#include "process.h"
#include "smsreader_test_util.h"

namespace {

TextMessage Record(std::string_view action, int nr, std::string_view body) {
  return SplitTextMessageFrame(Sms(action, nr, body).c_str());
}

// The bodies the table holds after an import into an empty table.
std::map<int, std::string> ImportedBodies() {
  for (TextMessage& slot : TextMessageTable) slot = {};
  ImportTextMessageFile();
  std::map<int, std::string> held;
  for (int n = 0; n < kTextMessageSlots; ++n)
    if (const TextMessage* message = LookUpTextMessage(n)) held[n] = *message->TextMessageBody;
  return held;
}

// Works in the scratch directory, whose "messages" the store then uses.
class StoreTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chdir(scratch.path.c_str()), 0);
    ASSERT_TRUE(PrepareMessageDirectory("messages"));
  }
  void TearDown() override { EXPECT_EQ(chdir("/"), 0); }
  bool Logged(std::string_view text) { return err.Text().find(text) != std::string::npos; }
  ScratchDir scratch;
  rig::CapturedFd err{2};  // gtest reports on stdout
};

TEST_F(StoreTest, ImportFillsTheSlotsTheFramesNameAndSkipsWhatHoldsNoMessage) {
  const std::map<std::string, std::string> files = {
      {"TextMessage_10", Sms("retrieved", 4, "earlier")}, {"TextMessage_2", Sms("retrieved", 4, "later")},
      {"TextMessage_5", Sms("retrieved", 9, "nine")},
      {"TextMessage_6", Sms("retrieved", 6, std::string(460, 'x'))},
      {"TextMessage_7", Sms("retrieved", 7, "torn").substr(0, 30)},
      {"TextMessage_8", Sms("retrieved", 120, "no slot")},
      {"TextMessage_11", frametest::Frame({"sms", "retrieved", "+1", "11"})},
      {".TextMessage_3.new", Sms("retrieved", 3, "left by a crash")}};
  for (const auto& [name, bytes] : files) std::ofstream("messages/" + name) << bytes;
  ASSERT_EQ(mkdir("messages/TextMessage_12", 0777), 0);
  EXPECT_EQ(ImportedBodies(), (std::map<int, std::string>{{4, "later"}, {9, "nine"}}));
  for (const char* line : {"201110251013 Framelength error", "TextMessageFile is messages/TextMessage_7\n",
                           "number 120 is outside", "message 11 has a missing",
                           "TextMessage_12 is not a regular"})
    EXPECT_TRUE(Logged(line)) << line;
}

TEST_F(StoreTest, NoFilesIsAnEmptyTableButAFileOrDirectoryThatCannotBeUsedIsFatal) {
  EXPECT_TRUE(ImportedBodies().empty());
  EXPECT_TRUE(Logged("201110221326 no TextMessageFiles found\n:") && Logged("Used directory: messages\n"));
  ASSERT_EQ(symlink("nowhere", "messages/TextMessage_1"), 0);
  EXPECT_EXIT(ImportTextMessageFile(), testing::ExitedWithCode(1), "reading TextMessageFile failed");
  ASSERT_EQ(mkdir("messages/TextMessage_5", 0777), 0);
  EXPECT_EQ(DeleteTextMessageFile(5), -1);
  EXPECT_TRUE(Logged("2011112161220 deleting TextMessageFile failed\n: Is a directory"));
  std::filesystem::remove_all("messages");
  EXPECT_EXIT(ImportTextMessageFile(), testing::ExitedWithCode(1), "opening TextMessageDirName failed");
}

TEST_F(StoreTest, ReceiveSavesNewAndChangedBodiesWholeAndDeleteEmptiesTheSlot) {
  rig::CapturedFd out(1);
  const std::string file = "messages/TextMessage_7", long_body(170, 'b');
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, "fake")));
  EXPECT_EQ(FileBytes(file), Sms("retrieved", 7, "fake"));
  EXPECT_EQ(FileBytes(file).size(), 56u);
  EXPECT_TRUE(Logged("\nA *new* message has arrived\n\nTextAction is:\tretrieved\nTextMessageNr is:\t7\n"
                     "PhoneNumber is:\t +1234567890\nContactname is:\t +1234567890\n"));
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, "fake")));
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, long_body + "1")));
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, long_body + "2")));  // differs at 171
  EXPECT_EQ(FileBytes(file), Sms("retrieved", 7, long_body + "2"));
  // A save into a full disk keeps the old file, and the slot with it.
  ASSERT_EQ(symlink("/dev/full", "messages/.TextMessage_7.new"), 0);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 7, "lost")));
  EXPECT_EQ(FileBytes(file), Sms("retrieved", 7, long_body + "2"));
  EXPECT_EQ(LookUpTextMessage(7)->TextMessageBody, long_body + "2");
  EXPECT_TRUE(Logged("201110261236 TextMessageFile cant be saved (disk full?)\n: No space left on "
                     "device\nmessages/TextMessage_7"));
  EXPECT_EQ(out.Text(), Sms("new", 7, "fake") + Sms("new", 7, long_body + "1") +
                            Sms("new", 7, long_body + "2"));

  // Records without a slot or without a body leave no trace.
  EXPECT_FALSE(ReceiveTextMessage(Record("retrieved", 99, "x")));
  EXPECT_FALSE(DeleteTextMessage(Record("deleted", -1, "x")));
  EXPECT_FALSE(ReceiveTextMessage(SplitTextMessageFrame(frametest::Frame({"sms", "retrieved", "+1", "8"}).c_str())));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("messages"), {}), 1);

  EXPECT_TRUE(DeleteTextMessage(Record("deleted", 7, "gone")));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(LookUpTextMessage(7) == nullptr && TextMessageTable[7].TextAction == "deleted");
  EXPECT_TRUE(DeleteTextMessage(Record("deleted", 7, "gone")));  // confirmed twice
  EXPECT_TRUE(Logged("201212091502 messages/TextMessage_7 was already gone\n"));
}

// Messages kept in files of other names: a delete removes the file a
// message came from, a newer save removes the stale one, and a save or
// delete of the number a file is named after first moves the message that
// file holds to a file of its own.
TEST_F(StoreTest, FilesOfOtherNamesGoWithTheirMessageAndTheirNameNeverLosesOne) {
  rig::CapturedFd out(1);
  const std::map<std::string, std::string> files = {
      {"TextMessage_007", Sms("retrieved", 7, "seven")}, {"TextMessage_5", Sms("retrieved", 9, "nine")},
      {"TextMessage_x", Sms("retrieved", 3, "three, old")}, {"TextMessage_2", Sms("retrieved", 4, "four")}};
  for (const auto& [name, bytes] : files) std::ofstream("messages/" + name) << bytes;
  EXPECT_EQ(ImportedBodies().size(), 4u);
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 5, "five")));
  EXPECT_TRUE(ReceiveTextMessage(Record("retrieved", 3, "three")));
  EXPECT_TRUE(DeleteTextMessage(Record("deleted", 7, "seven")));
  EXPECT_TRUE(DeleteTextMessage(Record("deleted", 2, "two")));
  EXPECT_EQ(ImportedBodies(), (std::map<int, std::string>{{3, "three"}, {4, "four"}, {5, "five"}, {9, "nine"}}));
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("messages")) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"TextMessage_3", "TextMessage_4", "TextMessage_5", "TextMessage_9"}));
  EXPECT_EQ(out.Text(), Sms("new", 5, "five") + Sms("new", 3, "three"));
}

// A reader storing a burst of changing messages is killed at random moments;
// after each kill every message file imports whole, and every message that a
// "new" frame announced is there, or a later one of the same number.
TEST_F(StoreTest, SigkillNeverLosesOrTearsAMessage) {
  std::mt19937 random(testing::UnitTest::GetInstance()->random_seed());
  std::map<int, int> announced;  // number: latest sequence
  for (int kill = 0, sequence = 0; kill < 250; ++kill) {
    rig::Process reader({STORE_KILL_DRIVER}, {}, scratch.path);
    std::string burst;
    for (int i = 0; i < 20; ++i, ++sequence)
      burst += Sms("retrieved", random() % 8, std::to_string(sequence) + std::string(random() % 300, 'a'));
    ASSERT_TRUE(reader.Write(burst));
    const long acks = random() % 6;
    ASSERT_TRUE(reader.WaitFor([&] { return std::count(reader.Stdout().begin(), reader.Stdout().end(), ETX) >= acks; }));
    reader.Kill();
    reader.WaitForExit();
    std::istringstream frames(reader.Stdout());
    for (std::string frame; std::getline(frames, frame, ETX);) {
      TextMessage message = SplitTextMessageFrame(frame.c_str());
      int& latest = announced[message.TextMessageNr];
      latest = std::max(latest, std::stoi(*message.TextMessageBody));
    }
    std::map<int, std::string> held = ImportedBodies();
    for (auto [number, latest] : announced)
      ASSERT_GE(held.count(number) ? std::stoi(held[number]) : -1, latest) << "message " << number << " lost";
    for (const auto& entry : std::filesystem::directory_iterator("messages")) {
      std::string name = entry.path().filename();
      int number = name.rfind("TextMessage_", 0) == 0 ? std::stoi(name.substr(12)) : -1;
      ASSERT_TRUE(number < 0 || FileBytes(entry.path()) == Sms("retrieved", number, held[number])) << name;
    }
  }
}

}  // namespace
