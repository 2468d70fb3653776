// Joining concatenated messages: parts in any order, copies, parts gone
// from the storage, and the bounds that keep a flood of parts small.
#include "sms_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdu.h"

namespace {

SmsDeliver Part(const std::string& sender, int reference, int total, int number,
                std::u32string text) {
  SmsDeliver part;
  part.sender = sender;
  part.text = std::move(text);
  part.part = {reference, total, number};
  return part;
}

TEST(SmsJoiner, JoinsALongMessageStoredBySimulatedModemInAnyOrder) {
  std::u32string text;
  for (int i = 0; i < 30; ++i) text += U"Line \u20ac{" + std::u32string(1, U'a' + i % 26) + U"}\n";
  const SmsTime stamp{2026, 12, 8, 20, 4, 59, -14};
  std::vector<std::string> stored = EncodeDeliver("Bank", stamp, text, 77);
  ASSERT_EQ(stored.size(), 3u);  // 390 septets

  SmsJoiner joiner;
  std::optional<JoinedMessage> joined;
  for (int index : {12, 10, 11}) {
    EXPECT_FALSE(joined) << "complete before its last part";
    std::string why;
    std::optional<SmsDeliver> part = DecodeDeliver(stored[index - 10], &why);
    ASSERT_TRUE(part) << why;
    EXPECT_EQ(part->sender, "Bank");
    EXPECT_EQ(part->part.reference, 77);
    joined = joiner.Add(index, *part);
  }
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->message.text, text);
  EXPECT_EQ(joined->message.kind, SmsKind::kText);
  EXPECT_EQ(joined->message.part.total, 1);
  EXPECT_EQ(FrameDate(joined->message.stamp) + " " + FrameTime(joined->message.stamp),
            "08-12-2026 20:04:59");
  EXPECT_EQ(joined->message.stamp.zone_quarters, -14);
  EXPECT_EQ(joined->indexes, (std::vector<int>{10, 11, 12}));

  // UCS2 from a number, and a sender name cut to what an address holds.
  std::vector<std::string> wide =
      EncodeDeliver("+32475123456", stamp, std::u32string(100, U'\u044f'), 5);
  ASSERT_EQ(wide.size(), 2u);
  std::optional<SmsDeliver> second = DecodeDeliver(wide[1], nullptr);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->sender, "+32475123456");
  EXPECT_EQ(second->text, std::u32string(33, U'\u044f'));
  std::optional<SmsDeliver> named = DecodeDeliver(EncodeDeliver("Delta \xe7"
                                                                "a va bien",
                                                                stamp, U"hi", 0)[0],
                                                  nullptr);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->sender, "Delta ?a va");
}

TEST(SmsJoiner, JoinsTwoGsmPartsWithFillBits) {
  const std::string head = "00440B912374153254F600004220923295850A";
  std::optional<SmsDeliver> second = DecodeDeliver(head + "0B050003CC020240F9771D", nullptr);
  std::optional<SmsDeliver> first = DecodeDeliver(head + "09050003CC02019069", nullptr);
  ASSERT_TRUE(first && second);
  SmsJoiner joiner;
  EXPECT_FALSE(joiner.Add(4, *second));
  std::optional<JoinedMessage> joined = joiner.Add(3, *first);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->message.text, U"Hi you");
  EXPECT_EQ(joined->message.sender, "+32475123456");
  EXPECT_EQ(joined->indexes, (std::vector<int>{3, 4}));
}

TEST(SmsJoiner, KeepsMessagesApartAndTakesEveryCopyAlong) {
  SmsJoiner joiner;
  EXPECT_FALSE(joiner.Add(1, Part("+3211", 5, 2, 1, U"one ")));
  EXPECT_FALSE(joiner.Add(2, Part("+3299", 5, 2, 2, U"other"))) << "another sender";
  EXPECT_FALSE(joiner.Add(3, Part("+3211", 5, 3, 2, U"other"))) << "another total";
  EXPECT_FALSE(joiner.Add(4, Part("+3211", 5, 2, 1, U"copy "))) << "a copy";
  std::optional<JoinedMessage> joined = joiner.Add(5, Part("+3211", 5, 2, 2, U"two"));
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->message.text, U"one two");
  EXPECT_EQ(joined->indexes, (std::vector<int>{1, 5, 4}));

  // A whole message, and parts that cannot be of one, come back at once.
  for (SmsPart odd :
       {SmsPart{}, SmsPart{1, 0, 0}, SmsPart{1, 256, 1}, SmsPart{1, 3, 4}, SmsPart{1, 2, 0}}) {
    joined = joiner.Add(9, Part("+3211", odd.reference, odd.total, odd.number, U"alone"));
    ASSERT_TRUE(joined);
    EXPECT_EQ(joined->message.part.total, 1);
    EXPECT_EQ(joined->indexes, std::vector<int>{9});
  }

  // A part that is read as data makes the joined message data.
  SmsDeliver data = Part("+3299", 5, 2, 1, U"");
  data.kind = SmsKind::kData;
  joined = joiner.Add(6, data);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->message.kind, SmsKind::kData);
  EXPECT_EQ(joined->indexes, (std::vector<int>{6, 2}));
}

TEST(SmsJoiner, ForgetsPartsGoneFromTheStorage) {
  SmsJoiner joiner;
  joiner.Add(1, Part("+3211", 7, 3, 1, U"a"));
  joiner.Add(2, Part("+3211", 7, 3, 2, U"b"));
  joiner.Add(3, Part("+3211", 7, 3, 2, U"b"));
  joiner.Forget(1);
  joiner.Forget(2);  // its copy at 3 stands in for it
  joiner.Forget(42);
  EXPECT_FALSE(joiner.Add(4, Part("+3211", 7, 3, 3, U"c")));
  EXPECT_FALSE(joiner.Add(4, Part("+3211", 7, 3, 3, U"c"))) << "the same part read again";
  std::optional<JoinedMessage> joined = joiner.Add(5, Part("+3211", 7, 3, 1, U"A"));
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->message.text, U"Abc");
  EXPECT_EQ(joined->indexes, (std::vector<int>{5, 3, 4}));

  joiner.Add(6, Part("+3211", 8, 2, 1, U"x"));
  joiner.Clear();
  EXPECT_FALSE(joiner.Add(7, Part("+3211", 8, 2, 2, U"y")));
}

TEST(SmsJoiner, DropsTheOldestUnfinishedMessageBeyondItsBound) {
  SmsJoiner joiner;
  const int bound = static_cast<int>(SmsJoiner::kMaxPartialMessages);
  for (int reference = 0; reference <= bound; ++reference)
    EXPECT_FALSE(joiner.Add(reference, Part("+3211", reference, 2, 1, U"a")));
  EXPECT_FALSE(joiner.Add(100, Part("+3211", 0, 2, 2, U"b"))) << "the oldest was dropped";
  EXPECT_TRUE(joiner.Add(101, Part("+3211", bound, 2, 2, U"b")));

  // Copies of one part without end: only so many are kept.
  for (int index = 0; index < 1000; ++index) joiner.Add(index, Part("+3277", 1, 2, 1, U"a"));
  std::optional<JoinedMessage> joined = joiner.Add(1000, Part("+3277", 1, 2, 2, U"b"));
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->indexes.size(), 2 + SmsJoiner::kMaxCopiesPerMessage);
}

}  // namespace
