#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "headless/HeadlessPlatform.h"
#include "ui/Window.h"

// A test over its own headless platform, taken away again afterwards.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { platform_ = headless::HeadlessPlatform::Install(); }
    void TearDown() override { ui::InstallPlatform(nullptr); }
    std::shared_ptr<headless::HeadlessPlatform> platform_;
};
