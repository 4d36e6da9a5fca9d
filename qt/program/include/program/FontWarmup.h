// The fonts, made ready on a worker thread while the program does other things: first the
// system's font configuration (dozens of XML files and the font caches, the largest single cost
// before the main window can measure its first caption) while the display connection opens, then
// Qt's font database while the main window's model loads. Where the build has no fontconfig
// (Windows), it does nothing and Qt reads the fonts when first needed, as always.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace program {

class FontWarmup {
  public:
    // Starts reading the font configuration; never fails (a thread that cannot start leaves the
    // reading to Qt).
    FontWarmup();
    // Finishes the worker (see finish).
    ~FontWarmup();
    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;

    // The QApplication exists: once the configuration is read, the worker fills Qt's font
    // database, which is shared by every thread.
    void applicationReady();
    // Waits until the configuration is read. Call it before the first window lays out text: Qt
    // would otherwise read the whole configuration a second time beside the worker. A window that
    // measures text while the database fills waits for it inside Qt.
    void waitForConfiguration();
    // Lets the worker end without filling the database if it has not begun, and waits for it:
    // call it while the QApplication still exists.
    void finish();

  private:
    enum class Next { Undecided, FillDatabase, Stop };

    std::mutex mutex_;
    std::condition_variable changed_;
    bool configured_ = false;
    Next next_ = Next::Undecided;
    std::thread worker_;
};

}  // namespace program
