// Plexmoor driven from inside its own process, for tests and the
// documentation's screenshots: steps found through the window's own control
// lookup and sent as a user's tools send them (WM_SETTEXT, BM_CLICK), with
// message boxes read and answered with their default button.
//
// PLEXMOOR_DRIVE holds the steps, separated by ";":
//   text KEY VALUE   sets a text box's text         click KEY   clicks a button
//   tab N            shows tab N (from 0)           shot FILE   saves the window as a BMP
//   print            writes the caption and the tab captions to standard output,
//                    and with History open its count and the rows it lists
//   close            closes the window as a user does
// Each line it writes starts with what it reports: "caption: ", "tabs: ",
// "history: ", "row: " (the cells of a listed row, "|" between them),
// "box: " or "error: " (a step it could not take; the run goes on).
#pragma once

#include "win32_window.h"

#include <string>

namespace plexmoor {

// Starts the steps once the window's first messages have run.
void DriveWindow(Win32Window& window, std::string steps);

} // namespace plexmoor
