#include "jq/Subprocess.h"
#include "jq/SubprocessDependencyBuilder.h"
#include "jq/SubprocessErrors.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using Input = Subprocess::Input;

Q_DECLARE_METATYPE(Error)
Q_DECLARE_METATYPE(std::optional<Subprocess::Input>)

namespace {

// Generous: a sanitizer build on a busy machine is slow, and nothing here should ever come near it.
constexpr auto kPatience = std::chrono::seconds(60);

// What a runner handed to its handlers, recorded on its queue and read on the test thread. Handlers hold it
// by shared pointer, so a test that fails early cannot leave them writing into freed memory.
class Recorder
{
public:
    struct State
    {
        QList<QByteArray> output;
        QList<QByteArray> error;
        std::set<std::thread::id> handlerThreads;
        int reports = 0;
        // How many chunks had arrived when the report came.
        qsizetype chunksAtReport = -1;
        qint32 status = -1;
        Subprocess::TerminationReason reason = Subprocess::TerminationReason::Exit;
        bool runningAtReport = true;
        QByteArray collectedOutput;
        QByteArray collectedError;

        void report(Subprocess& runner)
        {
            ++reports;
            chunksAtReport = output.size() + error.size();
            status = runner.terminationStatus();
            reason = runner.terminationReason();
            runningAtReport = runner.isRunning();
        }
    };

    static std::shared_ptr<Recorder> make() { return std::make_shared<Recorder>(); }

    static Subprocess::DataHandler onOutput(const std::shared_ptr<Recorder>& recorder)
    {
        return [recorder](const QByteArray& chunk) { recorder->update([&](State& s) { s.output << chunk; }); };
    }
    static Subprocess::DataHandler onError(const std::shared_ptr<Recorder>& recorder)
    {
        return [recorder](const QByteArray& chunk) { recorder->update([&](State& s) { s.error << chunk; }); };
    }
    static Subprocess::TerminationHandler onTermination(const std::shared_ptr<Recorder>& recorder)
    {
        return [recorder](Subprocess& runner) { recorder->update([&](State& s) { s.report(runner); }); };
    }
    static Subprocess::CollectingHandler onCollected(const std::shared_ptr<Recorder>& recorder)
    {
        return [recorder](Subprocess& runner, const QByteArray& output, const QByteArray& error) {
            recorder->update([&](State& s) {
                s.collectedOutput = output;
                s.collectedError = error;
                s.report(runner);
            });
        };
    }

    State state() const
    {
        std::lock_guard lock(m_mutex);
        return m_state;
    }

    bool waitUntil(const std::function<bool(const State&)>& condition) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kPatience, [&] { return condition(m_state); });
    }
    bool waitForReport() const
    {
        return waitUntil([](const State& s) { return s.reports > 0; });
    }

private:
    template <typename Change> void update(Change change)
    {
        {
            std::lock_guard lock(m_mutex);
            m_state.handlerThreads.insert(std::this_thread::get_id());
            change(m_state);
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    State m_state;
};

QStringList shell(const QString& script)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script};
}

QByteArray joined(const QList<QByteArray>& chunks)
{
    QByteArray all;
    for (const QByteArray& chunk : chunks)
        all += chunk;
    return all;
}

QByteArray largeBinary(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 value = 2463534242u;
    for (qsizetype i = 0; i < size; ++i) {
        value ^= value << 13;
        value ^= value >> 17;
        value ^= value << 5;
        bytes[i] = char(value & 0xff);
    }
    return bytes;
}

// Text with one UTF-16 code unit between two parts, for units no string literal may hold.
QString withUnit(const char16_t* before, char16_t unit, const char16_t* after)
{
    return QString::fromUtf16(before) + QChar(unit) + QString::fromUtf16(after);
}

// Lets a child blocked in `read x < fifo` go on, once it is waiting there.
bool releaseThroughFifo(const QByteArray& fifo)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        const int descriptor = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (descriptor >= 0) {
            const bool written = ::write(descriptor, "\n", 1) == 1;
            ::close(descriptor);
            return written;
        }
        QTest::qWait(5);
    }
    return false;
}

// The shared record of what the fake factory and its processes were asked to do.
struct FakeRecord
{
    std::mutex mutex;
    QList<QStringList> commands;
    int dataPipes = 0;
    int filesOpened = 0;
    int starts = 0;
    bool failDataPipe = false;
};

// Stands in for a child: on a thread of its own it copies its standard input to its standard output, writes a
// line to standard error and exits with status 7. No program runs.
class FakeProcess : public SubprocessProcess
{
public:
    explicit FakeProcess(std::shared_ptr<FakeRecord> record) : m_record(std::move(record)) {}
    ~FakeProcess() override
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    FakeProcess(const FakeProcess&) = delete;
    FakeProcess& operator=(const FakeProcess&) = delete;

    void setStandardInput(FileDescriptor descriptor) override { m_input = std::move(descriptor); }
    void setStandardOutput(FileDescriptor descriptor) override { m_output = std::move(descriptor); }
    void setStandardError(FileDescriptor descriptor) override { m_error = std::move(descriptor); }
    void setTerminationHandler(std::function<void()> handler) override { m_handler = std::move(handler); }

    Result<void> start() override
    {
        {
            std::lock_guard lock(m_record->mutex);
            ++m_record->starts;
        }
        m_running = true;
        m_thread = std::thread([this] {
            char buffer[4096];
            ssize_t length;
            while (m_input.isValid() && (length = ::read(m_input.get(), buffer, sizeof buffer)) > 0) {
                if (m_output.isValid() && ::write(m_output.get(), buffer, size_t(length)) != length)
                    break;
            }
            // A failed write shows as missing text in the test.
            if (m_error.isValid())
                m_errorWritten = ::write(m_error.get(), "fake\n", 5) == 5;
            m_input.reset();
            m_output.reset();
            m_error.reset();
            m_running = false;
            if (m_handler)
                std::exchange(m_handler, nullptr)();
        });
        return {};
    }

    qint32 processIdentifier() const override { return 4242; }
    qint32 terminationStatus() const override { return m_running ? 0 : 7; }
    TerminationReason terminationReason() const override { return TerminationReason::Exit; }
    bool isRunning() const override { return m_running; }
    bool suspend() override { return false; }
    bool resume() override { return false; }
    void terminate() override {}

private:
    std::shared_ptr<FakeRecord> m_record;
    FileDescriptor m_input;
    FileDescriptor m_output;
    FileDescriptor m_error;
    std::function<void()> m_handler;
    std::atomic<bool> m_running{false};
    bool m_errorWritten = false;
    std::thread m_thread;
};

class FakeFactory : public SubprocessDependencyFactory
{
public:
    std::shared_ptr<FakeRecord> record = std::make_shared<FakeRecord>();

    std::unique_ptr<SubprocessProcess> createProcess(const QStringList& command) override
    {
        std::lock_guard lock(record->mutex);
        record->commands << command;
        return std::make_unique<FakeProcess>(record);
    }
    Result<FileDescriptor> openFileForReading(const QUrl& url) override
    {
        {
            std::lock_guard lock(record->mutex);
            ++record->filesOpened;
        }
        return SubprocessDependencyBuilder().openFileForReading(url);
    }
    Result<SubprocessDataPipe> createDataPipe(const QByteArray& bytes) override
    {
        std::lock_guard lock(record->mutex);
        ++record->dataPipes;
        if (record->failDataPipe)
            return platformError(EMFILE, QStringLiteral("pipe"));
        return SubprocessDataPipe::create(bytes);
    }
};

std::shared_ptr<FakeFactory> installFake()
{
    auto fake = std::make_shared<FakeFactory>();
    Subprocess::setDependencyFactory(fake);
    return fake;
}

} // namespace

class TestSubprocess : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Subprocess::setDependencyFactory(nullptr); }

    void errorCodesAndDescriptions_data()
    {
        QTest::addColumn<Error>("error");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        const auto exited = [](int status, const QString& message) {
            Error error(Error::Code::ProcessFailed, message);
            error.status = status;
            return error;
        };
        QTest::newRow("non-zero exit") << exited(2, "jq: error: x is not defined") << 2
                                       << "jq: error: x is not defined";
        QTest::newRow("non-zero exit, large status") << exited(255, "") << 255 << "";
        QTest::newRow("property list") << Error(Error::Code::UnexpectedPropertyList, "array") << 10
                                       << "The property list object could not be cast to expected type";
        QTest::newRow("JSON") << Error(Error::Code::UnexpectedJson, "string") << 20
                              << "The JSON object could not be cast to expected type";
        QTest::newRow("input encoding") << Error(Error::Code::InputEncoding, QString()) << 30
                                        << "Input string could not be encoded";
        QTest::newRow("output encoding") << Error(Error::Code::OutputEncoding, QString()) << 40
                                         << "Output string could not be encoded";
        QTest::newRow("platform") << platformError(ENOENT, "/nowhere") << ENOENT << "No such file or directory";
    }
    void errorCodesAndDescriptions()
    {
        QFETCH(Error, error);
        QFETCH(int, code);
        QFETCH(QString, description);
        QCOMPARE(subprocessCode(error), code);
        QCOMPARE(subprocessDescription(error), description);
    }

    // Streams without handlers go to the null device: a child writing far more than a pipe holds must still
    // finish, and the report must come although no pipe is watched.
    void terminationWithoutHandlers_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::newRow("exit 0") << "exit 0" << 0;
        QTest::newRow("exit 5") << "exit 5" << 5;
        QTest::newRow("output nobody reads") << "head -c 1000000 /dev/zero; head -c 1000000 /dev/zero >&2" << 0;
    }
    void terminationWithoutHandlers()
    {
        QFETCH(QString, script);
        QFETCH(int, status);
        auto recorder = Recorder::make();
        auto runner = Subprocess::create(shell(script));
        QVERIFY(runner->launch(std::nullopt, {}, {}, Recorder::onTermination(recorder)));
        QVERIFY(recorder->waitForReport());
        const Recorder::State state = recorder->state();
        QCOMPARE(state.reports, 1);
        QCOMPARE(state.status, status);
        QCOMPARE(state.reason, Subprocess::TerminationReason::Exit);
        QVERIFY(!state.runningAtReport);

        // Without any handler at all, waiting is the only way to learn of the end.
        auto silent = Subprocess::create(shell(script));
        QVERIFY(silent->launch());
        QVERIFY(silent->waitForTermination());
        QVERIFY(!silent->isRunning());
        QCOMPARE(silent->terminationStatus(), status);
    }

    void silentProcessCallsNoHandler()
    {
        auto recorder = Recorder::make();
        auto runner = Subprocess::create({QStringLiteral("/bin/true")});
        QVERIFY(runner->launch(std::nullopt, Recorder::onOutput(recorder), Recorder::onError(recorder),
                               Recorder::onTermination(recorder)));
        QVERIFY(recorder->waitForReport());
        QVERIFY(recorder->state().output.isEmpty());
        QVERIFY(recorder->state().error.isEmpty());

        auto collecting = Recorder::make();
        auto second = Subprocess::create({QStringLiteral("/bin/true")});
        QVERIFY(second->launchCollectingOutput(std::nullopt, Recorder::onCollected(collecting)));
        QVERIFY(collecting->waitForReport());
        QCOMPARE(collecting->state().collectedOutput, QByteArray());
        QCOMPARE(collecting->state().collectedError, QByteArray());
        QCOMPARE(collecting->state().status, 0);
    }

    // The child stops after each piece until the test has seen it, so each piece is exactly one chunk.
    void chunksArriveInOrderOnTheQueue()
    {
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QByteArray fifo = QFile::encodeName(directory.filePath(QStringLiteral("go")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        auto recorder = Recorder::make();
        // Each read repeats until it gets a line: a shell quick enough to open the FIFO again while the test
        // still holds its end reads end-of-file, which is not the go-ahead.
        auto runner = Subprocess::create({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                          QStringLiteral("printf a; printf x >&2; until read v < \"$0\"; do :; done; "
                                                         "printf b; printf y >&2; until read v < \"$0\"; do :; done; "
                                                         "printf c"),
                                          QString::fromLocal8Bit(fifo)});
        QVERIFY(runner->launch(std::nullopt, Recorder::onOutput(recorder), Recorder::onError(recorder),
                               Recorder::onTermination(recorder)));
        QVERIFY(recorder->waitUntil([](const auto& s) { return s.output.size() == 1 && s.error.size() == 1; }));
        QVERIFY(releaseThroughFifo(fifo));
        QVERIFY(recorder->waitUntil([](const auto& s) { return s.output.size() == 2 && s.error.size() == 2; }));
        QVERIFY(releaseThroughFifo(fifo));
        QVERIFY(recorder->waitForReport());

        const Recorder::State state = recorder->state();
        QCOMPARE(state.output, (QList<QByteArray>{"a", "b", "c"}));
        QCOMPARE(state.error, (QList<QByteArray>{"x", "y"}));
        QCOMPARE(state.chunksAtReport, 5);
        QCOMPARE(state.handlerThreads.size(), size_t(1));
        QVERIFY(*state.handlerThreads.begin() != std::this_thread::get_id());
    }

    void collectingKeepsStreamsApart()
    {
        auto recorder = Recorder::make();
        auto runner = Subprocess::create(shell(QStringLiteral("printf a; printf x >&2; sleep 0.05; printf b; "
                                                              "sleep 0.05; printf y >&2; printf c; exit 2")));
        QVERIFY(runner->launchCollectingOutput(std::nullopt, Recorder::onCollected(recorder)));
        QVERIFY(recorder->waitForReport());
        QCOMPARE(recorder->state().collectedOutput, QByteArray("abc"));
        QCOMPARE(recorder->state().collectedError, QByteArray("xy"));
        QCOMPARE(recorder->state().status, 2);
    }

    // The caller lets go at once: the child must run to its end and report, after every chunk, and once. The
    // runner is gone afterwards, so no second report can follow.
    void reportComesLastAndOnceWithoutTheCaller()
    {
        auto recorder = Recorder::make();
        std::weak_ptr<Subprocess> weak;
        {
            auto runner = Subprocess::create(shell(QStringLiteral(
                "i=0; while [ $i -lt 200 ]; do echo line $i; echo problem $i >&2; i=$((i+1)); done; exit 4")));
            weak = runner;
            QVERIFY(runner->launch(std::nullopt, Recorder::onOutput(recorder), Recorder::onError(recorder),
                                   Recorder::onTermination(recorder)));
        }
        QVERIFY(recorder->waitForReport());
        QTRY_VERIFY_WITH_TIMEOUT(weak.expired(), 60000);
        const Recorder::State state = recorder->state();
        QCOMPARE(state.reports, 1);
        QCOMPARE(state.status, 4);
        QCOMPARE(state.chunksAtReport, state.output.size() + state.error.size());
        QVERIFY(joined(state.output).startsWith("line 0\nline 1\n"));
        QVERIFY(joined(state.output).endsWith("line 198\nline 199\n"));
        QCOMPARE(joined(state.output).count('\n'), 200);
        QVERIFY(joined(state.error).endsWith("problem 199\n"));
        QCOMPARE(joined(state.error).count('\n'), 200);
    }

    // Large inputs fill the pipe both ways at once: input must go on while output is drained.
    void dataInputEchoesExactly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("{\"a\": [1, 2, 3]}\n");
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte += char(i);
        QTest::newRow("every byte value") << everyByte;
        QTest::newRow("8 MB") << largeBinary(8 * 1024 * 1024);
    }
    void dataInputEchoesExactly()
    {
        QFETCH(QByteArray, bytes);
        auto recorder = Recorder::make();
        auto runner = Subprocess::create({QStringLiteral("/bin/cat")});
        QVERIFY(runner->launchCollectingOutput(Input::data(bytes), Recorder::onCollected(recorder)));
        QVERIFY(recorder->waitForReport());
        QCOMPARE(recorder->state().status, 0);
        QVERIFY(recorder->state().collectedOutput == bytes);
        QCOMPARE(recorder->state().collectedError, QByteArray());
    }

    // The rest of the input has no reader: writing it must neither raise SIGPIPE nor stall the report.
    void childExitingWithoutReadingItsInput()
    {
        auto recorder = Recorder::make();
        auto runner = Subprocess::create(shell(QStringLiteral("exit 3")));
        QVERIFY(
            runner->launchCollectingOutput(Input::data(largeBinary(8 * 1024 * 1024)), Recorder::onCollected(recorder)));
        QVERIFY(recorder->waitForReport());
        QCOMPARE(recorder->state().status, 3);
        QVERIFY(runner->waitForTermination());
    }

    void textInputIsEncoded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringConverter::Encoding>("encoding");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("UTF-8") << QStringLiteral("caf\u00e9 \u65e5\u672c") << QStringConverter::Utf8
                               << QByteArray("caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac");
        QTest::newRow("Latin-1") << QStringLiteral("caf\u00e9") << QStringConverter::Latin1 << QByteArray("caf\xe9");
        QTest::newRow("UTF-16LE") << QStringLiteral("h\u00e9") << QStringConverter::Utf16LE
                                  << QByteArray("h\0\xe9\0", 4);
        QTest::newRow("UTF-8 with a leading byte-order mark")
            << QStringLiteral("\ufeff{}") << QStringConverter::Utf8 << QByteArray("\xef\xbb\xbf{}");
        QTest::newRow("UTF-32BE, beyond the basic plane")
            << QStringLiteral("\U0001F600") << QStringConverter::Utf32BE << QByteArray("\0\x01\xf6\0", 4);
    }
    void textInputIsEncoded()
    {
        QFETCH(QString, text);
        QFETCH(QStringConverter::Encoding, encoding);
        QFETCH(QByteArray, expected);
        auto recorder = Recorder::make();
        auto runner = Subprocess::create({QStringLiteral("/bin/cat")});
        QVERIFY(runner->launchCollectingOutput(Input::text(text, encoding), Recorder::onCollected(recorder)));
        QVERIFY(recorder->waitForReport());
        QCOMPARE(recorder->state().collectedOutput, expected);
    }

    void unencodableTextStartsNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringConverter::Encoding>("encoding");
        QTest::newRow("Japanese in Latin-1") << QStringLiteral("\u65e5\u672c") << QStringConverter::Latin1;
        QTest::newRow("unpaired surrogate in UTF-8") << withUnit(u"a", 0xd800, u"b") << QStringConverter::Utf8;
        QTest::newRow("trailing unpaired surrogate in UTF-8") << withUnit(u"ab", 0xd800, u"") << QStringConverter::Utf8;
    }
    void unencodableTextStartsNothing()
    {
        QFETCH(QString, text);
        QFETCH(QStringConverter::Encoding, encoding);
        const auto fake = installFake();
        auto recorder = Recorder::make();
        auto runner = Subprocess::create({QStringLiteral("/bin/cat")});
        const auto failure = runner->launch(Input::text(text, encoding), Recorder::onOutput(recorder),
                                            Recorder::onError(recorder), Recorder::onTermination(recorder));
        QVERIFY(!failure);
        QCOMPARE(failure.error().code, Error::Code::InputEncoding);
        QCOMPARE(subprocessDescription(failure.error()), QStringLiteral("Input string could not be encoded"));
        QCOMPARE(fake->record->dataPipes, 0);
        QCOMPARE(fake->record->starts, 0);
        // Nothing keeps the runner: no report is pending.
        const std::weak_ptr<Subprocess> weak = runner;
        runner.reset();
        QVERIFY(weak.expired());
        QCOMPARE(recorder->state().reports, 0);
    }

    void fileInput()
    {
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QString path = directory.filePath(QStringLiteral("input.json"));
        const QByteArray bytes = largeBinary(300 * 1024);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(bytes), bytes.size());
        }
        for (const Input& input : {Input::filePath(path), Input::file(QUrl::fromLocalFile(path))}) {
            auto recorder = Recorder::make();
            auto runner = Subprocess::create({QStringLiteral("/bin/cat")});
            QVERIFY(runner->launchCollectingOutput(input, Recorder::onCollected(recorder)));
            QVERIFY(recorder->waitForReport());
            QVERIFY(recorder->state().collectedOutput == bytes);
        }
    }

    // A launch that fails leaves nothing behind: no report is pending, so the runner goes with the caller's
    // reference.
    void failedLaunches_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<std::optional<Input>>("input");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString missing = QStringLiteral("/nonexistent/brackwell/program");
        const QString notExecutable = QFINDTESTDATA("tst_subprocess.cpp");
        QTest::newRow("missing input file")
            << QStringList{"/bin/cat"} << std::optional(Input::filePath(missing)) << ENOENT << missing;
        QTest::newRow("missing program") << QStringList{missing} << std::optional<Input>() << ENOENT << missing;
        QTest::newRow("not executable") << QStringList{notExecutable, "x"} << std::optional<Input>() << EACCES
                                        << notExecutable;
        QTest::newRow("directory") << QStringList{"/tmp"} << std::optional(Input::data("ignored")) << EACCES << "/tmp";
        QTest::newRow("empty command") << QStringList() << std::optional<Input>() << EINVAL << "The command is empty";
    }
    void failedLaunches()
    {
        QFETCH(QStringList, command);
        QFETCH(std::optional<Input>, input);
        QFETCH(int, code);
        QFETCH(QString, message);
        auto recorder = Recorder::make();
        auto runner = Subprocess::create(command);
        const auto failure = runner->launch(input, Recorder::onOutput(recorder), Recorder::onError(recorder),
                                            Recorder::onTermination(recorder));
        QVERIFY(!failure);
        QCOMPARE(failure.error().code, Error::Code::Platform);
        QCOMPARE(failure.error().status, code);
        QCOMPARE(failure.error().message, message);
        QVERIFY(runner->waitForTermination());
        const std::weak_ptr<Subprocess> weak = runner;
        runner.reset();
        QVERIFY(weak.expired());
        QCOMPARE(recorder->state().reports, 0);
    }

    void terminateEndsTheChild_data()
    {
        QTest::addColumn<bool>("suspendFirst");
        QTest::newRow("running") << false;
        QTest::newRow("suspended") << true;
    }
    void terminateEndsTheChild()
    {
        QFETCH(bool, suspendFirst);
        auto recorder = Recorder::make();
        auto runner = Subprocess::create({QStringLiteral("/bin/sleep"), QStringLiteral("30")});
        QVERIFY(!runner->suspend());
        QVERIFY(runner->launch(std::nullopt, Recorder::onOutput(recorder), {}, Recorder::onTermination(recorder)));
        QVERIFY(runner->isRunning());
        QVERIFY(runner->processIdentifier() > 0);
        QVERIFY(runner->suspend());
        QVERIFY(runner->resume());
        if (suspendFirst)
            QVERIFY(runner->suspend());
        runner->terminate();
        QVERIFY(recorder->waitForReport());
        QCOMPARE(recorder->state().reason, Subprocess::TerminationReason::UncaughtSignal);
        QCOMPARE(recorder->state().status, SIGTERM);
        QVERIFY(!runner->isRunning());
        QVERIFY(!runner->suspend());
        QVERIFY(!runner->resume());
    }

    void fakeFactoryIsTheOnlyOneUsed()
    {
        const auto fake = installFake();
        QCOMPARE(Subprocess::dependencyFactory(), fake);
        auto recorder = Recorder::make();
        const QStringList command{QStringLiteral("/nonexistent/jq"), QStringLiteral(".a")};
        auto runner = Subprocess::create(command);
        QCOMPARE(fake->record->commands, QList<QStringList>{command});
        QVERIFY(runner->launch(Input::data("{\"a\": 1}"), Recorder::onOutput(recorder), Recorder::onError(recorder),
                               Recorder::onTermination(recorder)));
        QVERIFY(recorder->waitForReport());
        QCOMPARE(joined(recorder->state().output), QByteArray("{\"a\": 1}"));
        QCOMPARE(joined(recorder->state().error), QByteArray("fake\n"));
        QCOMPARE(recorder->state().status, 7);
        QCOMPARE(runner->processIdentifier(), 4242);
        QCOMPARE(fake->record->dataPipes, 1);
        QCOMPARE(fake->record->starts, 1);

        Subprocess::setDependencyFactory(nullptr);
        QVERIFY(std::dynamic_pointer_cast<SubprocessDependencyBuilder>(Subprocess::dependencyFactory()));
    }

    void failingDataPipeStartsNothing()
    {
        const auto fake = installFake();
        fake->record->failDataPipe = true;
        auto runner = Subprocess::create({QStringLiteral("/bin/cat")});
        const auto failure = runner->launch(Input::data("x"));
        QVERIFY(!failure);
        QCOMPARE(failure.error().code, Error::Code::Platform);
        QCOMPARE(failure.error().status, EMFILE);
        QCOMPARE(fake->record->starts, 0);
    }

    // A runner runs once; and waiting on its own queue would block that queue forever, so it is refused.
    void misuseIsRefused()
    {
        auto recorder = Recorder::make();
        std::atomic<int> waitedOnQueue{-1};
        auto runner = Subprocess::create({QStringLiteral("/bin/true")});
        QVERIFY(runner->launch(std::nullopt, {}, {}, [&waitedOnQueue, recorder](Subprocess& self) {
            waitedOnQueue = self.waitForTermination();
            Recorder::onTermination(recorder)(self);
        }));
        const auto again = runner->launch();
        QVERIFY(!again);
        QCOMPARE(again.error().code, Error::Code::Platform);
        QCOMPARE(again.error().status, EALREADY);
        QVERIFY(recorder->waitForReport());
        QCOMPARE(waitedOnQueue.load(), 0);
        QCOMPARE(recorder->state().reports, 1);
    }
};

QTEST_GUILESS_MAIN(TestSubprocess)
#include "tst_subprocess.moc"
