#include "discovery/qt/SearchWindowQt.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

SearchWindowQt::SearchWindowQt(QWidget* mainWindow) : QDialog{mainWindow}, m_mainWindow{mainWindow}
{
    setObjectName("RefreshForm");
    setWindowTitle("Searching for installed device(s)...");
    setModal(true);
    setFixedSize(300, 107);

    QFont font{"Times New Roman"};
    font.setPixelSize(16);
    font.setBold(true);

    auto* labels = new QFrame{this};
    labels->setObjectName("Panel1");
    labels->setFrameShape(QFrame::StyledPanel);
    labels->setGeometry(8, 8, 284, 58);
    auto* searching = new QLabel{"Searching for installed device(s)", labels};
    searching->setObjectName("Label1");
    searching->setFont(font);
    searching->setGeometry(8, 4, 270, 24);
    auto* wait = new QLabel{"Please Wait ...", labels};
    wait->setObjectName("Label2");
    wait->setFont(font);
    wait->setGeometry(8, 30, 270, 24);
    // Where Times New Roman is missing a wider serif stands in: shrink it until the caption fits.
    while (font.pixelSize() > 10 &&
           QFontMetrics{font}.horizontalAdvance(searching->text()) > searching->width()) {
        font.setPixelSize(font.pixelSize() - 1);
        searching->setFont(font);
        wait->setFont(font);
    }

    auto* bar = new QFrame{this};
    bar->setObjectName("Panel2");
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setGeometry(8, 72, 284, 28);
    m_progress = new QProgressBar{bar};
    m_progress->setObjectName("ProgressBar1");
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(false);
    m_progress->setGeometry(6, 6, 272, 16);
}

void SearchWindowQt::setMaximum(int maximum)
{
    m_progress->setMaximum(maximum);
}

void SearchWindowQt::setPosition(int position)
{
    m_progress->setValue(position);
    m_progress->repaint(); // the search handles no events, so the bar paints now
}

int SearchWindowQt::maximum() const
{
    return m_progress->maximum();
}

int SearchWindowQt::position() const
{
    return m_progress->value();
}

void SearchWindowQt::showSearching()
{
    if (m_mainWindow) move(m_mainWindow->geometry().center() - rect().center());
    show();
    raise();
    // Painted before the search begins, since the search itself handles no window events.
    QCoreApplication::processEvents();
    repaint();
}

void SearchWindowQt::closeSearching()
{
    hide();
}
