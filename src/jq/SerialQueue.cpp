#include "jq/SerialQueue.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

struct SerialQueue::State
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool closed = false;
};

namespace {

void lowerPriority(int niceIncrement)
{
    // On Linux the nice value belongs to the thread; lowering it needs no privilege and failing is harmless.
    if (niceIncrement <= 0)
        return;
    const id_t thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, current + niceIncrement);
}

} // namespace

SerialQueue::SerialQueue(const char* name, int niceIncrement)
    : m_state(std::make_shared<State>()), m_name(QByteArray(name).left(15)), m_niceIncrement(niceIncrement)
{}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->closed = true;
    }
    m_state->wake.notify_all();
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}

bool SerialQueue::start()
{
    if (m_thread.joinable())
        return true;
    try {
        m_thread = std::thread([state = m_state, name = m_name, niceIncrement = m_niceIncrement] {
            pthread_setname_np(pthread_self(), name.constData());
            lowerPriority(niceIncrement);
            for (;;) {
                std::function<void()> task;
                {
                    std::unique_lock lock(state->mutex);
                    state->wake.wait(lock, [&] { return !state->tasks.empty() || state->closed; });
                    if (state->tasks.empty())
                        return;
                    task = std::move(state->tasks.front());
                    state->tasks.pop_front();
                }
                // The task and its captures end here, outside the lock: they may hold the last reference to the
                // queue's owner, whose destruction then closes the queue.
                task();
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    m_threadId = m_thread.get_id();
    return true;
}

void SerialQueue::enqueue(std::function<void()> task)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->tasks.push_back(std::move(task));
    }
    m_state->wake.notify_one();
}
