// Ctrl-C (SIGINT), SIGTERM or SIGHUP during a calibration: the first one
// asks the calling thread to stop, which the calibration notices at its
// next attention check and answers by putting the camera back as it found
// it. A later one ends the program at once, except while the camera is in
// colc's hands (CameraInHand): then it is held, so that no signal cuts
// the putting back short, and the program ends as cancelled right after.
#pragma once

// Installs the handler of the three signals for the calling thread.
void cancelOnInterrupt();

// While it lives, the camera is open and may be changed: signals after
// the first only ask to stop, as the first does.
class CameraInHand {
 public:
  CameraInHand();
  ~CameraInHand();
  CameraInHand(const CameraInHand&) = delete;
  CameraInHand& operator=(const CameraInHand&) = delete;
};

// Once what the run did cannot be taken back (a deployment written into
// the camera), signals after the first only ask to stop, as while the
// camera is in colc's hands: the run finishes and reports what it did,
// rather than ending as cancelled.
void finishDespiteSignals();
