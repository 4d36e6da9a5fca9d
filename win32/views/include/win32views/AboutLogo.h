// The About box's logo, drawn rather than loaded: a dark-blue rounded square with a white "V".
#pragma once

#include <windows.h>

namespace win32views {

// Puts the logo into `box` (the picture panel of the About box), filling it and replacing one drawn
// before at another size; nothing when the box is null or no bitmap can be made.
void showAboutLogo(HWND box);

}  // namespace win32views
