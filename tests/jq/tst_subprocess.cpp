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
using namespace Qt::Literals::StringLiterals;

namespace {

// Which handlers a run is launched with.
enum class Watch { Nothing, Report, Streams, Collected };

// Generous: a sanitizer build on a busy machine is slow, and nothing here should ever come near it.
constexpr auto kPatience = std::chrono::seconds(60);

// What a runner handed to its handlers, recorded on its queue and read on the test thread. Handlers hold it
// by shared pointer, so a test that fails early cannot leave them writing into freed memory.
class Recorder
{
public:
    struct State
    {
        // The chunks as they came; a collecting run's whole streams as one chunk each.
        QList<QByteArray> output;
        QList<QByteArray> error;
        std::set<std::thread::id> handlerThreads;
        int reports = 0;
        // How many chunks had arrived when the report came.
        qsizetype chunksAtReport = -1;
        qint32 status = -1;
        Subprocess::TerminationReason reason = Subprocess::TerminationReason::Exit;
        bool runningAtReport = true;

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
                s.output = {output};
                s.error = {error};
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

// Records what it is asked for, and its data pipes can be made to fail. Its processes are real, but whatever
// the command, they run a stand-in that copies its input to its output, writes a line to standard error and
// exits with status 7. Everything is asked for on the launching thread.
class FakeFactory : public SubprocessDependencyFactory
{
public:
    QList<QStringList> commands;
    int dataPipes = 0;
    bool failDataPipe = false;

    std::unique_ptr<SubprocessProcess> createProcess(const QStringList& command) override
    {
        commands << command;
        return m_real.createProcess(shell(QStringLiteral("cat; echo fake >&2; exit 7")));
    }
    Result<FileDescriptor> openFileForReading(const QUrl& url) override { return m_real.openFileForReading(url); }
    Result<SubprocessDataPipe> createDataPipe(const QByteArray& bytes) override
    {
        ++dataPipes;
        if (failDataPipe)
            return platformError(EMFILE, QStringLiteral("pipe"));
        return m_real.createDataPipe(bytes);
    }

private:
    SubprocessDependencyBuilder m_real;
};

std::shared_ptr<FakeFactory> installFake()
{
    auto fake = std::make_shared<FakeFactory>();
    Subprocess::setDependencyFactory(fake);
    return fake;
}

} // namespace

Q_DECLARE_METATYPE(Error)
Q_DECLARE_METATYPE(Error::Code)
Q_DECLARE_METATYPE(std::optional<Subprocess::Input>)
Q_DECLARE_METATYPE(Watch)

class TestSubprocess : public QObject
{
    Q_OBJECT

private slots:
    // A file for the input rows, written once.
    void initTestCase()
    {
        QVERIFY(m_directory.isValid());
        m_file = m_directory.filePath(QStringLiteral("input.json"));
        m_fileBytes = largeBinary(300 * 1024);
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(m_fileBytes), m_fileBytes.size());
    }
    void cleanup() { Subprocess::setDependencyFactory(nullptr); }

    // The errors no launch raises; the others are checked where launches fail.
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
        QTest::newRow("output encoding") << Error(Error::Code::OutputEncoding, QString()) << 40
                                         << "Output string could not be encoded";
    }
    void errorCodesAndDescriptions()
    {
        QFETCH(Error, error);
        QFETCH(int, code);
        QFETCH(QString, description);
        QCOMPARE(subprocessCode(error), code);
        QCOMPARE(subprocessDescription(error), description);
    }

    // What a program writes reaches its handlers whole, in its own stream, whatever feeds its input and however
    // it is watched. The caller lets go at once: the child runs to its end and reports once, after every chunk.
    // Streams without handlers go to the null device, so a child writing far more than a pipe holds still
    // finishes. Large inputs fill the pipe both ways at once: input must go on while output is drained, and a
    // child that leaves its input unread must neither raise SIGPIPE nor stall the report.
    void runsToItsReport_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<std::optional<Input>>("input");
        QTest::addColumn<Watch>("watch");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("error");
        QTest::addColumn<int>("status");
        const QStringList cat{QStringLiteral("/bin/cat")};
        const std::optional<Input> none;
        const QByteArray nothing;
        const auto data = [](const QByteArray& bytes) { return std::optional(Input::data(bytes)); };
        const auto text = [](const QString& value, QStringConverter::Encoding encoding) {
            return std::optional(Input::text(value, encoding));
        };
        const QStringList unread = shell("head -c 1000000 /dev/zero; head -c 1000000 /dev/zero >&2");
        const QStringList interleaved =
            shell("printf a; printf x >&2; sleep 0.05; printf b; sleep 0.05; printf y >&2; printf c; exit 2");
        QByteArray lines;
        QByteArray problems;
        for (int i = 0; i < 200; ++i) {
            lines += "line " + QByteArray::number(i) + '\n';
            problems += "problem " + QByteArray::number(i) + '\n';
        }
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte += char(i);
        const QByteArray large = largeBinary(8 * 1024 * 1024);

        QTest::newRow("exit 5, report only") << shell("exit 5") << none << Watch::Report << nothing << nothing << 5;
        QTest::newRow("exit 5, no handler") << shell("exit 5") << none << Watch::Nothing << nothing << nothing << 5;
        QTest::newRow("output nobody reads, report only") << unread << none << Watch::Report << nothing << nothing << 0;
        QTest::newRow("output nobody reads, no handler") << unread << none << Watch::Nothing << nothing << nothing << 0;
        QTest::newRow("silent") << QStringList{"/bin/true"} << none << Watch::Streams << nothing << nothing << 0;
        QTest::newRow("interleaved") << interleaved << none << Watch::Streams << "abc"_ba
                                     << "xy"_ba << 2;
        QTest::newRow("interleaved, collected") << interleaved << none << Watch::Collected << "abc"_ba
                                                << "xy"_ba << 2;
        QTest::newRow("many lines")
            << shell("i=0; while [ $i -lt 200 ]; do echo line $i; echo problem $i >&2; i=$((i+1)); done; exit 4")
            << none << Watch::Streams << lines << problems << 4;
        QTest::newRow("empty data") << cat << data({}) << Watch::Collected << nothing << nothing << 0;
        QTest::newRow("JSON data") << cat << data("{\"a\": [1, 2, 3]}\n") << Watch::Collected
                                   << "{\"a\": [1, 2, 3]}\n"_ba << nothing << 0;
        QTest::newRow("every byte value") << cat << data(everyByte) << Watch::Collected << everyByte << nothing << 0;
        QTest::newRow("8 MB") << cat << data(large) << Watch::Collected << large << nothing << 0;
        // The child closes its input and lives on a little: the rest is surely written to a pipe without reader.
        QTest::newRow("8 MB left unread")
            << shell("exec 0<&-; sleep 0.1; exit 3") << data(large) << Watch::Collected << nothing << nothing << 3;
        QTest::newRow("UTF-8 text") << cat << text(u"caf\u00e9 \u65e5\u672c"_s, QStringConverter::Utf8)
                                    << Watch::Collected << "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac"_ba << nothing << 0;
        QTest::newRow("Latin-1 text") << cat << text(u"caf\u00e9"_s, QStringConverter::Latin1) << Watch::Collected
                                      << "caf\xe9"_ba << nothing << 0;
        QTest::newRow("UTF-16LE text") << cat << text(u"h\u00e9"_s, QStringConverter::Utf16LE) << Watch::Collected
                                       << QByteArray("h\0\xe9\0", 4) << nothing << 0;
        QTest::newRow("UTF-8 text with a leading byte-order mark")
            << cat << text(u"\ufeff{}"_s, QStringConverter::Utf8) << Watch::Collected << "\xef\xbb\xbf{}"_ba << nothing
            << 0;
        QTest::newRow("UTF-32BE text beyond the basic plane")
            << cat << text(u"\U0001F600"_s, QStringConverter::Utf32BE) << Watch::Collected
            << QByteArray("\0\x01\xf6\0", 4) << nothing << 0;
        QTest::newRow("file path") << cat << std::optional(Input::filePath(m_file)) << Watch::Collected << m_fileBytes
                                   << nothing << 0;
        QTest::newRow("file URL") << cat << std::optional(Input::file(QUrl::fromLocalFile(m_file))) << Watch::Collected
                                  << m_fileBytes << nothing << 0;
    }
    void runsToItsReport()
    {
        QFETCH(QStringList, command);
        QFETCH(std::optional<Input>, input);
        QFETCH(Watch, watch);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, error);
        QFETCH(int, status);
        auto recorder = Recorder::make();
        auto runner = Subprocess::create(command);
        const std::weak_ptr<Subprocess> weak = runner;
        switch (watch) {
        case Watch::Nothing:
            // Without any handler at all, waiting is the only way to learn of the end.
            QVERIFY(runner->launch(input));
            QVERIFY(runner->waitForTermination());
            QVERIFY(!runner->isRunning());
            QCOMPARE(runner->terminationStatus(), status);
            return;
        case Watch::Report:
            QVERIFY(runner->launch(input, {}, {}, Recorder::onTermination(recorder)));
            break;
        case Watch::Streams:
            QVERIFY(runner->launch(input, Recorder::onOutput(recorder), Recorder::onError(recorder),
                                   Recorder::onTermination(recorder)));
            break;
        case Watch::Collected:
            QVERIFY(runner->launchCollectingOutput(input, Recorder::onCollected(recorder)));
            break;
        }
        runner.reset();
        QVERIFY(recorder->waitForReport());
        // Once the runner is gone no second report can follow.
        QTRY_VERIFY_WITH_TIMEOUT(weak.expired(), 60000);
        const Recorder::State state = recorder->state();
        QCOMPARE(state.reports, 1);
        QCOMPARE(state.status, status);
        QCOMPARE(state.reason, Subprocess::TerminationReason::Exit);
        QVERIFY(!state.runningAtReport);
        if (watch == Watch::Report)
            return;
        QCOMPARE(state.chunksAtReport, state.output.size() + state.error.size());
        if (watch == Watch::Streams)
            QVERIFY(!state.output.contains(QByteArray()) && !state.error.contains(QByteArray()));
        // Not QCOMPARE: on a mismatch it would print megabytes.
        QVERIFY(joined(state.output) == output);
        QCOMPARE(joined(state.error), error);
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

    // A launch that fails leaves nothing behind: no report is pending, so the runner goes with the caller's
    // reference, and nothing was started. Input that cannot be had is found before anything else is set up:
    // the fake factory, whose data pipes fail, counts the pipes asked of it (fakePipes -1: the real factory).
    void failedLaunches_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<std::optional<Input>>("input");
        QTest::addColumn<int>("fakePipes");
        QTest::addColumn<Error::Code>("code");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("description");
        const QString missing = QStringLiteral("/nonexistent/brackwell/program");
        const QString notExecutable = QFINDTESTDATA("tst_subprocess.cpp");
        const QStringList cat{"/bin/cat"};
        const auto text = [](const QString& value, QStringConverter::Encoding encoding) {
            return std::optional(Input::text(value, encoding));
        };
        const auto platform = Error::Code::Platform;
        const auto encoding = Error::Code::InputEncoding;
        const QString unencodable = QStringLiteral("Input string could not be encoded");
        const QString noEntry = QStringLiteral("No such file or directory");
        const QString denied = QStringLiteral("Permission denied");
        QTest::newRow("missing input file")
            << cat << std::optional(Input::filePath(missing)) << -1 << platform << ENOENT << missing << noEntry;
        QTest::newRow("missing program") << QStringList{missing} << std::optional<Input>() << -1 << platform << ENOENT
                                         << missing << noEntry;
        QTest::newRow("not executable") << QStringList{notExecutable, "x"} << std::optional<Input>() << -1 << platform
                                        << EACCES << notExecutable << denied;
        QTest::newRow("directory") << QStringList{"/tmp"} << std::optional(Input::data("ignored")) << -1 << platform
                                   << EACCES << "/tmp" << denied;
        QTest::newRow("empty command") << QStringList() << std::optional<Input>() << -1 << platform << EINVAL
                                       << "The command is empty"
                                       << "Invalid argument";
        QTest::newRow("no pipe for the data")
            << cat << std::optional(Input::data("x")) << 1 << platform << EMFILE << "pipe"
            << "Too many open files";
        QTest::newRow("Japanese in Latin-1")
            << cat << text(u"\u65e5\u672c"_s, QStringConverter::Latin1) << 0 << encoding << 30 << "" << unencodable;
        QTest::newRow("unpaired surrogate in UTF-8")
            << cat << text(withUnit(u"a", 0xd800, u"b"), QStringConverter::Utf8) << 0 << encoding << 30 << ""
            << unencodable;
        QTest::newRow("trailing unpaired surrogate in UTF-8")
            << cat << text(withUnit(u"ab", 0xd800, u""), QStringConverter::Utf8) << 0 << encoding << 30 << ""
            << unencodable;
    }
    void failedLaunches()
    {
        QFETCH(QStringList, command);
        QFETCH(std::optional<Input>, input);
        QFETCH(int, fakePipes);
        QFETCH(Error::Code, code);
        QFETCH(int, number);
        QFETCH(QString, message);
        QFETCH(QString, description);
        std::shared_ptr<FakeFactory> fake;
        if (fakePipes >= 0) {
            fake = installFake();
            fake->failDataPipe = true;
        }
        auto recorder = Recorder::make();
        auto runner = Subprocess::create(command);
        const Result<void> launched = runner->launch(input, Recorder::onOutput(recorder), Recorder::onError(recorder),
                                                     Recorder::onTermination(recorder));
        QVERIFY(!launched);
        QCOMPARE(launched.error().code, code);
        QCOMPARE(subprocessCode(launched.error()), number);
        QCOMPARE(launched.error().message, message);
        QCOMPARE(subprocessDescription(launched.error()), description);
        QCOMPARE(runner->processIdentifier(), 0);
        if (fake)
            QCOMPARE(fake->dataPipes, fakePipes);
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
        QCOMPARE(fake->commands, QList<QStringList>{command});
        QVERIFY(runner->launch(Input::data("{\"a\": 1}"), Recorder::onOutput(recorder), Recorder::onError(recorder),
                               Recorder::onTermination(recorder)));
        QVERIFY(recorder->waitForReport());
        QCOMPARE(joined(recorder->state().output), QByteArray("{\"a\": 1}"));
        QCOMPARE(joined(recorder->state().error), QByteArray("fake\n"));
        QCOMPARE(recorder->state().status, 7);
        QCOMPARE(fake->dataPipes, 1);

        Subprocess::setDependencyFactory(nullptr);
        QVERIFY(std::dynamic_pointer_cast<SubprocessDependencyBuilder>(Subprocess::dependencyFactory()));
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
        const Result<void> again = runner->launch();
        QVERIFY(!again);
        QCOMPARE(again.error().code, Error::Code::Platform);
        QCOMPARE(again.error().status, EALREADY);
        QVERIFY(recorder->waitForReport());
        QCOMPARE(waitedOnQueue.load(), 0);
        QCOMPARE(recorder->state().reports, 1);
    }

private:
    QTemporaryDir m_directory;
    QString m_file;
    QByteArray m_fileBytes;
};

QTEST_GUILESS_MAIN(TestSubprocess)
#include "tst_subprocess.moc"
