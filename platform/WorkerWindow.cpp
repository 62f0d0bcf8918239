#include "platform/WorkerWindow.h"

#include <string>

namespace fw {

WorkerWindow::WorkerWindow(EventLoop& loop, WindowOps& window) : m_loop{loop}, m_window{window} {}

void WorkerWindow::post(std::function<void()> fn)
{
    m_loop.post([shared = m_shared, fn = std::move(fn)] {
        {
            std::lock_guard lock{shared->mutex};
            if (!shared->open) return;
        }
        fn();
    });
}

bool WorkerWindow::run(std::function<void()> fn)
{
    // The call lives on its own: the worker may be let go while the window thread still runs it.
    struct Call {
        std::function<void()> fn;
        bool done = false;
    };
    auto call = std::make_shared<Call>(Call{std::move(fn)});
    m_loop.post([shared = m_shared, call] {
        {
            std::lock_guard lock{shared->mutex};
            if (!shared->open) return;
        }
        call->fn(); // may run a nested loop (a modal box); the window goes on meanwhile
        std::lock_guard lock{shared->mutex};
        call->done = true;
        shared->changed.notify_all();
    });
    std::unique_lock lock{m_shared->mutex};
    m_shared->changed.wait(lock, [&] { return call->done || !m_shared->open; });
    return call->done;
}

void WorkerWindow::close()
{
    std::lock_guard lock{m_shared->mutex};
    m_shared->open = false;
    m_shared->changed.notify_all();
}

void WorkerWindow::addLine(std::string_view line)
{
    post([this, text = std::string{line}] { m_window.addLine(text); });
}

void WorkerWindow::setStatus(std::string_view text)
{
    post([this, copy = std::string{text}] { m_window.setStatus(copy); });
}

void WorkerWindow::setMaximum(int maximum)
{
    m_maximum = maximum;
    post([this, maximum] { m_window.setMaximum(maximum); });
}

void WorkerWindow::setPosition(int position)
{
    m_position = position;
    post([this, position] { m_window.setPosition(position); });
}

int WorkerWindow::messageBox(std::string_view text, std::optional<std::string_view> caption,
                             BoxButtons buttons)
{
    auto answer = std::make_shared<int>(firstButton(buttons));
    run([this, answer, text = std::string{text},
         title = caption ? std::optional<std::string>{*caption} : std::nullopt, buttons] {
        *answer = m_window.messageBox(text, title ? std::optional<std::string_view>{*title} : std::nullopt,
                                      buttons);
    });
    return *answer;
}

int WorkerWindow::dialog(DialogType type, std::string_view text, DialogButtons buttons)
{
    auto answer = std::make_shared<int>(firstButton(buttons));
    run([this, answer, type, text = std::string{text}, buttons] {
        *answer = m_window.dialog(type, text, buttons);
    });
    return *answer;
}

} // namespace fw
