#include "TestSupport.h"
#include "model/Document.h"
#include "model/JsonReader.h"
#include "model/PipelinedParse.h"
#include "model/TreeBuilder.h"

#include <QTest>

// Large documents are read on one thread and built on another; the result must be exactly what a single
// thread builds, and failures must end cleanly whatever is in flight.
class TestPipelinedParse : public QObject
{
    Q_OBJECT

    // About 3 MiB: past the size from which reading and building run on two threads. Escaped strings and
    // keys make the reader hand over views into its own buffers, which must stay valid until built.
    static QByteArray largeDocument()
    {
        QByteArray text = "{\"items\":[";
        for (int i = 0; text.size() < 3 * 1024 * 1024; ++i) {
            if (i > 0)
                text += ',';
            text += QStringLiteral("{\"id\":%1,\"price\":%2.25,\"ok\":%3,\"none\":null,"
                                   "\"tab\\tkey\":\"line\\nbreak \\\"%1\\\" caf\\u00e9 x/y\","
                                   "\"plain\":\"word%1\",\"tags\":[\"a\",\"b\\u0001\",%1e3],"
                                   "\"z%4\":{\"deep\":[[[%1]]]}}")
                        .arg(i)
                        .arg(i % 1000)
                        .arg(i % 2 ? "true" : "false")
                        .arg(i % 7)
                        .toUtf8();
        }
        text += "],\"count\":1}";
        return text;
    }

    static OwnedTree buildOnOneThread(QByteArray text)
    {
        TreeBuilder builder;
        if (!JsonReader::parse(text, builder))
            return nullptr;
        return builder.finish();
    }

private slots:
    void sameTreeAsOneThread()
    {
        const QByteArray text = largeDocument();
        QByteArray pipelinedText = text;
        TreeBuilder builder;
        QVERIFY(PipelinedParse::parse(pipelinedText, builder));
        const OwnedTree pipelined = builder.finish();
        const OwnedTree single = buildOnOneThread(text);
        QVERIFY(pipelined && single);
        QCOMPARE(pipelined->jsonText().value_or("?"), single->jsonText().value_or("!"));
        QCOMPARE(pipelined->description(), single->description());

        // And both agree with the plain value reader.
        const auto value = JsonReader::parseValue(text);
        QVERIFY(value);
        QVERIFY(*pipelined->jsonObject() == *value);
    }

    // A document cut anywhere fails with an error and leaves nothing behind (the sanitizer build checks the
    // memory), however many values were already on their way to the builder.
    void truncatedDocumentsFail()
    {
        const QByteArray text = largeDocument();
        for (const qsizetype cut : {qsizetype(2) * 1024 * 1024 + 1, text.size() / 2 + 7, text.size() - 2}) {
            Error error;
            QVERIFY(!loaded(Document::documentFromBytes(text.left(cut)), &error));
            // Cut inside a string, or between values.
            QVERIFY(error.code == Error::Code::BadString || error.code == Error::Code::Syntax);
            QVERIFY(error.offset > 0 && error.offset <= cut);
        }
    }

    void errorInTheMiddleIsLocated()
    {
        QByteArray text = largeDocument();
        const qsizetype at = text.indexOf("\"id\":", text.size() / 2) + 5;
        text[at] = 't'; // "id":t23, not a literal
        Error error;
        QVERIFY(!loaded(Document::documentFromBytes(text), &error));
        QCOMPARE(error.code, Error::Code::Syntax);
        QCOMPARE(error.offset, at);
        QCOMPARE(error.line, 1);
    }

    void tooDeepLargeDocumentFails()
    {
        QByteArray text = largeDocument();
        text.chop(1);
        text += ",\"deep\":" + QByteArray(2000, '[') + QByteArray(2000, ']') + "}";
        Error error;
        QVERIFY(!loaded(Document::documentFromBytes(text), &error));
        QCOMPARE(error.code, Error::Code::TooDeep);
        QVERIFY(error.message.contains(QLatin1String("1024")));
    }
};

QTEST_GUILESS_MAIN(TestPipelinedParse)
#include "tst_pipelinedparse.moc"
