#include "jq/ChildProcess.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(ChildProcess::Ended)
Q_DECLARE_METATYPE(ChildProcess::Outcome)

// How a run ends is reported once, with the right kind, whatever the program does.
class TestChildProcess : public QObject
{
    Q_OBJECT
private slots:
    void outcomes_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("script");
        QTest::addColumn<ChildProcess::Ended>("ended");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("errors");
        const QString sh = QStringLiteral("/bin/sh");
        QTest::newRow("input to output") << sh << "cat; echo oops >&2" << ChildProcess::Ended::Exited << 0
                                         << QByteArray("[1,2]") << QByteArray("oops\n");
        QTest::newRow("non-zero exit") << sh << "exit 3" << ChildProcess::Ended::Exited << 3 << QByteArray()
                                       << QByteArray();
        // Exits before reading its input: writing the rest fails quietly.
        QTest::newRow("input not read") << sh << "exit 0" << ChildProcess::Ended::Exited << 0 << QByteArray()
                                        << QByteArray();
        QTest::newRow("killed") << sh << "kill -9 $$" << ChildProcess::Ended::Crashed << 9 << QByteArray()
                                << QByteArray();
        QTest::newRow("missing program") << "/nonexistent/program"
                                         << "" << ChildProcess::Ended::NotStarted << 0 << QByteArray() << QByteArray();
    }
    void outcomes()
    {
        QFETCH(QString, program);
        QFETCH(QString, script);
        QFETCH(ChildProcess::Ended, ended);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, errors);
        ChildProcess child;
        std::vector<ChildProcess::Outcome> outcomes;
        connect(&child, &ChildProcess::finished, this,
                [&outcomes](const ChildProcess::Outcome& outcome) { outcomes.push_back(outcome); });
        const QByteArray input = ended == ChildProcess::Ended::Exited && !output.isEmpty()
                                     ? output
                                     : QByteArray(1 << 20, 'x'); // more than a pipe holds
        QVERIFY(child.start(program, {QStringLiteral("-c"), script}, input));
        QTRY_COMPARE(outcomes.size(), std::size_t(1));
        QVERIFY(!child.isRunning());
        const ChildProcess::Outcome& outcome = outcomes.front();
        QCOMPARE(outcome.ended, ended);
        QCOMPARE(outcome.status, status);
        QCOMPARE(outcome.output, output);
        QCOMPARE(outcome.errors, errors);
        QCOMPARE(outcome.succeeded(), ended == ChildProcess::Ended::Exited && status == 0);
        QCOMPARE(outcome.systemError.isEmpty(), ended == ChildProcess::Ended::Exited);
        // Nothing more arrives later.
        QTest::qWait(50);
        QCOMPARE(outcomes.size(), std::size_t(1));
    }

    // One run at a time; stop() ends a run and it is still reported; cancel() ends it without a report.
    void stopAndCancel()
    {
        ChildProcess child;
        QSignalSpy finished(&child, &ChildProcess::finished);
        const QStringList sleep{QStringLiteral("-c"), QStringLiteral("sleep 30")};
        QVERIFY(child.start(QStringLiteral("/bin/sh"), sleep, {}));
        const auto busy = child.start(QStringLiteral("/bin/sh"), sleep, {});
        QVERIFY(!busy);
        QCOMPARE(busy.error().code, Error::Code::ProcessBusy);
        child.stop();
        QTRY_COMPARE(finished.size(), 1);
        const auto stopped = finished.first().first().value<ChildProcess::Outcome>();
        QCOMPARE(stopped.ended, ChildProcess::Ended::Crashed);
        QCOMPARE(stopped.status, 15);

        QVERIFY(child.start(QStringLiteral("/bin/sh"), sleep, {}));
        child.cancel();
        QVERIFY(!child.isRunning());
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestChildProcess)
#include "tst_childprocess.moc"
