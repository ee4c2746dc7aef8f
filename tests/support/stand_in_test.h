// Base fixture for tests over the Win32 stand-in: a clean stand-in for every test.
#pragma once

#include "win32_stand_in.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override { standin::Reset(); }

  static std::vector<std::string> Args(const std::string& function, std::size_t index = 0) {
    const auto calls = standin::CallsTo(function);
    return index < calls.size() ? calls[index].args : std::vector<std::string>{};
  }
};
