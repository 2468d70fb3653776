// The X test rig for GoogleTest: the private server of xserver.h for the
// whole test binary, and a PNG of the screen when a test fails.
//
// Use: link test_xrig_main (it registers XServerEnvironment and the PNG
// listener, then runs all tests) or register XServerEnvironment yourself.
#pragma once

// GoogleTest comes before Xlib, whose macros (None, Bool) break its headers;
// include this header before any X11 header.
#include <gtest/gtest.h>
// clang-format off
#include "xserver.h"
// clang-format on

namespace xrig {

// Starts the server in SetUp and ends it in TearDown.
class XServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { StartServer(); }
  void TearDown() override { StopServer(); }
};

// Saves the root window as xrig-<suite>.<test>.png in the working directory
// at a test's first failure, and names the file on standard error.
class PngOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override;
  void OnTestPartResult(const ::testing::TestPartResult& result) override;
  const ::testing::TestInfo* test_ = nullptr;
  bool saved_ = false;
};

}  // namespace xrig
