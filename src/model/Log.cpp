#include "model/Log.h"

#include <QMutex>
#include <cstdio>
#include <syslog.h>

namespace Log {
namespace {

QMutex& sinkMutex()
{
    static QMutex mutex;
    return mutex;
}

Sink& currentSink()
{
    static Sink sink;
    return sink;
}

bool copyToStderr()
{
#ifndef NDEBUG
    return true;
#else
    static const bool enabled = qEnvironmentVariableIsSet("BRACKWELL_LOG_TO_STDERR");
    return enabled;
#endif
}

void write(Level level, const char* function, const QString& message)
{
    const QString line = formatLine(level, function, message);
    const QByteArray utf8 = line.toUtf8();
    static const bool opened = [] {
        openlog("brackwell", LOG_PID, LOG_USER);
        return true;
    }();
    Q_UNUSED(opened);
    syslog(level == Level::Error ? LOG_ERR : level == Level::Warning ? LOG_WARNING : LOG_DEBUG, "%s", utf8.constData());
    if (copyToStderr())
        std::fprintf(stderr, "%s\n", utf8.constData());
    QMutexLocker locker(&sinkMutex());
    if (currentSink())
        currentSink()(level, line);
}

} // namespace

QString formatLine(Level level, const char* function, const QString& message)
{
    QString line = level == Level::Error ? QStringLiteral("\u26D4\uFE0F ") : QStringLiteral("\u26A0\uFE0F ");
    line += QString::fromUtf8(function);
    line += QStringLiteral("] ");
    if (!message.isEmpty()) {
        line += QLatin1Char('\n');
        line += message;
    }
    return line;
}

void error(const QString& message, const char*, int, const char* function)
{
    write(Level::Error, function, message);
}

void warning(const QString& message, const char*, int, const char* function)
{
    write(Level::Warning, function, message);
}

void trace(const QString& message, const char*, int, const char* function)
{
    write(Level::Trace, function, message);
}

Sink setSink(Sink sink)
{
    QMutexLocker locker(&sinkMutex());
    std::swap(currentSink(), sink);
    return sink;
}

} // namespace Log
