// What the start-up window needs of the application: the main window and the About box. The
// application implements it.
#pragma once

namespace startup {

class StartupLink {
  public:
    virtual ~StartupLink() = default;
    // Loads the main window if needed (its load runs the program's first exchange) and shows it.
    virtual void showMainWindow() = 0;
    // Shows the one About box, loading it first when needed.
    virtual void showAboutBox() = 0;
};

}  // namespace startup
