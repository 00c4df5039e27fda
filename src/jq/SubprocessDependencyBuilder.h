#pragma once

#include "jq/SubprocessDependencyFactory.h"

// The real thing: children started with posix_spawn, files opened with open(2), pipes from pipe2(2).
class SubprocessDependencyBuilder : public SubprocessDependencyFactory
{
public:
    std::unique_ptr<SubprocessProcess> createProcess(const QStringList& command) override;
    Result<FileDescriptor> openFileForReading(const QUrl& url) override;
    Result<SubprocessDataPipe> createDataPipe(const QByteArray& bytes) override;
};
