#pragma once

#include "jq/SubprocessProcess.h"

#include <QStringList>
#include <memory>
#include <sys/types.h>
#include <thread>

// A real child started with posix_spawn. A thread of its own waits for the child to exit, records how it
// ended and then calls the termination handler.
class SpawnedProcess : public SubprocessProcess
{
public:
    explicit SpawnedProcess(const QStringList& command);
    ~SpawnedProcess() override;
    SpawnedProcess(const SpawnedProcess&) = delete;
    SpawnedProcess& operator=(const SpawnedProcess&) = delete;

    void setStandardInput(FileDescriptor descriptor) override;
    void setStandardOutput(FileDescriptor descriptor) override;
    void setStandardError(FileDescriptor descriptor) override;
    void setTerminationHandler(std::function<void()> handler) override;

    Result<void> start() override;

    qint32 processIdentifier() const override;
    qint32 terminationStatus() const override;
    TerminationReason terminationReason() const override;
    bool isRunning() const override;

    bool suspend() override;
    bool resume() override;
    void terminate() override;

private:
    struct State;

    static void waitForExit(const std::shared_ptr<State>& state, pid_t pid);
    bool signalIfRunning(int signalNumber);

    const QStringList m_command;
    FileDescriptor m_standardInput;
    FileDescriptor m_standardOutput;
    FileDescriptor m_standardError;
    // Shared with the waiting thread, which may outlive this object when it is dropped while the child runs.
    std::shared_ptr<State> m_state;
    std::thread m_waiter;
};
