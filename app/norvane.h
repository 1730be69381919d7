// The program after the platform has prepared the process: the main window
// on the platform's form, its message loop until the window has gone.
#pragma once

namespace app {

// Creates the form and the main window, makes the program's directory the
// current one, runs the window; gives the exit code.
int RunNorvane();

}  // namespace app
