// main() for window tests: one private X server for the whole binary.
#include "xrig.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new xrig::XServerEnvironment);
  ::testing::UnitTest::GetInstance()->listeners().Append(new xrig::PngOnFailure);
  return RUN_ALL_TESTS();
}
