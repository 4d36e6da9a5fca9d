// The whole program with its Qt windows on a fresh simulated bridge board, offscreen.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "app/Application.h"
#include "bridgesim/Board.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"

namespace viewtest {

class ViewFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    console::frmI2C_General& model() { return app->mainWindow(); }
    console::frmI2C_GeneralView& mainView() { return *views->mainView(); }
    // A widget of the main window by its control name ("cmdRead", "txtBWrite_5").
    template <class W>
    W* find(const char* name) {
        W* w = views->mainView()->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    template <class W>
    W* findInPanel(const char* name) {
        W* w = views->gpioView()->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<kit::QtHost> host;
    std::unique_ptr<app::Application> app;
    std::unique_ptr<program::QtViews> views;
};

}  // namespace viewtest
