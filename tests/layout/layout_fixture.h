// A started library with scripted engines, closed again after each test.
#pragma once

#include "layout/library_state.h"
#include "layout/record_pool.h"
#include "layout/vulay30.h"
#include "tests/layout/fake_engines.h"

#include <gtest/gtest.h>

#include <memory>

namespace layouttest {

class LayoutLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engines_ = std::make_unique<ScriptedEngines>();
    ASSERT_EQ(InitLayout("/dict", "/learn", 0), 1);
  }
  void TearDown() override {
    layout::PoolFaults::remaining = -1;
    while (layout::layoutState().initCount > 0) CloseAlloc();
    engines_.reset();
  }
  EngineLog& engineLog() { return engines_->log; }

 private:
  std::unique_ptr<ScriptedEngines> engines_;
};

}  // namespace layouttest
