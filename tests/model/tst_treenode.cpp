#include "TestSupport.h"
#include "model/EditStep.h"
#include "model/FilterPass.h"
#include "model/Log.h"
#include "model/NodeMatcher.h"
#include "model/Notifications.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>

// Note: moc misreads raw string literals holding unbalanced brackets or backslashes; such texts use plain literals.

namespace {

// "path | named or unnamed label | description" of the node and every node below it, in outline order.
void listLabels(const TreeNode* node, QStringList& lines)
{
    lines << node->path() + " | " + (node->isArrayChild() ? "unnamed " : "named ") + node->nameLabel() + " | " +
                 node->description();
    for (const TreeNode* child : node->children())
        listLabels(child, lines);
}

// The rows the outline shows under the search (each level filtered again through its own children), as paths; with
// `kept`, those the one-pass filter of the command line and the views keeps.
void collect(const TreeNode* node, QStringList& paths, bool kept)
{
    for (const TreeNode* child : kept ? FilterPass::keptChildren(node) : node->filteredChildren()) {
        paths << child->path();
        collect(child, paths, kept);
    }
}

// The search a tree follows; none when it has no settings.
const SearchSettings& searchOf(const TreeNode* root)
{
    static const SearchSettings none;
    return root->searchSettings() ? *root->searchSettings() : none;
}

QStringList visiblePaths(TreeNode* root, bool kept = false)
{
    if (kept)
        FilterPass::run(root, NodeMatcher(searchOf(root)));
    QStringList paths;
    collect(root, paths, kept);
    return paths;
}

// The rows the one-pass filter lists for a fully expanded outline, as paths.
QStringList listedPaths(TreeNode* root)
{
    std::vector<TreeNode*> rows;
    FilterPass::run(root, NodeMatcher(searchOf(root)), &rows);
    QStringList paths;
    for (const TreeNode* node : rows)
        paths << node->path();
    return paths;
}

void setSearch(SearchSettings& settings, const QString& text, bool regularExpression = false, bool caseSensitive = true)
{
    settings.text = text;
    settings.regularExpression = regularExpression;
    settings.caseSensitive = caseSensitive;
    settings.compileExpression();
}

} // namespace

class TestTreeNode : public QObject
{
    Q_OBJECT
private slots:
    // Building sorts object members by name in code-point order (upper case first, digits not read as numbers,
    // non-ASCII last) after canonical normalisation; names equal after normalisation keep their input order. Large
    // objects and repeats of one object's shape take other paths to the same order.
    void buildSortsMembers()
    {
        const QString decomposed = QString::fromUtf8("e\xCC\x81"), composed = QString::fromUtf8("\xC3\xA9");
        const QString members = R"("b":1,"A":2,"a":3,"a9":4,"a10":5,"ä":6,"z":7,"Z":8,"f":9,"e":10)";
        const QString reordered = R"("e":1,"f":2,"Z":3,"z":4,"ä":5,"a10":6,"a9":7,"a":8,"A":9,"b":10)";
        QString many;
        QStringList manyNames;
        for (int i = 0; i < 30; ++i) {
            manyNames << QStringLiteral("k%1").arg(i, 2, 10, QLatin1Char('0'));
            many = ",\"" + manyNames.last() + "\":0" + many;
        }
        for (const bool large : {false, true}) {
            const auto object = [&](const QString& one, const QString& middle, const QString& other) {
                return "{\"" + one + "\":0," + middle + (large ? many : "") + ",\"" + other + "\":0}";
            };
            // The second object repeats the first one's shape; the third has the same size but another shape.
            const auto root =
                treeFromText("[" + object(decomposed, members, composed) + "," + object(decomposed, members, composed) +
                             "," + object(composed, reordered, decomposed) + "]");
            QVERIFY(root);
            for (const TreeNode* built : root->children()) {
                QStringList names;
                for (const TreeNode* child : built->children())
                    names << child->name();
                const QStringList equal =
                    built == root->child(2) ? QStringList({composed, decomposed}) : QStringList({decomposed, composed});
                QCOMPARE(names, QStringList({"A", "Z", "a", "a10", "a9", "b", "e", "f"}) +
                                    (large ? manyNames : QStringList()) + QStringList({"z", "ä"}) + equal);
            }
        }
    }

    // Building links every child to its holder (as the paths show), sorts nested members and posts nothing. Name labels
    // show the name or the index; paths join them with full stops, brackets attached; descriptions give "name = " and
    // the value, collections in brackets or braces, strings unquoted, null as null; a second read comes from the cache.
    void labelsPathsAndDescriptions()
    {
        const auto root = treeFromText(
            "{\"x.[y\":{\"[k]\":1e-7},\"n\":null,\"b\":\"x, \\\"q\\\"\",\"a.b\":2.5,\"a\":[1,true,[null,{\"k\":-3}]]}");
        QVERIFY(root);
        // Every edit, and nothing else, moves the generation on: the builder edited nothing.
        QCOMPARE(root->treeGeneration(), qint64(0));
        const QStringList expected{
            "root | named root | root = {a = [1, true, [null, {k = -3}]], a.b = 2.5, b = x, \"q\", n = null, "
            "x.[y = {[k] = 1e-07}}",
            "root.a | named a | a = [1, true, [null, {k = -3}]]",
            "root.a[0] | unnamed [0] | 1",
            "root.a[1] | unnamed [1] | true",
            "root.a[2] | unnamed [2] | [null, {k = -3}]",
            "root.a[2][0] | unnamed [0] | null",
            "root.a[2][1] | unnamed [1] | {k = -3}",
            "root.a[2][1].k | named k | k = -3",
            "root.a.b | named a.b | a.b = 2.5",
            "root.b | named b | b = x, \"q\"",
            "root.n | named n | n = null",
            "root.x[y | named x.[y | x.[y = {[k] = 1e-07}",
            "root.x[y[k] | named [k] | [k] = 1e-07",
        };
        for (int read = 0; read < 2; ++read) {
            QStringList lines;
            listLabels(root.get(), lines);
            QCOMPARE(lines, expected);
        }
    }

    // Unnamed nodes: a member whose name was cleared shows its index (its description loses "name = "); a renamed
    // root renames the start of every path; a node with neither name nor index (cleared root, removed row) shows [?].
    void unnamedNodes()
    {
        const auto root = treeFromText(R"({"a":1,"b":2,"o":{"k":{"z":1}}})");
        QVERIFY(root);
        TreeNode* b = root->child(1);
        b->setNameLabel(QString());
        QVERIFY(b->isArrayChild());
        QCOMPARE(b->nameLabel(), QStringLiteral("[1]"));
        QCOMPARE(b->path(), QStringLiteral("root[1]"));
        QCOMPARE(root->child(0)->path(), QStringLiteral("root.a"));
        TreeNode* k = root->child(2)->child(0);
        k->setNameLabel(QString());
        QCOMPARE(k->child(0)->path(), QStringLiteral("root.o[0].z"));
        QCOMPARE(k->description(), QStringLiteral("{z = 1}"));

        root->setNameLabel(QStringLiteral("doc"));
        QCOMPARE(k->child(0)->path(), QStringLiteral("doc.o[0].z"));
        root->setNameLabel(QString());
        QVERIFY(root->isArrayChild());
        QCOMPARE(root->nameLabel(), QStringLiteral("[?]"));
        QCOMPARE(root->child(0)->path(), QStringLiteral("[?].a"));
        QCOMPARE(root->description(), QStringLiteral("{a = 1, 2, o = {{z = 1}}}"));

        root->setChildren(root->children().subspan(1));
        QCOMPARE(b->nameLabel(), QStringLiteral("[0]"));
        root->setChildren(root->children().subspan(1));
        QCOMPARE(b->nameLabel(), QStringLiteral("[?]"));
    }

    // Kind, kind label, value label and row icon of every kind: numbers classified by value and shown as the outline
    // shows them, strings unescaped, collections counting their children; icons only while the setting is on. A raw
    // kind outside the seven is reported by the label getters and shows nothing.
    void kindsLabelsAndIcons()
    {
        const auto root = treeFromText("[[],{\"a\":{\"b\":1}},2.0,-12,-0.5,0.00001,9223372036854775808,false,"
                                       "\"x\\/y \\\"q\\\"\\n\\\\\",null]");
        QVERIFY(root);
        static const char* const kinds[] = {"array", "object", "integer", "float", "boolean", "string", "null"};
        const auto rows = [&root] {
            QStringList lines;
            for (const TreeNode* node : root->children())
                lines << QStringList{kinds[node->kind()], node->kindLabel(), node->valueLabel(), node->itemIcon()}.join(
                    " | ");
            return lines;
        };
        for (const TreeNode* node : root->children())
            QCOMPARE(node->itemIcon(), QString());
        SearchSettings icons;
        icons.rowIcons = true;
        root->setSearchSettings(&icons);
        const QStringList expected{
            "array | Array | (0 items) | parentheses",
            "object | Object | (1 items) | curlybraces",
            "integer | Number | 2 | number",
            "integer | Number | -12 | number",
            "float | Number | -0.5 | number",
            "float | Number | 1e-05 | number",
            "float | Number | 9.223372036854776e+18 | number",
            "boolean | Boolean | false | lightswitch.on",
            "string | String | x/y \"q\"\n\\ | ellipsis.circle",
            "null | Null |  | square.dotted",
        };
        QCOMPARE(rows(), expected);

        const auto other = treeFromText(R"({"k":"text"})");
        QVERIFY(other);
        other->setSearchSettings(&icons);
        TreeNode* node = other->child(0);
        node->setKind(42);
        LogRecorder log;
        QCOMPARE(node->kindLabel(), QString());
        QCOMPARE(node->valueLabel(), QString());
        QCOMPARE(log.lines, (QStringList{QStringLiteral("\u26D4\uFE0F kindLabel] \nunknown kind 42"),
                                         QStringLiteral("\u26D4\uFE0F valueLabel] \nshouldn't reach here")}));
        QCOMPARE(node->itemIcon(), QString());
        QCOMPARE(node->description(), QStringLiteral("k = "));
        QVERIFY(!node->isCollection());
    }

    // Each tree has its own notifications, generation and search, so a document and another tree coexist: an edit
    // (or a batch) of one tree neither notifies the other's listeners nor moves the other's generation, and the
    // document relays the tree it holds and no other. Under one tree's search its collections count the children
    // kept, as the one-pass filter counts them, while the other tree counts all of its own.
    void treesAreIndependent()
    {
        auto read = Document::documentFromText(QStringLiteral(R"({"o":{"a":1,"b":2},"p":[]})"));
        const auto other = treeFromText(QStringLiteral(R"({"o":{"a":1,"b":2},"p":[]})"));
        QVERIFY(read && other);
        std::unique_ptr<Document>& document = *read;
        TreeNode* root = document->root();
        QSignalSpy relayed(document.get(), &Document::treeDataChanged);
        QSignalSpy otherData(&other->notifications(), &Notifications::treeDataChanged);
        {
            const Notifications::Batch batch(root->notifications());
            other->child(1)->insertNewChild(-1);
            QCOMPARE(otherData.count(), 1);
        }
        QCOMPARE(relayed.count(), 0);
        QCOMPARE(root->treeGeneration(), qint64(0));
        root->child(0)->setNameLabel(QStringLiteral("q"));
        root->child(0)->setNameLabel(QStringLiteral("o"));
        QCOMPARE(relayed.count(), 2);
        QCOMPARE(otherData.count(), 1);
        QCOMPARE(root->treeGeneration(), qint64(2));
        QCOMPARE(other->treeGeneration(), qint64(1));

        SearchSettings search;
        setSearch(search, QStringLiteral("a"));
        root->setSearchSettings(&search);
        TreeNode* o = root->child(0);
        QCOMPARE(o->valueLabel() + root->valueLabel(), QStringLiteral("(1 items)(1 items)"));
        QCOMPARE(FilterPass::run(root, NodeMatcher(search)), std::size_t(3));
        QCOMPARE(FilterPass::keptChildCount(o), qsizetype(1));
        QCOMPARE(FilterPass::keptChildCount(root), qsizetype(1));
        QCOMPARE(other->child(0)->valueLabel() + other->valueLabel(), QStringLiteral("(2 items)(2 items)"));
        setSearch(search, QStringLiteral("nothing like it"));
        QCOMPARE(o->valueLabel() + root->valueLabel(), QStringLiteral("(0 items)(0 items)"));
        setSearch(search, QString());
        QCOMPARE(o->valueLabel() + root->valueLabel(), QStringLiteral("(2 items)(2 items)"));

        // The document relays whichever tree it holds, also when taking back an edit swaps its trees.
        OwnedTree taken = document->takeRoot();
        document->setRoot(treeFromText(QStringLiteral("[1]")));
        TreeReplacementStep step(document.get(), std::move(taken));
        root->child(1)->insertNewChild(-1);
        document->root()->child(0)->setValueLabel(QStringLiteral("2"));
        QCOMPARE(relayed.count(), 3);
        step.undo();
        QCOMPARE(document->root(), root);
        QCOMPARE(relayed.count(), 4);
        step.redo();
        root->child(1)->insertNewChild(-1);
        QCOMPARE(relayed.count(), 5);
    }

    // Every edit, a leaf-to-leaf kind change included, makes the edited node's and its ancestors' cached
    // descriptions current at their next read.
    void descriptionFollowsEdits()
    {
        const auto root = treeFromText(R"({"a":{"b":[1,"x"]},"c":true})");
        QVERIFY(root);
        TreeNode* a = root->child(0);
        TreeNode* b = a->child(0);
        // Each check reads (and so caches) every description before the next edit.
        const auto described = [&] { return QStringList{b->description(), a->description(), root->description()}; };
        const auto expected = [](const QString& list) {
            return QStringList{list, "a = {" + list + "}", "root = {a = {" + list + "}, c = true}"};
        };
        QCOMPARE(described(), expected("b = [1, x]"));
        b->child(0)->setValueLabel(QStringLiteral("7"));
        QCOMPARE(described(), expected("b = [7, x]"));
        b->setNameLabel(QStringLiteral("B"));
        QCOMPARE(described(), expected("B = [7, x]"));
        b->child(1)->setKindLabel(QStringLiteral("Number"));
        QCOMPARE(described(), expected("B = [7, 0]"));
        QVERIFY(b->insertNewChild(0));
        QCOMPARE(described(), expected("B = [New Value, 7, 0]"));
        b->setChildren(b->children().subspan(2));
        QCOMPARE(described(), expected("B = [0]"));
        b->setKindLabel(QStringLiteral("Object"));
        QCOMPARE(described(), expected("B = {New Key = New Value}"));
    }

    // The filter: names hit as plain case-sensitive text, leaves also through their description, collections when
    // anything below hits; the outline filters every level again. Both filter paths must agree.
    void filter_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("mode"); // r: regular expression, i: case-insensitive
        QTest::addColumn<QStringList>("visible");
        const auto row = [](const char* tag, const char* json, const char* search, const char* mode,
                            const QStringList& visible) { QTest::newRow(tag) << json << search << mode << visible; };
        row("no search shows all", R"({"a":[1],"b":{}})", "", "", {"root.a", "root.a[0]", "root.b"});
        row("name hit on leaf", R"({"price":10,"cost":{"x":1}})", "price", "", {"root.price"});
        row("name hit on collection, children filtered again", R"({"price":{"a":1,"b":"price"}})", "price", "",
            {"root.price", "root.price.b"});
        row("regex: collection name not matched as expression", R"({"price":{"a":1}})", "p.ice", "r", {});
        row("regex: collection kept by a child", R"({"price":{"p":"price"}})", "p.ice", "r",
            {"root.price", "root.price.p"});
        row("regex: leaf shown through its description", R"({"price":10})", "p.ice", "r", {"root.price"});
        row("regex: metacharacters in names are plain text", R"({"p.ice":{"a":1},"price":{"a":1}})", "p.ice", "r",
            {"root.p.ice"});
        row("insensitive: names still case-sensitive", R"({"Price":10,"Prices":{"a":1}})", "price", "i",
            {"root.Price"});
        row("value via description", R"({"price":10,"cost":10})", "price = 10", "", {"root.price"});
        row("' = ' matches every named leaf", R"({"a":1,"b":{"c":null},"list":[1,"x"],"e":[]})", " = ", "",
            {"root.a", "root.b", "root.b.c"});
        row("null description", R"({"n":null,"list":[null,1],"s":"nul"})", "null", "",
            {"root.list", "root.list[0]", "root.n"});
        row("sensitive", R"({"s":"xabcx","t":"xABCx"})", "ABC", "", {"root.t"});
        row("insensitive", R"({"s":"xabcx","t":"xyz"})", "ABC", "i", {"root.s"});
        row("insensitive after non-ascii", R"({"s":"éxABCx"})", "abc", "i", {"root.s"});
        row("insensitive non-ascii", R"({"s":"LA ÉCOLE","t":"ecole"})", "École", "i", {"root.s"});
        row("regex insensitive non-ascii", R"({"s":"école"})", "ÉCO.E", "ri", {"root.s"});
        // Word characters are Unicode letters, as in ICU expressions.
        row("regex word class is unicode", R"(["école","a-b"])", "^\\w+$", "r", {"root[0]"});
        row("leading U+FEFF is content", "[\"\\ufeffx\",\"x\"]", "^\\x{FEFF}x", "r", {"root[0]"});
        row("non-ascii name hit", R"({"école":{"a":1}})", "école", "", {"root.école"});
        row("deep hit keeps every ancestor", R"({"a":{"b":{"c":{"d":"needle"}},"x":1},"y":{"z":2}})", "needle", "",
            {"root.a", "root.a.b", "root.a.b.c", "root.a.b.c.d"});
        row("element keeps its index", R"({"list":["a","b","c","d","e","needle"]})", "needle", "",
            {"root.list", "root.list[5]"});
        row("unnamed collection kept by its elements", R"([[1,2],[3]])", "3", "", {"root[1]", "root[1][0]"});
    }
    void filter()
    {
        QFETCH(QString, json);
        QFETCH(QString, search);
        QFETCH(QString, mode);
        QFETCH(QStringList, visible);
        const auto root = treeFromText(json);
        QVERIFY(root);
        SearchSettings settings;
        setSearch(settings, search, mode.contains('r'), !mode.contains('i'));
        QVERIFY(!settings.expressionError);
        root->setSearchSettings(&settings);
        QCOMPARE(visiblePaths(root.get()), visible);
        if (!search.isEmpty())
            QCOMPARE(visiblePaths(root.get(), true), visible);
        QCOMPARE(listedPaths(root.get()), visible);
    }

    // The listed rows come from subtrees filtered in parallel and put back together: on documents wide and
    // deep enough to be cut at many places they must equal a plain depth-first walk of the kept nodes.
    void listedRowsOfLargeDocument_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("regularExpression");
        QTest::newRow("everything") << QString() << false;
        QTest::newRow("digit") << QStringLiteral("7") << false;
        QTest::newRow("names") << QStringLiteral("tags") << false;
        QTest::newRow("rare") << QStringLiteral("x 1999") << false;
        QTest::newRow("nothing") << QStringLiteral("no such text") << false;
        QTest::newRow("expression") << QStringLiteral("^x [0-9]*5$") << true;
    }
    void listedRowsOfLargeDocument()
    {
        QFETCH(QString, search);
        QFETCH(bool, regularExpression);
        QStringList items;
        for (int i = 0; i < 3000; ++i) {
            // Some elements are wide themselves, so that the widest node is not always the top array.
            const QString tags = i % 500 == 0 ? QStringLiteral("[%1]").arg(QString("1,").repeated(300) + "2")
                                              : QStringLiteral("[\"a%1\",\"b\"]").arg(i);
            items << QStringLiteral("{\"id\":%1,\"sub\":{\"n\":\"x %1\"},\"tags\":%2}").arg(i).arg(tags);
        }
        const auto root =
            treeFromText(QStringLiteral("{\"items\":[%1],\"meta\":{\"x 1999\":[7,8]}}").arg(items.join(',')));
        QVERIFY(root);
        SearchSettings settings;
        setSearch(settings, search, regularExpression);
        root->setSearchSettings(&settings);
        QStringList expected;
        if (search.isEmpty()) {
            std::function<void(const TreeNode*)> all = [&](const TreeNode* node) {
                for (const TreeNode* child : node->children()) {
                    expected << child->path();
                    all(child);
                }
            };
            all(root.get());
            std::vector<TreeNode*> rows;
            FilterPass::listAll(root.get(), rows);
            QStringList listed;
            for (const TreeNode* node : rows)
                listed << node->path();
            QCOMPARE(listed, expected);
        } else {
            expected = visiblePaths(root.get(), true);
        }
        QCOMPARE(listedPaths(root.get()), expected);
    }

    // An invalid expression is reported and drops the previous expression; until one compiles only name hits (and
    // their holders) stay visible. A valid expression, plain mode or an empty text clears the error.
    void invalidExpression()
    {
        const auto root = treeFromText("{\"a(\":1,\"b\":\"a(\",\"c\":{\"a(x\":null},\"d\":{\"e\":\"a(\"},\"s\":\"x\"}");
        QVERIFY(root);
        SearchSettings settings;
        root->setSearchSettings(&settings);
        setSearch(settings, QStringLiteral("x"), true);
        QCOMPARE(visiblePaths(root.get()), (QStringList{"root.c", "root.c.a(x", "root.s"}));
        settings.text = QStringLiteral("a(");
        const auto error = settings.compileExpression();
        QVERIFY(error && !error->isEmpty());
        QCOMPARE(settings.expressionError, error);
        QVERIFY(!settings.expression);
        const QStringList nameHits{"root.a(", "root.c", "root.c.a(x"};
        QCOMPARE(visiblePaths(root.get()), nameHits);
        QCOMPARE(visiblePaths(root.get(), true), nameHits);

        const QStringList valueHits{"root.a(", "root.b", "root.c", "root.c.a(x", "root.d", "root.d.e"};
        setSearch(settings, QStringLiteral("a\\("), true);
        QVERIFY(!settings.expressionError);
        QCOMPARE(visiblePaths(root.get()), valueHits);
        setSearch(settings, QStringLiteral("a("), true);
        setSearch(settings, QStringLiteral("a("), false);
        QVERIFY(!settings.expressionError && !settings.expression);
        QCOMPARE(visiblePaths(root.get(), true), valueHits);
        setSearch(settings, QStringLiteral("a("), true);
        setSearch(settings, QString(), true);
        QVERIFY(!settings.expressionError);
        QCOMPARE(visiblePaths(root.get()).size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestTreeNode)
#include "tst_treenode.moc"
