#pragma once

#include "jq/ChildProcess.h"

// One run of jq: the filter as its only argument, the document's JSON text on standard input, both output
// streams collected completely. stop() ends it, and finished() reports how it ended.
class JqRun : public ChildProcess
{
    Q_OBJECT
public:
    using ChildProcess::ChildProcess;

    // The jq that ships with Brackwell: libexec/brackwell/jq beside the program's bin folder, never PATH.
    static QString bundledJqPath();

    // Starts jq; finished() follows once, also when jq cannot be started.
    Result<void> start(const QString& program, const QString& filter, const QByteArray& input)
    {
        return ChildProcess::start(program, {filter}, input);
    }
};
