// The text the code editor shows, written natively and sent as changed lines: the pretty layout written a piece
// at a time, the line hashes the writer keeps against those of the text, and the run of changed lines found
// from the hashes and applied to a text.

#include "editor/PageLines.h"
#include "model/Document.h"
#include "model/JsonWriter.h"
#include "model/TreeNode.h"

#include <QRandomGenerator>
#include <QTest>

class PageLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void prettyTextInPartsIsTheWholeText_data();
    void prettyTextInPartsIsTheWholeText();
    void changedLinesTurnOneTextIntoTheOther();
};

void PageLinesTest::prettyTextInPartsIsTheWholeText_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("pretty");
    QTest::newRow("empty object") << QByteArray("{}") << QByteArray("{}");
    QTest::newRow("empty array") << QByteArray("[ ]") << QByteArray("[]");
    QTest::newRow("nested") << QByteArray(R"({"b": [1, {}, [[]], {"c": "x\ny"}], "a": null})")
                            << QByteArray("{\n  \"a\": null,\n  \"b\": [\n    1,\n    {},\n    [\n      []\n    ],\n"
                                          "    {\n      \"c\": \"x\\ny\"\n    }\n  ]\n}");
    QTest::newRow("duplicate names, the last kept")
        << QByteArray(R"({"a": 1, "a": [2]})") << QByteArray("{\n  \"a\": [\n    2\n  ]\n}");
}

void PageLinesTest::prettyTextInPartsIsTheWholeText()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, pretty);
    auto document = Document::documentFromBytes(json).value();
    QVERIFY(document);
    QCOMPARE(JsonWriter::writePretty(document->root()).value_or("?"), pretty);
    QCOMPARE(JsonWriter::write(document->root()).value_or("?"), JsonWriter::write(document->root()).value_or("!"));
    // Taken in parts of whole lines after every value written, the parts joined by line breaks are the text, and
    // the hashes kept while writing are those of its lines.
    JsonWriter::JsonTextWriter writer(document->root(), JsonWriter::JsonTextWriter::Layout::Pretty);
    writer.keepLineHashes();
    QByteArrayList parts;
    while (!writer.writeUntil(QDeadlineTimer(0)))
        if (std::optional<QByteArray> lines = writer.takeCompleteLines())
            parts << *lines;
    parts << writer.take().value_or("?");
    QCOMPARE(parts.join('\n'), pretty);
    QCOMPARE(writer.takeLineHashes(), PageLines::hash(pretty));
}

void PageLinesTest::changedLinesTurnOneTextIntoTheOther()
{
    QRandomGenerator random(7);
    const QByteArrayList words{"", "a", "{", "  \"k\": 1,", "}"};
    const auto someText = [&] {
        QByteArrayList lines;
        for (int i = 0, n = 1 + random.bounded(6); i < n; ++i)
            lines << words[random.bounded(int(words.size()))];
        return lines.join('\n');
    };
    for (int round = 0; round < 2000; ++round) {
        const QByteArray before = someText();
        const QByteArray after = round % 10 == 0 ? before : someText();
        const PageLines::Change change = PageLines::diff(PageLines::hash(before), PageLines::hash(after));
        const QByteArray label = before.toPercentEncoding() + " -> " + after.toPercentEncoding();
        if (before == after)
            QVERIFY2(change.removed == 0 && change.added == 0, label.constData());
        const QByteArrayView inserted = PageLines::lines(after, change.from, change.added);
        QCOMPARE(PageLines::splice(before, change.from, change.removed, inserted, change.added).value_or("?"), after);
        // Lines before and after the run are the same in both texts.
        QCOMPARE(PageLines::lines(before, 0, change.from), PageLines::lines(after, 0, change.from));
    }
    // A run beyond the text is refused.
    QVERIFY(!PageLines::splice("a\nb", 1, 2, "x", 1));
    QVERIFY(!PageLines::splice("a", 0, 1, "x", 0));
}

QTEST_GUILESS_MAIN(PageLinesTest)
#include "tst_pagelines.moc"
