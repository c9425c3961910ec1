#pragma once

#include "NotifierPlatform.h"
#include "OwnConsole.h"

namespace notifier {

// The whole program: hides its console, reads the first character of the first argument ('1' the camera
// came, '0' it went), broadcasts, and gives the exit code (1 broadcast, 0 invalid argument).
int runNotifier(console::ConsolePlatform& console, NotifierPlatform& platform, NotifierLog& log, int argc,
                const char* const* argv);

}  // namespace notifier
