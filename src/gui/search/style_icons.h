#pragma once

// Gives the file-type cache the widget style's own file, folder and drive
// icons for whatever the icon theme lacks. Every view that shows such icons
// calls it when it is made; calling it again does nothing.

namespace clarivex {

void installStyleIcons();

} // namespace clarivex
