#pragma once
// The window as a worker thread sees it: every operation is carried out on the window thread, in the
// order the worker makes them; a box blocks the worker until it is answered, while the window goes on.
// The progress position the worker reads is its own count, so reading it needs no trip to the window.
// Once the window side closes it, operations are dropped and a waiting worker is let go at once.
#include "platform/EventLoop.h"
#include "platform/WindowOps.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace fw {

class WorkerWindow final : public WindowOps {
public:
    WorkerWindow(EventLoop& loop, WindowOps& window);
    ~WorkerWindow() override { close(); }
    WorkerWindow(const WorkerWindow&) = delete;
    WorkerWindow& operator=(const WorkerWindow&) = delete;

    void addLine(std::string_view line) override;
    void setStatus(std::string_view text) override;
    void setMaximum(int maximum) override;
    void setPosition(int position) override;
    int maximum() const override { return m_maximum; }
    int position() const override { return m_position; }
    // The first button of the set when the window side has closed.
    int messageBox(std::string_view text, std::optional<std::string_view> caption,
                   BoxButtons buttons) override;
    int dialog(DialogType type, std::string_view text, DialogButtons buttons) override;

    // Runs fn on the window thread later; the worker goes on.
    void post(std::function<void()> fn);
    // Runs fn on the window thread and waits until it has returned; false when it was dropped.
    bool run(std::function<void()> fn);
    // Window thread: from now on nothing more reaches the window.
    void close();

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = true;
    };

    EventLoop& m_loop;
    WindowOps& m_window;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    int m_maximum = 0;
    int m_position = 0;
};

} // namespace fw
