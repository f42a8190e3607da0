// Ctrl-C during a calibration: the first one asks the calling thread to
// stop, which the calibration notices at its next attention check and
// answers by putting the camera back as it found it; a second one ends the
// program at once.
#pragma once

// Installs the SIGINT handler for the calling thread.
void cancelOnInterrupt();
