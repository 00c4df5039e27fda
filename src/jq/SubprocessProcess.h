#pragma once

#include "jq/FileDescriptor.h"
#include "model/Result.h"

#include <QtGlobal>
#include <functional>

// One child process as Subprocess drives it. SubprocessDependencyBuilder makes real ones; tests make fakes that
// write to the output descriptors and report an exit without any child at all.
class SubprocessProcess
{
public:
    enum class TerminationReason { Exit, UncaughtSignal };

    virtual ~SubprocessProcess() = default;

    // Set before start. The descriptors become the child's standard streams; an invalid one stands for the
    // null device. The process owns them and closes its copies once the child has its own, so that readers of
    // the output pipes see end of stream when the child is done.
    virtual void setStandardInput(FileDescriptor descriptor) = 0;
    virtual void setStandardOutput(FileDescriptor descriptor) = 0;
    virtual void setStandardError(FileDescriptor descriptor) = 0;
    // Called once, on a thread of the process's choosing, after the child has exited and its status is known;
    // never when start fails.
    virtual void setTerminationHandler(std::function<void()> handler) = 0;

    virtual Result<void> start() = 0;

    // Zero before the start.
    virtual qint32 processIdentifier() const = 0;
    // The exit status, or the signal number when a signal ended the child; zero until it has terminated.
    virtual qint32 terminationStatus() const = 0;
    virtual TerminationReason terminationReason() const = 0;
    virtual bool isRunning() const = 0;

    // Each returns whether the system accepted the request.
    virtual bool suspend() = 0;
    virtual bool resume() = 0;
    virtual void terminate() = 0;
};
