// A started library with scripted engines, closed again after each test.
#pragma once

#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/record_pool.h"
#include "layout/vulay30.h"
#include "tests/layout/fake_engines.h"

#include <gtest/gtest.h>

#include <memory>

namespace layouttest {

// A field record with its rectangle appended to a ring.
inline userfld* appendFieldAt(userfld** head, int left, int top, int right, int bottom) {
  userfld* f = append_fld(head);
  f->left = static_cast<std::int16_t>(left);
  f->top = static_cast<std::int16_t>(top);
  f->right = static_cast<std::int16_t>(right);
  f->bottom = static_cast<std::int16_t>(bottom);
  return f;
}

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
