// tests/ui/ui_test_environment.h
// What every test program with real windows sets up once: the imaging library (GDI+
// draws the icons and rounded shapes), the shared brushes and tooltip, the fonts and the
// toolkit's window classes.
#ifndef ZAN_TESTS_UI_TEST_ENVIRONMENT_H
#define ZAN_TESTS_UI_TEST_ENVIRONMENT_H

#include <gtest/gtest.h>

#include "image/codec.h"
#include "ui/controls.h"
#include "ui/theme.h"

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(codec_startup());
        ASSERT_TRUE(ui_shared_create(GetModuleHandleW(nullptr)));
        ASSERT_TRUE(ui_fonts_create());
        ASSERT_TRUE(register_control_classes(GetModuleHandleW(nullptr)));
    }
    void TearDown() override {
        ui_shared_destroy();
        codec_shutdown();
    }
};

#endif
