// A fixture that builds the whole window set for each test and tears it down.
#pragma once

#include <gtest/gtest.h>

#include "app/Forms.h"
#include "app/Unit1.h"
#include "base/Text.h"
#include "ui/Application.h"

class FormsTest : public testing::Test {
protected:
    void SetUp() override
    {
        TApplication::SetTitle(SJ("ミレロくん"));
        CreateForms();
    }
    void TearDown() override { DestroyForms(); }
};
