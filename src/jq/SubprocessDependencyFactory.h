#pragma once

#include "jq/FileDescriptor.h"
#include "jq/SubprocessDataPipe.h"
#include "jq/SubprocessProcess.h"
#include "model/Result.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>
#include <memory>

// Makes the platform objects a Subprocess works with, so that other implementations can stand in for them.
class SubprocessDependencyFactory
{
public:
    virtual ~SubprocessDependencyFactory() = default;

    // A configured process that has not started: the first element is the executable's path, the others are
    // its arguments.
    virtual std::unique_ptr<SubprocessProcess> createProcess(const QStringList& command) = 0;
    // A descriptor open for reading the file, or the system's error.
    virtual Result<FileDescriptor> openFileForReading(const QUrl& url) = 0;
    // A pipe whose read end becomes a child's standard input and whose write end delivers exactly the bytes.
    virtual Result<SubprocessDataPipe> createDataPipe(const QByteArray& bytes) = 0;
};
