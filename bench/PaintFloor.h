// What a change of the main window costs at the least on this platform, whatever the program
// draws: the floor under the dialog's time per round trip when every change is on screen before
// the next message leaves.
#pragma once

struct PaintFloor {
    double textUs = 0;    // a new text in a static control, with nothing drawn: the window manager's copy
    double repaintUs = 0; // the smallest repaint that reaches the screen: one sliver of one child window
};

// Measured on a window of this thread, kept busy as the dialog's thread is during an update.
PaintFloor MeasurePaintFloor();
