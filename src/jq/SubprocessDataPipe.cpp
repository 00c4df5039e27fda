#include "jq/SubprocessDataPipe.h"

#include "jq/SubprocessErrors.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// Keeps SIGPIPE from this thread while writing: a write to a pipe without reader raises it, and its default
// action ends the whole program. A SIGPIPE raised meanwhile is taken off again unless one was pending already.
class SigpipeBlocker
{
public:
    SigpipeBlocker()
    {
        sigemptyset(&m_sigpipe);
        sigaddset(&m_sigpipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_sigpipe, &m_previousMask);
    }
    ~SigpipeBlocker()
    {
        if (m_raised && !m_wasPending) {
            const timespec noWait{0, 0};
            while (sigtimedwait(&m_sigpipe, nullptr, &noWait) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    }
    SigpipeBlocker(const SigpipeBlocker&) = delete;
    SigpipeBlocker& operator=(const SigpipeBlocker&) = delete;

    void noteRaised() { m_raised = true; }

private:
    sigset_t m_sigpipe;
    sigset_t m_previousMask;
    bool m_wasPending = false;
    bool m_raised = false;
};

} // namespace

Result<SubprocessDataPipe> SubprocessDataPipe::create(const QByteArray& bytes)
{
    // Close-on-exec, so that children started meanwhile from other threads do not inherit an end and keep the
    // pipe open.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return platformError(errno, QStringLiteral("pipe"));
    return SubprocessDataPipe(FileDescriptor(ends[0]), FileDescriptor(ends[1]), bytes);
}

SubprocessDataPipe::SubprocessDataPipe(FileDescriptor readEnd, FileDescriptor writeEnd, const QByteArray& bytes)
    : m_readEnd(std::move(readEnd)), m_writeEnd(std::move(writeEnd)), m_bytes(bytes)
{
    // Only this end's open file description changes; the child's read end stays blocking.
    if (m_writeEnd.isValid()) {
        const int flags = ::fcntl(m_writeEnd.get(), F_GETFL);
        if (flags >= 0)
            ::fcntl(m_writeEnd.get(), F_SETFL, flags | O_NONBLOCK);
    }
}

FileDescriptor SubprocessDataPipe::takeReadEnd()
{
    return std::move(m_readEnd);
}

void SubprocessDataPipe::writeAvailable()
{
    if (!m_writeEnd.isValid())
        return;
    SigpipeBlocker blocker;
    while (m_written < m_bytes.size()) {
        const ssize_t written =
            ::write(m_writeEnd.get(), m_bytes.constData() + m_written, static_cast<size_t>(m_bytes.size() - m_written));
        if (written > 0) {
            m_written += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN)
            return;
        // EPIPE (the child is gone or closed its input) or a real failure: nobody will read the rest.
        if (written < 0 && errno == EPIPE)
            blocker.noteRaised();
        break;
    }
    // A failure to close changes nothing for the child, which sees end of input either way.
    m_writeEnd.reset();
    m_bytes = QByteArray();
}
