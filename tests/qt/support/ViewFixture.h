// The whole program with its Qt windows on a fresh simulated bridge board, offscreen: the
// application fixture with a Qt host that answers dialogs itself and the Qt views as navigator.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "AnsweringHost.h"
#include "program/QtViews.h"
#include "testing/AppFixture.h"

namespace viewtest {

class ViewFixture : public apptest::AppFixture {
  protected:
    // Starts the program on the view tests' board.
    void SetUp() override;
    // Builds the program with its Qt windows on a board made from the simulation text and
    // starts it; the main window's view must then exist.
    void startOn(const char* simulation);
    // The application inside a fresh QtViews on a fresh AnsweringHost.
    app::Application& makeApplication() override;
    // Closes the windows, then the application and the host go.
    void destroyApplication() override;

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

    std::unique_ptr<AnsweringHost> qtHost;
    std::unique_ptr<program::QtViews> views;
};

}  // namespace viewtest
