#pragma once

#include "jq/SubprocessProcess.h"
#include "model/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <variant>

class SerialQueue;
class SubprocessDependencyFactory;

// Runs one external program once. Its standard input comes from bytes, text or a file; every chunk of its
// standard output and standard error goes to a handler, and the termination report follows once the program
// has exited and both output streams have been read to their end. All handlers run one at a time, in order, on
// a private queue thread. Works from plain threads: no Qt event loop is involved.
//
// A started runner keeps itself alive until its termination report has run, so callers may drop it.
class Subprocess : public std::enable_shared_from_this<Subprocess>
{
    struct ConstructionKey
    {};

public:
    // How urgent the queue's work is; the lower classes run the queue thread at a lower priority.
    enum class QualityOfService { UserInteractive, UserInitiated, Default, Utility, Background };
    using TerminationReason = SubprocessProcess::TerminationReason;

    // What the program reads on its standard input.
    class Input
    {
    public:
        struct Data
        {
            QByteArray bytes;
        };
        struct Text
        {
            QString text;
            QStringConverter::Encoding encoding;
        };
        struct File
        {
            QUrl url;
        };
        using Value = std::variant<Data, Text, File>;

        static Input data(const QByteArray& bytes) { return Input(Data{bytes}); }
        static Input text(const QString& text, QStringConverter::Encoding encoding)
        {
            return Input(Text{text, encoding});
        }
        static Input file(const QUrl& url) { return Input(File{url}); }
        static Input filePath(const QString& path) { return Input(File{QUrl::fromLocalFile(path)}); }

        Value value;

    private:
        explicit Input(Value inputValue) : value(std::move(inputValue)) {}
    };

    using DataHandler = std::function<void(const QByteArray& chunk)>;
    using TerminationHandler = std::function<void(Subprocess& runner)>;
    using CollectingHandler =
        std::function<void(Subprocess& runner, const QByteArray& output, const QByteArray& error)>;

    // The first element of the command is the executable's path, used as it is; the rest are its arguments.
    // Nothing starts yet.
    static std::shared_ptr<Subprocess> create(const QStringList& command,
                                              QualityOfService qualityOfService = QualityOfService::Default);
    Subprocess(ConstructionKey, const QStringList& command, QualityOfService qualityOfService);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // The factory every runner uses for its process, pipes and files: a SubprocessDependencyBuilder unless
    // replaced. Replace it before creating runners; setting nothing restores the builder.
    static std::shared_ptr<SubprocessDependencyFactory> dependencyFactory();
    static void setDependencyFactory(std::shared_ptr<SubprocessDependencyFactory> factory);

    qint32 processIdentifier() const;
    qint32 terminationStatus() const;
    bool isRunning() const;
    TerminationReason terminationReason() const;

    // Starts the program. A stream without a handler goes to the null device, and so does standard input
    // without an Input. Fails when the input cannot be prepared or the program cannot be started; no handler
    // is ever called then. A runner starts once: launching it again fails.
    Result<void> launch(const std::optional<Input>& input = std::nullopt, DataHandler outputHandler = {},
                        DataHandler errorHandler = {}, TerminationHandler terminationHandler = {});
    // As launch, handing the whole standard output and standard error to the one handler at the end.
    Result<void> launchCollectingOutput(const std::optional<Input>& input, CollectingHandler terminationHandler);

    bool suspend();
    bool resume();
    void terminate();

    // Blocks until the program has exited and both output streams are drained; the termination report may
    // still be on its way. Returns at once when nothing was started. Called from the runner's own queue it
    // would never return, so it refuses and returns false.
    bool waitForTermination();

private:
    struct Group;
    struct Pump;

    std::shared_ptr<Group> m_group;
    std::unique_ptr<SubprocessProcess> m_process;
    std::shared_ptr<SerialQueue> m_queue;
    std::shared_ptr<Pump> m_pump;
    std::thread m_pumpThread;
    std::atomic<bool> m_launched{false};
};
