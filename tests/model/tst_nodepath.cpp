#include "TestSupport.h"
#include "model/NodePath.h"
#include "model/TreeNode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <variant>

namespace {

// Keys that trip up path syntaxes: the empty key, the syntax's own characters, escapes, non-ASCII, a jq keyword,
// keys that look like numbers, and an outline path that two nodes share (root.a.b).
const char* const kAwkward =
    "{\"\": {\"x\": 1}, \".\": 2, \"[\": 3, \"]\": 4, \"'\": 5, \"\\\"\": 6, \"~\": 7, \"/\": 8, \"$\": 9,"
    " \"é日本\": 10, \"0\": [11, {\"1\": 12}], \"if\": 13, \"a b\": 14, \"~1/~0\": 15, \"a.b\": 16,"
    " \"a\": {\"b\": 17}, \"\\n\\t\\u0001\": 18, \"\\\\\": 19, \"[0]\": [20], \"$['x']\": 21}";

using Step = std::variant<QString, qsizetype>;

// The names and indices from the root down to `node`.
QList<Step> stepsTo(const TreeNode* node)
{
    QList<Step> steps;
    for (; node->parent(); node = node->parent()) {
        if (node->parent()->isObject())
            steps.prepend(node->name());
        else
            steps.prepend(*node->indexInParent());
    }
    return steps;
}

const TreeNode* follow(const TreeNode* root, const QList<Step>& steps)
{
    const TreeNode* node = root;
    for (const Step& step : steps) {
        const TreeNode* next = nullptr;
        for (qsizetype i = 0; node && i < node->childCount(); ++i) {
            const TreeNode* child = node->child(i);
            if (std::holds_alternative<qsizetype>(step) ? i == std::get<qsizetype>(step)
                                                        : node->isObject() && child->name() == std::get<QString>(step))
                next = child;
        }
        node = next;
    }
    return node;
}

// RFC 6901, read independently of the code under test: "/"-separated tokens, "~1" for "/" and "~0" for "~"; a
// token is an index under an array.
const TreeNode* resolvePointer(const TreeNode* root, const QString& pointer)
{
    if (pointer.isEmpty())
        return root;
    const TreeNode* node = root;
    for (QString token : pointer.mid(1).split(QLatin1Char('/'))) {
        token.replace(QStringLiteral("~1"), QStringLiteral("/")).replace(QStringLiteral("~0"), QStringLiteral("~"));
        bool isIndex = false;
        const qsizetype index = token.toLongLong(&isIndex);
        node = follow(node, {node->isArray() && isIndex ? Step(index) : Step(token)});
        if (!node)
            return nullptr;
    }
    return node;
}

// RFC 9535 normalized paths: $ then ['name'] (with \' \\ \b \f \n \r \t \uXXXX escapes) or [index].
const TreeNode* resolveNormalizedPath(const TreeNode* root, const QString& path)
{
    if (!path.startsWith(QLatin1Char('$')))
        return nullptr;
    QList<Step> steps;
    qsizetype i = 1;
    while (i < path.size()) {
        if (path.mid(i, 2) == QLatin1String("['")) {
            QString name;
            for (i += 2; path[i] != QLatin1Char('\''); ++i) {
                if (path[i] != QLatin1Char('\\')) {
                    name += path[i];
                    continue;
                }
                const QChar e = path[++i];
                const QString simple = QStringLiteral("b\bf\fn\nr\rt\t''\\\\");
                if (e == QLatin1Char('u')) {
                    name += QChar(path.mid(i + 1, 4).toUShort(nullptr, 16));
                    i += 4;
                } else {
                    name += simple[simple.indexOf(e) + 1];
                }
            }
            i += 2;
            steps << name;
        } else if (path[i] == QLatin1Char('[')) {
            const qsizetype close = path.indexOf(QLatin1Char(']'), i);
            steps << path.mid(i + 1, close - i - 1).toLongLong();
            i = close + 1;
        } else {
            return nullptr;
        }
    }
    return follow(root, steps);
}

QList<const TreeNode*> allNodes(const TreeNode* root)
{
    QList<const TreeNode*> nodes{root};
    for (qsizetype i = 0; i < nodes.size(); ++i)
        for (const TreeNode* child : nodes[i]->children())
            nodes << child;
    return nodes;
}

} // namespace

class TestNodePath : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_tree = treeFromText(QString::fromUtf8(kAwkward));
        QVERIFY(m_tree);
    }

    // Each form writes names with its own escapes; array elements and the root as the form has them.
    void format_data()
    {
        QTest::addColumn<QString>("pointer"); // the node, found by the test's own reading
        QTest::addColumn<QString>("jq");
        QTest::addColumn<QString>("jsonPath");
        QTest::addColumn<QString>("outline");
        const auto row = [](const char* tag, const char* pointer, const char* jq, const char* jsonPath,
                            const char* outline) { QTest::newRow(tag) << pointer << jq << jsonPath << outline; };
        row("root", "", ".", "$", "root");
        row("plain names", "/a/b", ".a.b", "$['a']['b']", "root.a.b");
        row("empty name", "/", R"(.[""])", "$['']", "root[0]");
        row("numeric names and indices", "/0/1/1", R"(.["0"][1]["1"])", "$['0'][1]['1']", "root.0[1].1");
        row("pointer escapes", "/~01~1~00", R"(.["~1/~0"])", "$['~1/~0']", "root.~1/~0");
        row("quotes", "/'", ".[\"'\"]", "$['\\'']", "root.'");
        row("double quote", "/\"", ".[\"\\\"\"]", "$['\"']", "root.\"");
        row("backslash", "/\\", R"(.["\\"])", R"($['\\'])", "root.\\");
        row("control characters", "/\n\t\u0001", R"(.["\n\t\u0001"])", R"($['\n\t\u0001'])", "root.\n\t\u0001");
        row("jq keyword", "/if", R"(.["if"])", "$['if']", "root.if");
        row("non-ASCII", "/é日本", R"(.["é日本"])", "$['é日本']", "root.é日本");
        row("brackets", "/[0]/0", R"(.["[0]"][0])", "$['[0]'][0]", "root[0][0]");
    }
    void format()
    {
        QFETCH(QString, pointer);
        QFETCH(QString, jq);
        QFETCH(QString, jsonPath);
        QFETCH(QString, outline);
        const TreeNode* node = resolvePointer(m_tree.get(), pointer);
        QVERIFY(node);
        QCOMPARE(NodePath::format(node, PathStyle::Pointer), pointer);
        QCOMPARE(NodePath::format(node, PathStyle::Jq), jq);
        QCOMPARE(NodePath::format(node, PathStyle::JsonPath), jsonPath);
        QCOMPARE(NodePath::format(node, PathStyle::Outline), outline);
        QCOMPARE(NodePath::format(node, PathStyle::Outline), node->path());
    }

    // Every node's path leads back to it: the RFC forms through the test's own readers and through resolve(), the
    // jq form through jq itself, the outline form through resolve() unless another node has the same text.
    void everyPathLeadsBack()
    {
        const QList<const TreeNode*> nodes = allNodes(m_tree.get());
        QJsonArray expectedSteps;
        QStringList jqPaths;
        for (const TreeNode* node : nodes) {
            const QString pointer = NodePath::format(node, PathStyle::Pointer);
            const QString jsonPath = NodePath::format(node, PathStyle::JsonPath);
            const QString jq = NodePath::format(node, PathStyle::Jq);
            const QString outline = node->path();
            QCOMPARE(resolvePointer(m_tree.get(), pointer), node);
            QCOMPARE(resolveNormalizedPath(m_tree.get(), jsonPath), node);
            for (const QString& path : {pointer, jsonPath, jq})
                QVERIFY2(NodePath::resolve(m_tree.get(), path).node == node, qPrintable(path));
            const auto sharing = std::count_if(nodes.begin(), nodes.end(),
                                               [&](const TreeNode* other) { return other->path() == outline; });
            const NodePath::Resolution byOutline = NodePath::resolve(m_tree.get(), outline);
            QCOMPARE(byOutline.node, sharing == 1 ? node : nullptr);
            QCOMPARE(byOutline.ambiguous, sharing > 1);

            QJsonArray steps;
            for (const Step& step : stepsTo(node))
                steps << (std::holds_alternative<QString>(step) ? QJsonValue(std::get<QString>(step))
                                                                : QJsonValue(std::get<qsizetype>(step)));
            expectedSteps << steps;
            jqPaths << QStringLiteral("path(%1)").arg(jq);
        }

        const QString jqProgram = QStandardPaths::findExecutable(QStringLiteral("jq"));
        QVERIFY2(!jqProgram.isEmpty(), "jq is one of the packages the build installs");
        QProcess jqRun;
        jqRun.start(jqProgram,
                    {QStringLiteral("-c"), QLatin1Char('[') + jqPaths.join(QLatin1Char(',')) + QLatin1Char(']')});
        jqRun.write(kAwkward);
        jqRun.closeWriteChannel();
        QVERIFY(jqRun.waitForFinished(30000));
        QVERIFY2(jqRun.exitCode() == 0, jqRun.readAllStandardError().constData());
        QCOMPARE(QJsonDocument::fromJson(jqRun.readAllStandardOutput()).array(), expectedSteps);
    }

    // Other spellings of the three forms lead to the node; a path that leads nowhere, or that does not parse,
    // finds nothing; an outline path two nodes share finds neither.
    void resolveOthers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("pointer"); // the node expected, or "none" / "ambiguous"
        const auto row = [](const char* tag, const char* path, const char* pointer) {
            QTest::newRow(tag) << path << pointer;
        };
        row("JSONPath shorthand", "$.a.b", "/a/b");
        row("JSONPath double quotes", R"($["a"]["b"])", "/a/b");
        row("jq quoted name", R"(."a".b)", "/a/b");
        row("pointer token under an object is a name", "/0", "/0");
        row("leading zero is no index", "/0/01", "none");
        row("index past the end", ".[\"0\"][2]", "none");
        row("index into an object", ".[0]", "none");
        row("missing name", "$['nope']", "none");
        row("unfinished jq path", ".a.", "none");
        row("bad pointer escape", "/~2", "none");
        row("outline path", "root.0[1].1", "/0/1/1");
        row("unknown outline path", "root.zz", "none");
        row("outline path of two nodes", "root.a.b", "ambiguous");
    }
    void resolveOthers()
    {
        QFETCH(QString, path);
        QFETCH(QString, pointer);
        const NodePath::Resolution found = NodePath::resolve(m_tree.get(), path);
        QCOMPARE(found.ambiguous, pointer == QLatin1String("ambiguous"));
        const bool none = pointer == QLatin1String("none") || found.ambiguous;
        QCOMPARE(found.node, none ? nullptr : resolvePointer(m_tree.get(), pointer));
    }

private:
    OwnedTree m_tree;
};

QTEST_GUILESS_MAIN(TestNodePath)
#include "tst_nodepath.moc"
