#pragma once
// The search window on Qt: "Searching for installed device(s)..." with its two labels and progress bar.
#include "discovery/SearchWindowOps.h"

#include <QDialog>

class QProgressBar;

class SearchWindowQt final : public QDialog, public SearchWindowOps {
public:
    explicit SearchWindowQt(QWidget* mainWindow);

    void setMaximum(int maximum) override;
    void setPosition(int position) override;
    int maximum() const override;
    int position() const override;
    void showSearching() override;
    void closeSearching() override;

private:
    QWidget* m_mainWindow;
    QProgressBar* m_progress;
};
