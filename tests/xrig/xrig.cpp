#include "xrig.h"

#include <cstdio>
#include <string>

namespace xrig {

void PngOnFailure::OnTestStart(const ::testing::TestInfo& info) {
  test_ = &info;
  saved_ = false;
}

// At the first failure, while the program under test still shows its
// windows (the fixture's TearDown ends it before the test ends).
void PngOnFailure::OnTestPartResult(const ::testing::TestPartResult& result) {
  if (saved_ || test_ == nullptr || Rig() == nullptr || !result.failed()) return;
  saved_ = true;
  std::string path = std::string("xrig-") + test_->test_suite_name() + "." + test_->name() + ".png";
  for (char& c : path)
    if (c == '/') c = '_';
  if (SaveScreenPng(path)) std::fprintf(stderr, "xrig: screen saved in %s\n", path.c_str());
}

}  // namespace xrig
