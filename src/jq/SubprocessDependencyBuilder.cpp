#include "jq/SubprocessDependencyBuilder.h"

#include "jq/SpawnedProcess.h"
#include "jq/SubprocessErrors.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>

std::unique_ptr<SubprocessProcess> SubprocessDependencyBuilder::createProcess(const QStringList& command)
{
    return std::make_unique<SpawnedProcess>(command);
}

Result<FileDescriptor> SubprocessDependencyBuilder::openFileForReading(const QUrl& url)
{
    if (!url.isLocalFile())
        return platformError(EINVAL, url.toString());
    const QString path = url.toLocalFile();
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return platformError(errno, path);
    return FileDescriptor(descriptor);
}

Result<SubprocessDataPipe> SubprocessDependencyBuilder::createDataPipe(const QByteArray& bytes)
{
    return SubprocessDataPipe::create(bytes);
}
