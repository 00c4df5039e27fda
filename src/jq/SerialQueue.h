#pragma once

#include <QByteArray>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Runs tasks one at a time, in the order they were enqueued, on a thread of its own, without any event loop.
// Tasks may be enqueued before the thread starts. Every task enqueued before the queue is destroyed still runs.
// The queue may be destroyed by one of its own tasks; its thread then finishes the remaining tasks alone.
class SerialQueue
{
public:
    // The name labels the thread (at most 15 characters are shown); a positive niceness increment lowers the
    // thread's scheduling priority.
    explicit SerialQueue(const char* name, int niceIncrement = 0);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Starts the thread; false when the system refuses one. Starting twice does nothing.
    bool start();
    void enqueue(std::function<void()> task);
    bool isCurrentThread() const { return std::this_thread::get_id() == m_threadId.load(); }

private:
    struct State;
    std::shared_ptr<State> m_state;
    const QByteArray m_name;
    const int m_niceIncrement;
    std::thread m_thread;
    std::atomic<std::thread::id> m_threadId;
};
