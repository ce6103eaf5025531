// A test suite that shares one scripted server (starting one takes a second or so): started
// before the suite's first test, ended after its last, emptied before each test.
#pragma once

#include <gtest/gtest.h>

#include "http/support/ScriptedServer.h"

namespace quenlark::testing_support {

class ScriptedServerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new ScriptedServer(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->Ready()) << server_->StartError();
        server_->Reset();
    }

    static inline ScriptedServer* server_ = nullptr;
};

}  // namespace quenlark::testing_support
