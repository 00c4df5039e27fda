#include "jq/SpawnedProcess.h"

#include "jq/SubprocessErrors.h"
#include "model/Log.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

struct SpawnedProcess::State
{
    std::mutex mutex;
    pid_t pid = 0;
    bool running = false;
    qint32 status = 0;
    TerminationReason reason = TerminationReason::Exit;
    std::function<void()> terminationHandler;
};

namespace {

// A descriptor numbered 0, 1 or 2 (possible when the program closed its own standard streams) could be
// overwritten by the redirection of another stream in the child; such a one is moved out of the way first.
bool moveAboveStandardStreams(FileDescriptor& descriptor)
{
    if (!descriptor.isValid() || descriptor.get() > STDERR_FILENO)
        return true;
    const int moved = ::fcntl(descriptor.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0)
        return false;
    descriptor.reset(moved);
    return true;
}

// The child's stream is the descriptor, or the null device when there is none.
void redirect(posix_spawn_file_actions_t& actions, const FileDescriptor& descriptor, int stream, int nullMode)
{
    if (descriptor.isValid())
        posix_spawn_file_actions_adddup2(&actions, descriptor.get(), stream);
    else
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", nullMode, 0);
}

} // namespace

// Waits for the child to exit without reaping it, so that the process identifier cannot be reused by another
// process while a signal may still be sent to it; then reaps it under the lock that signalling takes.
void SpawnedProcess::waitForExit(const std::shared_ptr<State>& state, pid_t pid)
{
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::function<void()> handler;
    {
        std::lock_guard lock(state->mutex);
        int status = 0;
        pid_t reaped;
        while ((reaped = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        if (reaped == pid && WIFSIGNALED(status)) {
            state->status = WTERMSIG(status);
            state->reason = TerminationReason::UncaughtSignal;
        } else if (reaped == pid) {
            state->status = WEXITSTATUS(status);
        } else {
            // Someone else reaped the child (SIGCHLD ignored, or a wait for any child elsewhere): the status is
            // lost, but the child is gone and its runner must still hear of it.
            state->status = -1;
            BW_LOG_ERROR("waitForExit", QStringLiteral("The status of process %1 was lost: %2")
                                            .arg(pid)
                                            .arg(QString::fromStdString(std::generic_category().message(errno))));
        }
        state->running = false;
        handler = std::move(state->terminationHandler);
        state->terminationHandler = nullptr;
    }
    if (handler)
        handler();
}

SpawnedProcess::SpawnedProcess(const QStringList& command) : m_command(command), m_state(std::make_shared<State>()) {}

SpawnedProcess::~SpawnedProcess()
{
    if (!m_waiter.joinable())
        return;
    bool exited;
    {
        std::lock_guard lock(m_state->mutex);
        exited = !m_state->running;
    }
    // Dropped while the child still runs: the waiting thread carries on alone and reaps the child in time.
    if (exited && m_waiter.get_id() != std::this_thread::get_id())
        m_waiter.join();
    else
        m_waiter.detach();
}

void SpawnedProcess::setStandardInput(FileDescriptor descriptor)
{
    m_standardInput = std::move(descriptor);
}

void SpawnedProcess::setStandardOutput(FileDescriptor descriptor)
{
    m_standardOutput = std::move(descriptor);
}

void SpawnedProcess::setStandardError(FileDescriptor descriptor)
{
    m_standardError = std::move(descriptor);
}

void SpawnedProcess::setTerminationHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_state->mutex);
    m_state->terminationHandler = std::move(handler);
}

Result<void> SpawnedProcess::start()
{
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->pid != 0)
            return platformError(EALREADY, QStringLiteral("The process was started before"));
    }
    // The parent's copies of the child's ends are closed whatever happens, or readers would wait forever.
    FileDescriptor standardInput = std::move(m_standardInput);
    FileDescriptor standardOutput = std::move(m_standardOutput);
    FileDescriptor standardError = std::move(m_standardError);

    if (m_command.isEmpty())
        return platformError(EINVAL, QStringLiteral("The command is empty"));
    if (!moveAboveStandardStreams(standardInput) || !moveAboveStandardStreams(standardOutput) ||
        !moveAboveStandardStreams(standardError))
        return platformError(errno, m_command.first());

    std::vector<QByteArray> arguments;
    arguments.reserve(static_cast<size_t>(m_command.size()));
    for (const QString& argument : m_command)
        arguments.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    redirect(actions, standardInput, STDIN_FILENO, O_RDONLY);
    redirect(actions, standardOutput, STDOUT_FILENO, O_WRONLY);
    redirect(actions, standardError, STDERR_FILENO, O_WRONLY);

    // The child starts with no blocked signals and with SIGPIPE at its default, whatever the calling thread
    // or the program did with them, so that pipelines behave as they would in a shell.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    sigaddset(&signalSet, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // glibc reports a failed exec (missing file, no permission, not an executable) as the result here.
    pid_t pid = 0;
    const int result = ::posix_spawn(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return platformError(result, m_command.first());

    {
        std::lock_guard lock(m_state->mutex);
        m_state->pid = pid;
        m_state->running = true;
    }
    try {
        m_waiter = std::thread([state = m_state, pid] {
            pthread_setname_np(pthread_self(), "SubprocessWait");
            waitForExit(state, pid);
        });
    } catch (const std::system_error& error) {
        // Without a thread to wait for it nobody would ever report the child, so it must not run on.
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(m_state->mutex);
        m_state->running = false;
        m_state->terminationHandler = nullptr;
        return platformError(error.code().value(), m_command.first());
    }
    return {};
}

qint32 SpawnedProcess::processIdentifier() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->pid;
}

qint32 SpawnedProcess::terminationStatus() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->status;
}

SubprocessProcess::TerminationReason SpawnedProcess::terminationReason() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->reason;
}

bool SpawnedProcess::isRunning() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

bool SpawnedProcess::signalIfRunning(int signalNumber)
{
    // The child is reaped under the same lock, so while it counts as running its identifier is still its own.
    std::lock_guard lock(m_state->mutex);
    return m_state->running && ::kill(m_state->pid, signalNumber) == 0;
}

bool SpawnedProcess::suspend()
{
    return signalIfRunning(SIGSTOP);
}

bool SpawnedProcess::resume()
{
    return signalIfRunning(SIGCONT);
}

void SpawnedProcess::terminate()
{
    // A stopped child would hold SIGTERM pending until continued; continuing it lets the request take effect.
    if (signalIfRunning(SIGTERM))
        signalIfRunning(SIGCONT);
}
