#pragma once
// The entry sequence both front ends share: build the main window's state and run its creation
// step; when that ends the program, stop before any other window exists; else run the front end.
#include "app/Mainunit.h"

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Shows the window, delivers the activation and runs the message loop until the program ends.
    // Returns the exit status.
    virtual int run(TUpgradeForm1& form) = 0;
};

int runEntry(MainWindowOps& view, fw::EventLoop& loop, FrontEnd& frontEnd, StartContext context);
