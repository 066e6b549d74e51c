#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

#include "testbed.h"

namespace brevant::testing {

// A test inside a fresh test bed: the test's thread (and every thread it
// starts) is in the tool's namespace from SetUp to TearDown. Skipped, with the
// reason, when not run as root. Fixtures deriving from it release what they
// opened in the namespace before calling TestBedTest::TearDown.
class TestBedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TestBed::IsRoot())
      GTEST_SKIP() << "needs root: the test creates network namespaces and a veth pair";
    std::string error;
    ASSERT_TRUE(bed_.Up(&error)) << error;
    inTool_ = bed_.EnterToolNamespace(&error);
    ASSERT_TRUE(inTool_) << error;
  }

  void TearDown() override {
    if (bed_.DevsimRunning()) {
      const bool clean = bed_.StopDevsim();
      EXPECT_TRUE(clean) << "brevant-devsim did not end cleanly on SIGTERM";
      if (HasFailure())
        std::cerr << "brevant-devsim said:\n" << bed_.DevsimOutput() << std::endl;
    }
    inTool_.reset();
    bed_.Down();
  }

  void StartDevsim(const std::vector<std::string>& options) {
    std::string error;
    ASSERT_TRUE(bed_.StartDevsim(options, &error)) << error;
  }

  TestBed bed_;
  std::unique_ptr<NamespaceEntry> inTool_;
};

}  // namespace brevant::testing
