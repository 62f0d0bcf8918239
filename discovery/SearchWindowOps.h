#pragma once
// The small modal window shown while the device search runs: caption, two labels, a progress bar.
#include "platform/WindowOps.h"

class SearchWindowOps : public fw::ProgressBar {
public:
    // Shows the window and paints it at once, before the search (which handles no events) begins.
    virtual void showSearching() = 0;
    virtual void closeSearching() = 0;
};
