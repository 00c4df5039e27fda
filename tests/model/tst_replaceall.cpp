#include "TestSupport.h"
#include "model/Log.h"
#include "model/Notifications.h"
#include "model/TreeNode.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString kOperation = QStringLiteral("replaceAll(_:with:caseSensitive:includeKeys:)");

// The document's JSON as the writer puts it (sorted keys, compact), so that texts compare whole.
QByteArray normalized(const QString& json)
{
    const auto root = treeFromText(json);
    return root ? root->jsonText().value_or("not writable") : QByteArray("not a document");
}

int warningsNamingReplaceAll(const LogRecorder& log)
{
    int count = 0;
    for (qsizetype i = 0; i < log.lines.size(); ++i)
        count += log.levels[i] == Log::Level::Warning && log.lines[i].contains(kOperation + QLatin1Char(']'));
    return count;
}

} // namespace

class TestReplaceAll : public QObject
{
    Q_OBJECT
private slots:
    // Literal text in string values, and in member names only with keys on; each rewritten text counts once. A run
    // posts one TreeDataChanged (and moves the tree's generation on) however many texts change, and none when none
    // does.
    void replaces_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("includeKeys");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const char* json, const char* find, const char* replacement, bool cs,
                            bool keys, qsizetype count, const char* expected) {
            QTest::newRow(tag) << QString::fromUtf8(json) << QString::fromUtf8(find) << QString::fromUtf8(replacement)
                               << cs << keys << count << QString::fromUtf8(expected);
        };
        row("three hits count once", "{\"v\":\"aaa\"}", "a", "b", true, false, 1, "{\"v\":\"bbb\"}");
        row("scanned from the start", "{\"v\":\"aaa\"}", "aa", "b", true, false, 1, "{\"v\":\"ba\"}");
        row("empty replacement deletes", "{\"v\":\"a-b-c\"}", "-", "", true, false, 1, "{\"v\":\"abc\"}");
        row("keys ignoring case", "{\"KEY\":\"key\",\"other\":\"Key\"}", "key", "id", false, true, 3,
            "{\"id\":\"id\",\"other\":\"id\"}");
        row("keys off", "{\"KEY\":\"key\",\"other\":\"Key\"}", "key", "id", false, false, 2,
            "{\"KEY\":\"id\",\"other\":\"id\"}");
        row("case kept", "{\"KEY\":\"key\",\"other\":\"Key\"}", "key", "id", true, true, 1,
            "{\"KEY\":\"id\",\"other\":\"Key\"}");
        row("text by itself", "{\"ab\":\"ab\"}", "b", "b", true, true, 0, "{\"ab\":\"ab\"}");
        row("empty find", "{\"ab\":\"ab\"}", "", "b", true, true, 0, "{\"ab\":\"ab\"}");
        row("text by itself ignoring case", "{\"ab\":\"ab\"}", "B", "b", false, true, 0, "{\"ab\":\"ab\"}");
        row("numbers", "{\"i\":123,\"f\":1.25}", "2", "x", true, true, 0, "{\"i\":123,\"f\":1.25}");
        row("boolean and null", "{\"t\":true,\"n\":null}", "u", "x", true, false, 0, "{\"t\":true,\"n\":null}");
        row("string of digits", "{\"i\":123,\"s\":\"123\"}", "2", "x", true, false, 1, "{\"i\":123,\"s\":\"1x3\"}");
        row("elements have no names", "[\"ab\",{\"ab\":\"ab\"}]", "a", "x", true, true, 3, "[\"xb\",{\"xb\":\"xb\"}]");
        row("nested", "{\"a\":{\"b\":[\"xx\",{\"c\":\"x\"}]}}", "x", "yz", true, true, 2,
            "{\"a\":{\"b\":[\"yzyz\",{\"c\":\"yz\"}]}}");
        row("non-ASCII ignoring case", "{\"ÉCOLE\":\"une école\"}", "école", "lycée", false, true, 2,
            "{\"lycée\":\"une lycée\"}");
        row("non-ASCII with case", "{\"ÉCOLE\":\"une école\"}", "école", "lycée", true, true, 1,
            "{\"ÉCOLE\":\"une lycée\"}");
        row("ASCII find in non-ASCII text", "{\"v\":\"naïve AB\"}", "ab", "cd", false, false, 1,
            "{\"v\":\"naïve cd\"}");
        // Characters outside ASCII that equal ASCII letters when case is ignored.
        row("Kelvin sign", "{\"v\":\"\u212A\"}", "k", "x", false, false, 1, "{\"v\":\"x\"}");
        row("long s", "{\"v\":\"\u017F!\"}", "S", "x", false, false, 1, "{\"v\":\"x!\"}");
        row("Kelvin sign with case", "{\"v\":\"\u212A\"}", "k", "x", true, false, 0, "{\"v\":\"\u212A\"}");
    }
    void replaces()
    {
        QFETCH(QString, json);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, includeKeys);
        QFETCH(qsizetype, count);
        QFETCH(QString, expected);
        const auto root = treeFromText(json);
        QVERIFY(root);
        QSignalSpy data(&root->notifications(), &Notifications::treeDataChanged);
        qsizetype skipped = 0;
        QCOMPARE(root->replaceAll(find, replacement, caseSensitive, includeKeys, &skipped), count);
        QCOMPARE(skipped, 0);
        QCOMPARE(data.count(), int(count > 0));
        QCOMPARE(root->treeGeneration() > 0, count > 0);
        QCOMPARE(root->jsonText().value_or("not writable"), normalized(expected));
    }

    // The root's name is replaced like any other name, and only with keys on.
    void rootName()
    {
        const auto root = treeFromText(QStringLiteral("{\"root\":\"root\"}"));
        QVERIFY(root);
        QCOMPARE(root->replaceAll(QStringLiteral("oo"), QStringLiteral("u"), true, false), 1);
        QCOMPARE(root->name(), QStringLiteral("root"));
        QCOMPARE(root->replaceAll(QStringLiteral("o"), QStringLiteral("e"), true, true), 2);
        QCOMPARE(root->name(), QStringLiteral("reet"));
        QCOMPARE(root->jsonText().value_or("?"), QByteArray("{\"reet\":\"rut\"}"));
    }

    // A rename to a name another member of the same object has at that moment is skipped, counted and logged, so
    // that saving loses no member; the values are still replaced. The names are taken as they stand during the run.
    void duplicateKeys_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<qsizetype>("skipped");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const char* json, const char* find, const char* replacement, bool cs,
                            qsizetype count, qsizetype skipped, const char* expected) {
            QTest::newRow(tag) << json << find << replacement << cs << count << skipped << expected;
        };
        row("sibling's name", "{\"a\":\"a1\",\"b\":\"a2\"}", "a", "b", true, 2, 1, "{\"a\":\"b1\",\"b\":\"b2\"}");
        row("two to one name", "{\"A\":1,\"a\":2}", "a", "b", false, 1, 1, "{\"a\":2,\"b\":1}");
        // "aab" -> "aa" comes first and frees its name for "aabb" -> "aab".
        row("chain, name freed first", "{\"aab\":1,\"aabb\":2}", "ab", "a", true, 2, 0, "{\"aa\":1,\"aab\":2}");
        // "k" -> "kk" comes first, while "kk" still has its name: skipped; "kk" -> "kkkk" then goes ahead.
        row("chain, name still taken", "{\"k\":1,\"kk\":2}", "k", "kk", true, 1, 1, "{\"k\":1,\"kkkk\":2}");
        row("other objects", "{\"a\":{\"b\":1},\"b\":{\"a\":2}}", "a", "b", true, 1, 1,
            "{\"a\":{\"b\":1},\"b\":{\"b\":2}}");
        row("empty name taken", "{\"\":1,\"x\":2}", "x", "", true, 0, 1, "{\"\":1,\"x\":2}");
    }
    void duplicateKeys()
    {
        QFETCH(QString, json);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(bool, caseSensitive);
        QFETCH(qsizetype, count);
        QFETCH(qsizetype, skipped);
        QFETCH(QString, expected);
        const auto root = treeFromText(json);
        QVERIFY(root);
        LogRecorder log;
        qsizetype skippedKeys = 0;
        QCOMPARE(root->replaceAll(find, replacement, caseSensitive, true, &skippedKeys), count);
        QCOMPARE(skippedKeys, skipped);
        QCOMPARE(warningsNamingReplaceAll(log), int(skipped));
        QCOMPARE(root->jsonText().value_or("not writable"), normalized(expected));

        // Without a place for the skipped count the same renames are skipped.
        const auto again = treeFromText(json);
        QVERIFY(again);
        QCOMPARE(again->replaceAll(find, replacement, caseSensitive, true), count);
        QCOMPARE(again->jsonText().value_or("not writable"), normalized(expected));
    }

    // A run over one member checks that member's name against its siblings outside the run, and touches nothing else.
    void subtreeRun()
    {
        const auto root = treeFromText(QStringLiteral("{\"a\":{\"v\":\"a\"},\"b\":\"a\",\"c\":\"a\"}"));
        QVERIFY(root);
        qsizetype skipped = 0;
        QCOMPARE(root->child(0)->replaceAll(QStringLiteral("a"), QStringLiteral("b"), true, true, &skipped), 1);
        QCOMPARE(skipped, 1);
        QCOMPARE(root->jsonText().value_or("?"),
                 normalized(QStringLiteral("{\"a\":{\"v\":\"b\"},\"b\":\"a\",\"c\":\"a\"}")));
        QCOMPARE(root->child(0)->replaceAll(QStringLiteral("a"), QStringLiteral("d"), true, true, &skipped), 1);
        QCOMPARE(root->jsonText().value_or("?"),
                 normalized(QStringLiteral("{\"d\":{\"v\":\"b\"},\"b\":\"a\",\"c\":\"a\"}")));
    }

    // Nesting deeper than the reader accepts is walked without exhausting the call stack.
    void deepDocument_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qsizetype>("count");
        QTest::newRow("arrays") << "Array" << qsizetype(1);
        QTest::newRow("objects") << "Object" << qsizetype(1501); // every "New Key" below the root, and the value
    }
    void deepDocument()
    {
        QFETCH(QString, kind);
        QFETCH(qsizetype, count);
        const int depth = 1500;
        const auto root = TreeNode::makeRoot(QStringLiteral("root"), NodeKind::Array);
        TreeNode* node = root.get();
        for (int level = 0; level < depth; ++level) {
            node->setKindLabel(kind); // one new "New Key": "New Value" child
            node = node->child(0);
        }
        QCOMPARE(root->replaceAll(QStringLiteral("new "), QStringLiteral("Old "), false, true), count);
        QCOMPARE(node->value().toString(), QStringLiteral("Old Value"));
        QCOMPARE(node->parent()->nameLabel(), kind == "Array" ? QStringLiteral("[0]") : QStringLiteral("Old Key"));
    }
};

QTEST_GUILESS_MAIN(TestReplaceAll)
#include "tst_replaceall.moc"
