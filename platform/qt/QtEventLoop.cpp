#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <thread>

namespace fw {

class QtEventLoop::QtTimer final : public Timer {
public:
    QtTimer(QtEventLoop& loop, int interval) : m_loop{loop}, m_timer{new QTimer}
    {
        m_timer->setInterval(interval);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] {
            if (onTick) {
                auto tick = onTick; // the handler may destroy its own timer
                tick();
            }
            // `this` may be gone here; the loop outlives every timer.
        });
    }
    ~QtTimer() override
    {
        stop();
        m_timer->disconnect();
        m_timer->deleteLater(); // a tick may be destroying its own timer
        m_loop.checkIdleSoon();
    }
    void setInterval(int ms) override { m_timer->setInterval(ms); }
    int interval() const override { return m_timer->interval(); }
    void start() override
    {
        if (!m_timer->isActive()) ++m_loop.m_runningTimers;
        m_timer->start();
    }
    void stop() override
    {
        if (!m_timer->isActive()) return;
        --m_loop.m_runningTimers;
        m_timer->stop();
        m_loop.checkIdleSoon();
    }
    bool running() const override { return m_timer->isActive(); }

private:
    QtEventLoop& m_loop;
    QTimer* m_timer;
};

namespace {

class QtReadableWatch final : public ReadableWatch {
public:
    QtReadableWatch(int fd, std::function<void()> onReadable)
        : m_notifier{new QSocketNotifier{fd, QSocketNotifier::Read}}
    {
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, std::move(onReadable));
    }
    ~QtReadableWatch() override
    {
        m_notifier->setEnabled(false);
        m_notifier->disconnect();
        m_notifier->deleteLater(); // a handler may be dropping its own watch
    }

private:
    QSocketNotifier* m_notifier;
};

} // namespace

std::unique_ptr<ReadableWatch> QtEventLoop::watchReadable(int fd, std::function<void()> onReadable)
{
    return std::make_unique<QtReadableWatch>(fd, std::move(onReadable));
}

QtEventLoop::QtEventLoop()
{
    m_clock.start();
}

QtEventLoop::~QtEventLoop() = default;

void QtEventLoop::sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds{ms});
}

std::unique_ptr<Timer> QtEventLoop::createTimer(int intervalMs)
{
    return std::make_unique<QtTimer>(*this, intervalMs);
}

void QtEventLoop::post(std::function<void()> fn)
{
    ++m_posted;
    QMetaObject::invokeMethod(
        &m_context,
        [this, fn = std::move(fn)] {
            fn();
            --m_posted;
            checkIdleSoon();
        },
        Qt::QueuedConnection);
}

void QtEventLoop::endWork()
{
    if (--m_work == 0) {
        QMetaObject::invokeMethod(
            &m_context, [this] { checkIdleSoon(); }, Qt::QueuedConnection);
    }
}

void QtEventLoop::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::WaitMs(int ms, bool dispatch)
{
    const std::int64_t end = nowMs() + ms + 1; // "more than ms milliseconds"
    if (!dispatch) {
        sleepMs(ms + 1);
        return;
    }
    QEventLoop nested;
    ++m_modalDepth;
    while (nowMs() < end && !m_abandon) {
        QTimer::singleShot(static_cast<int>(end - nowMs()), &nested, &QEventLoop::quit);
        nested.exec();
    }
    --m_modalDepth;
}

void QtEventLoop::runModal(const std::function<bool()>& finished)
{
    QEventLoop nested;
    ++m_modalDepth;
    while (!finished() && !m_abandon) nested.processEvents(QEventLoop::WaitForMoreEvents);
    --m_modalDepth;
}

void QtEventLoop::setIdleHandler(std::function<void()> handler)
{
    m_idleHandler = std::move(handler);
    checkIdleSoon();
}

void QtEventLoop::checkIdleSoon()
{
    if (!m_idleHandler || m_idleCheckQueued) return;
    m_idleCheckQueued = true;
    // Checked once the events now waiting are handled, so a timer stopped and started again within
    // one handler does not count as idle.
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_idleCheckQueued = false;
            if (idle() && m_idleHandler) m_idleHandler();
        },
        Qt::QueuedConnection);
}

} // namespace fw
