// Ctrl-C (SIGINT), SIGTERM or SIGHUP during a calibration: the first one
// asks the calling thread to stop, which the calibration notices at its
// next attention check and answers by putting the camera back as it found
// it; a second one ends the program at once.
#pragma once

// Installs the handler of the three signals for the calling thread.
void cancelOnInterrupt();
