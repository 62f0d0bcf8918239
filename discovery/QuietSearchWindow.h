#pragma once
// The search window where there is no display: nothing is shown, the progress is only kept.
#include "discovery/SearchWindowOps.h"

class QuietSearchWindow final : public SearchWindowOps {
public:
    void setMaximum(int maximum) override { m_maximum = maximum; }
    void setPosition(int position) override { m_position = position; }
    int maximum() const override { return m_maximum; }
    int position() const override { return m_position; }
    void showSearching() override {}
    void closeSearching() override {}

private:
    int m_maximum = 100;
    int m_position = 0;
};
