// Fixture for running the program's functions against the registry and
// console doubles. After every test no handle may be left open and no call
// may have been made with other arguments than the program's own.
#pragma once

#include "fake_console.h"
#include "fake_registry.h"

#include <gtest/gtest.h>

class InProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_registry::Reset();
        fake_console::Reset("");
    }

    void TearDown() override
    {
        EXPECT_EQ(fake_registry::OpenHandles(), 0) << "handles left open";
        EXPECT_TRUE(fake_registry::Misuse().empty())
            << "first misuse: " << fake_registry::Misuse().front();
    }
};
