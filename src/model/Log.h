#pragma once

#include <QString>
#include <functional>

// The system log. Lines read "<marker><operation>] " followed, when there is a message, by a line feed and
// the message. They go to syslog as data (never as a format), and to standard error in debug builds or when
// BRACKWELL_LOG_TO_STDERR is set.
namespace Log {

enum class Level { Error, Warning, Trace };

void error(const QString& message, const char* file, int line, const char* function);
void warning(const QString& message, const char* file, int line, const char* function);
void trace(const QString& message, const char* file, int line, const char* function);

QString formatLine(Level level, const char* function, const QString& message);

// Receives every line as well; tests use it to check what was reported. Returns the previous sink.
using Sink = std::function<void(Level, const QString& line)>;
Sink setSink(Sink sink);

} // namespace Log

// The function name is the operation as users of the log know it, for example "kindLabel".
#define BW_LOG_ERROR(function, message) Log::error((message), __FILE__, __LINE__, (function))
#define BW_LOG_WARNING(function, message) Log::warning((message), __FILE__, __LINE__, (function))
#define BW_LOG_TRACE(function, message) Log::trace((message), __FILE__, __LINE__, (function))
