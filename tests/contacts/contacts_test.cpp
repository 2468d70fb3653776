#include <gtest/gtest.h>

#include <string>

#include "contacts.h"

namespace {

class ContactLookup : public ::testing::Test {
 protected:
  void SetUp() override { FillContactBook(); }
};

TEST_F(ContactLookup, TheBookHoldsTheSevenContactsInOrder) {
  ASSERT_EQ(Contacts.Count, 7);
  EXPECT_STREQ(Contacts.Names[0], "Mom");
  EXPECT_STREQ(Contacts.Numbers[0], "+32112233445");
  EXPECT_STREQ(Contacts.Names[4], "Boy Friend");
  EXPECT_STREQ(Contacts.Numbers[5], "+32667788990");
  EXPECT_STREQ(Contacts.Names[6], "Anonymous");
  EXPECT_STREQ(Contacts.Numbers[6], "0000000000000");
}

TEST_F(ContactLookup, NationalAndInternationalFormsFindTheSameContact) {
  EXPECT_EQ(FindContactByNumber("+32112233445"), 0);
  EXPECT_EQ(FindContactByNumber("0112233445"), 0);
  EXPECT_EQ(FindContactByNumber("0032445566778"), 3);
  EXPECT_EQ(FindContactByNumber("0667788990"), 5);
  EXPECT_EQ(FindContactByNumber("+32112233446"), -1);
}

TEST_F(ContactLookup, RunsOfZerosAreAnonymous) {
  EXPECT_EQ(FindContactByNumber("000000000"), 6);
  EXPECT_EQ(FindContactByNumber("0000000000000000"), 6);
  EXPECT_EQ(FindContactByNumber("12000000000"), 6);  // only the last nine count
}

TEST_F(ContactLookup, ShortAndEmptyNumbersAreTheirOwnKey) {
  EXPECT_EQ(FindContactByNumber("12345"), -1);
  EXPECT_EQ(FindContactByNumber("8990"), 5);  // at the end of a number
  // The empty key occurs at the start of every number: the first slot wins.
  EXPECT_EQ(FindContactByNumber(""), 0);
  EXPECT_EQ(FindContactByNumber(nullptr), -1);
}

TEST_F(ContactLookup, AnEarlierMatchWinsOverALowerSlotAndTiesGoToTheLowerSlot) {
  // The key lies further from the end of the number in slot 4 than in slot
  // 3 (and in Brother's, slot 2).
  Contacts.Numbers[3] = "+3244556677";
  Contacts.Numbers[4] = "+3255667789";
  EXPECT_EQ(FindContactByNumber("5566"), 4);
  Contacts.Numbers[4] = "+3244556677";
  EXPECT_EQ(FindContactByNumber("5566"), 3);
}

TEST_F(ContactLookup, ScoresByTheShareOfTheNumberFromTheMatchToItsEnd) {
  // Mom, Dad and Brother all hold "233445": from the 7th, 5th and 3rd
  // character on (scores 50, 66 and 83).
  EXPECT_EQ(FindContactByNumber("233445"), 2);
}

TEST_F(ContactLookup, AnEmptyBookFindsNothing) {
  Contacts.Count = 0;
  EXPECT_EQ(FindContactByNumber("+32112233445"), -1);
  EXPECT_EQ(FindContactByNumber(""), -1);
  Contacts.Count = -3;
  EXPECT_EQ(FindContactByNumber(""), -1);
}

TEST_F(ContactLookup, LongNumbersAreKeyedByTheirLastNineCharacters) {
  // Longer than any work area: a dialling prefix must not lose the contact.
  std::string long_number = std::string(40, '9') + "+32556677889";
  EXPECT_EQ(FindContactByNumber(long_number.c_str()), 4);
  std::string long_unknown = "+32556677889" + std::string(40, '1');
  EXPECT_EQ(FindContactByNumber(long_unknown.c_str()), -1);
}

}  // namespace
