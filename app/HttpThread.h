#pragma once
// THTTPThread: the worker that runs the HTTP upgrade off the window thread. Its window operations
// reach the window in order on the window thread; its final box blocks it until answered, while the
// window and the watchdog go on. The end codes it leaves in stopCounter tell the watchdog where it is.
#include "platform/TcpSocket.h"
#include "platform/WorkerWindow.h"

#include <atomic>
#include <thread>

class TUpgradeForm1;

class THTTPThread {
public:
    // stopCounter codes of the worker.
    static constexpr std::uint16_t kSucceeded = 122, kFailed = 123, kDone = 124;

    explicit THTTPThread(TUpgradeForm1& form); // created suspended
    // Asks the worker to stop, lets go of a box it waits for and waits for it to end.
    ~THTTPThread();
    THTTPThread(const THTTPThread&) = delete;
    THTTPThread& operator=(const THTTPThread&) = delete;

    void Resume();
    // The watchdog's request: give up at the next socket wait; nothing more reaches the window.
    void requestStop();
    bool finished() const { return m_finished; }

private:
    void Execute();

    TUpgradeForm1& m_form;
    fw::WorkerWindow m_window;
    fw::StopFlag m_stop{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};
