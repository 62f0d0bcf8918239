#pragma once
// The search window for logic tests: records showing, closing and every progress position.
#include "discovery/SearchWindowOps.h"

#include <vector>

class ScriptedSearchWindow final : public SearchWindowOps {
public:
    void setMaximum(int maximum) override { m_maximum = maximum; }
    void setPosition(int position) override
    {
        m_position = position;
        positions.push_back(position);
    }
    int maximum() const override { return m_maximum; }
    int position() const override { return m_position; }
    void showSearching() override
    {
        ++shown;
        visible = true;
    }
    void closeSearching() override { visible = false; }

    int shown = 0;
    bool visible = false;
    std::vector<int> positions;

private:
    int m_maximum = 100;
    int m_position = 0;
};
