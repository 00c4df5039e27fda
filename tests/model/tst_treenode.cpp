#include "TestSupport.h"
#include "model/Document.h"
#include "model/FilterPass.h"
#include "model/Log.h"
#include "model/NodeMatcher.h"
#include "model/Notifications.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <QSignalSpy>
#include <QTest>

namespace {

TreeNode* member(const TreeNode* node, const QString& name)
{
    for (TreeNode* child : node->children())
        if (child->name() == name)
            return child;
    return nullptr;
}

TreeNode* nodeAt(TreeNode* root, const QList<int>& indices)
{
    TreeNode* node = root;
    for (int index : indices) {
        if (!node || index >= node->childCount())
            return nullptr;
        node = node->child(index);
    }
    return node;
}

QStringList childNames(const TreeNode* node)
{
    QStringList names;
    for (const TreeNode* child : node->children())
        names << child->name();
    return names;
}

// Every row the outline shows under the search, as paths: each level filtered again through its own children.
void collectVisible(const TreeNode* node, QStringList& paths)
{
    for (const TreeNode* child : node->filteredChildren()) {
        paths << child->path();
        collectVisible(child, paths);
    }
}

QStringList visiblePaths(const TreeNode* root)
{
    QStringList paths;
    collectVisible(root, paths);
    return paths;
}

// The same rows as the one-pass filter used by the command line and the views reports them.
void collectKept(const TreeNode* node, QStringList& paths)
{
    for (const TreeNode* child : FilterPass::keptChildren(node)) {
        paths << child->path();
        collectKept(child, paths);
    }
}

QStringList keptPaths(TreeNode* root)
{
    FilterPass::run(root, NodeMatcher());
    QStringList paths;
    collectKept(root, paths);
    return paths;
}

void setSearch(const QString& text, bool regularExpression, bool caseSensitive)
{
    SearchSettings& settings = SearchSettings::current();
    settings.text = text;
    settings.regularExpression = regularExpression;
    settings.caseSensitive = caseSensitive;
    TreeNode::compileSearchExpression();
}

const QString kErrorMarker = QStringLiteral("\u26D4\uFE0F ");

} // namespace

class TestTreeNode : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SearchSettings::current() = SearchSettings();
        TreeNode::compileSearchExpression();
    }

    // Building sorts object members by name in code-point order after canonical normalisation, stably.
    void buildSortsMembers_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QStringList>("names");
        const auto row = [](const char* tag, const QString& json, const QStringList& names) {
            QTest::newRow(tag) << json << names;
        };
        row("upper before lower", R"({"b":1,"A":2,"a":3})", QStringList{"A", "a", "b"});
        row("code points, not numbers", R"({"a9":1,"a10":2})", QStringList{"a10", "a9"});
        row("non-ascii after ascii", R"({"ä":1,"z":2,"Z":3})", QStringList{"Z", "z", "ä"});
        // e + combining acute normalises to U+00E9, which sorts after f.
        row("normalised", QString::fromUtf8("{\"f\":1,\"e\xCC\x81\":2,\"e\":3}"),
            QStringList{"e", "f", QString::fromUtf8("e\xCC\x81")});
        row("equal after normalisation keep input order", QString::fromUtf8("{\"e\xCC\x81\":1,\"\xC3\xA9\":2}"),
            QStringList{QString::fromUtf8("e\xCC\x81"), QString::fromUtf8("\xC3\xA9")});
        row("equal after normalisation, other input order", QString::fromUtf8("{\"\xC3\xA9\":1,\"e\xCC\x81\":2}"),
            QStringList{QString::fromUtf8("\xC3\xA9"), QString::fromUtf8("e\xCC\x81")});
        row("empty object", R"({})", QStringList{});
    }
    void buildSortsMembers()
    {
        QFETCH(QString, json);
        QFETCH(QStringList, names);
        const auto root = treeFromText(json);
        QVERIFY(root);
        QCOMPARE(childNames(root.get()), names);
    }

    // Building links every child to its holder; array elements are unnamed; nested members are sorted too.
    void buildStructure()
    {
        const auto root = treeFromText(R"([3, {"x": null}, {"b": 1, "a": 2}])");
        QVERIFY(root);
        QCOMPARE(root->name(), QStringLiteral("root"));
        QVERIFY(root->isArray());
        QVERIFY(!root->parent());
        QCOMPARE(root->childCount(), qsizetype(3));

        const TreeNode* three = root->child(0);
        QVERIFY(three->isArrayChild());
        QCOMPARE(three->kind(), qint64(NodeKind::Integer));
        QCOMPARE(three->value(), QVariant(qlonglong(3)));
        QCOMPARE(three->parent(), root.get());

        const TreeNode* object = root->child(1);
        QVERIFY(object->isArrayChild());
        QCOMPARE(object->kind(), qint64(NodeKind::Object));
        QVERIFY(!object->hasValue());
        QCOMPARE(object->parent(), root.get());
        QCOMPARE(object->childCount(), qsizetype(1));
        const TreeNode* x = object->child(0);
        QCOMPARE(x->name(), QStringLiteral("x"));
        QCOMPARE(x->kind(), qint64(NodeKind::Null));
        QCOMPARE(x->parent(), object);
        QCOMPARE(x->childCount(), qsizetype(0));

        QCOMPARE(childNames(root->child(2)), (QStringList{"a", "b"}));
        QCOMPARE(root->child(2)->child(0)->parent(), root->child(2));
    }

    // A freshly built tree is silent: installing it is what announces the change.
    void buildPostsNothing()
    {
        QSignalSpy data(Notifications::instance(), &Notifications::treeDataChanged);
        QSignalSpy reload(Notifications::instance(), &Notifications::reloadCurrentRow);
        const qint64 generation = TreeNode::treeGeneration();
        const auto root = treeFromText(R"({"a":[1,{"b":"c"}],"d":null})");
        QVERIFY(root);
        QCOMPARE(data.count(), 0);
        QCOMPARE(reload.count(), 0);
        QCOMPARE(TreeNode::treeGeneration(), generation);
    }

    // Name labels show the name or the index; paths join them with full stops, brackets attached.
    void labelsAndPaths_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QList<int>>("at");
        QTest::addColumn<QString>("nameLabel");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isArrayChild");
        const auto row = [](const char* tag, const QString& json, const QList<int>& at, const QString& nameLabel,
                            const QString& path, bool isArrayChild) {
            QTest::newRow(tag) << json << at << nameLabel << path << isArrayChild;
        };
        const QString nested = R"({"a":[0,1,[5]]})";
        row("root", nested, QList<int>{}, "root", "root", false);
        row("member", nested, QList<int>{0}, "a", "root.a", false);
        row("element", nested, QList<int>{0, 2}, "[2]", "root.a[2]", true);
        row("element of element", nested, QList<int>{0, 2, 0}, "[0]", "root.a[2][0]", true);
        row("element of root", R"([1,2])", QList<int>{1}, "[1]", "root[1]", true);
        row("member of element", R"([{"k":1}])", QList<int>{0, 0}, "k", "root[0].k", false);
        row("key with full stop", R"({"a.b":1})", QList<int>{0}, "a.b", "root.a.b", false);
        row("key containing .[", "{\"x.[y\":1}", QList<int>{0}, "x.[y", "root.x[y", false);
        row("key starting with [", R"({"[k]":1})", QList<int>{0}, "[k]", "root[k]", false);
        row("key with spaces", R"({"a b":{"c d":1}})", QList<int>{0, 0}, "c d", "root.a b.c d", false);
    }
    void labelsAndPaths()
    {
        QFETCH(QString, json);
        QFETCH(QList<int>, at);
        QFETCH(QString, nameLabel);
        QFETCH(QString, path);
        QFETCH(bool, isArrayChild);
        const auto root = treeFromText(json);
        QVERIFY(root);
        const TreeNode* node = nodeAt(root.get(), at);
        QVERIFY(node);
        QCOMPARE(node->nameLabel(), nameLabel);
        QCOMPARE(node->path(), path);
        QCOMPARE(node->isArrayChild(), isArrayChild);
    }

    // An object member whose name was cleared shows its index, counts as unnamed, and its path ends in it.
    void memberWithEmptyName()
    {
        const auto root = treeFromText(R"({"a":1,"b":2,"o":{"k":{"z":1}}})");
        QVERIFY(root);
        TreeNode* b = member(root.get(), "b");
        b->setNameLabel(QString());
        QVERIFY(b->isArrayChild());
        QCOMPARE(b->nameLabel(), QStringLiteral("[1]"));
        QCOMPARE(b->path(), QStringLiteral("root[1]"));
        QCOMPARE(member(root.get(), "a")->path(), QStringLiteral("root.a"));

        TreeNode* k = member(member(root.get(), "o"), "k");
        k->setNameLabel(QString());
        QCOMPARE(k->child(0)->path(), QStringLiteral("root.o[0].z"));
        // Without a name the member's description has no "name = " part.
        QCOMPARE(k->description(), QStringLiteral("{z = 1}"));
    }

    // Renaming the root renames the start of every path below it.
    void renamedRoot()
    {
        const auto root = treeFromText(R"({"a":[[1]]})");
        QVERIFY(root);
        root->setNameLabel(QStringLiteral("doc"));
        QCOMPARE(root->nameLabel(), QStringLiteral("doc"));
        QCOMPARE(root->path(), QStringLiteral("doc"));
        QCOMPARE(root->child(0)->path(), QStringLiteral("doc.a"));
        QCOMPARE(root->child(0)->child(0)->child(0)->path(), QStringLiteral("doc.a[0][0]"));
    }

    // A node without a name and without an index (cleared root, removed row) still has labels and a path.
    void unnamedWithoutIndex()
    {
        const auto root = treeFromText(R"({"a":1,"x":[1,2]})");
        QVERIFY(root);
        root->setNameLabel(QString());
        QVERIFY(root->isArrayChild());
        QCOMPARE(root->nameLabel(), QStringLiteral("[?]"));
        QCOMPARE(root->path(), QStringLiteral("[?]"));
        QCOMPARE(root->child(0)->path(), QStringLiteral("[?].a"));
        QCOMPARE(root->description(), QStringLiteral("{a = 1, x = [1, 2]}"));

        TreeNode* x = member(root.get(), "x");
        TreeNode* removed = x->child(0);
        x->setChildren(x->children().subspan(1));
        QCOMPARE(removed->nameLabel(), QStringLiteral("[?]"));
        QCOMPARE(x->child(0)->nameLabel(), QStringLiteral("[0]"));
    }

    // Kind and value labels for every kind; collections count their children.
    void kindAndValueLabels_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<qint64>("kind");
        QTest::addColumn<QString>("kindLabel");
        QTest::addColumn<QString>("valueLabel");
        const auto row = [](const char* tag, const QString& value, qint64 kind, const QString& kindLabel,
                            const QString& valueLabel) {
            QTest::newRow(tag) << value << kind << kindLabel << valueLabel;
        };
        row("empty array", "[]", qint64(NodeKind::Array), "Array", "(0 items)");
        row("array", "[1,[2],3]", qint64(NodeKind::Array), "Array", "(3 items)");
        row("empty object", "{}", qint64(NodeKind::Object), "Object", "(0 items)");
        row("object of one", R"({"a":{"b":1}})", qint64(NodeKind::Object), "Object", "(1 items)");
        row("integer", "-12", qint64(NodeKind::Integer), "Number", "-12");
        row("integral float text", "2.0", qint64(NodeKind::Integer), "Number", "2");
        row("exponent integer", "1e3", qint64(NodeKind::Integer), "Number", "1000");
        row("float", "-0.5", qint64(NodeKind::Float), "Number", "-0.5");
        row("large float", "1.5e300", qint64(NodeKind::Float), "Number", "1.5e+300");
        row("small float", "0.00001", qint64(NodeKind::Float), "Number", "1e-05");
        row("beyond 64 bits", "9223372036854775808", qint64(NodeKind::Float), "Number", "9.223372036854776e+18");
        row("true", "true", qint64(NodeKind::Boolean), "Boolean", "true");
        row("false", "false", qint64(NodeKind::Boolean), "Boolean", "false");
        row("string unescaped", "\"x\\/y \\\"q\\\"\\n\\\\\"", qint64(NodeKind::String), "String", "x/y \"q\"\n\\");
        row("empty string", R"("")", qint64(NodeKind::String), "String", "");
        row("null", "null", qint64(NodeKind::Null), "Null", "");
    }
    void kindAndValueLabels()
    {
        QFETCH(QString, value);
        QFETCH(qint64, kind);
        QFETCH(QString, kindLabel);
        QFETCH(QString, valueLabel);
        const auto root = treeFromText(QStringLiteral(R"({"v":%1})").arg(value));
        QVERIFY(root);
        const TreeNode* node = root->child(0);
        QCOMPARE(node->kind(), kind);
        QCOMPARE(node->kindLabel(), kindLabel);
        QCOMPARE(node->valueLabel(), valueLabel);
    }

    // Under a search the collection count is that of the visible children.
    void valueLabelCountsVisibleChildren()
    {
        const auto root = treeFromText(R"({"o":{"a":1,"b":2},"p":[]})");
        QVERIFY(root);
        TreeNode* o = member(root.get(), "o");
        setSearch(QStringLiteral("a"), false, true);
        QCOMPARE(o->valueLabel(), QStringLiteral("(1 items)"));
        QCOMPARE(root->valueLabel(), QStringLiteral("(1 items)"));
        FilterPass::run(root.get(), NodeMatcher());
        QCOMPARE(FilterPass::keptChildCount(o), qsizetype(1));
        QCOMPARE(FilterPass::keptChildCount(root.get()), qsizetype(1));

        setSearch(QStringLiteral("nothing like it"), false, true);
        QCOMPARE(o->valueLabel(), QStringLiteral("(0 items)"));
        QCOMPARE(root->valueLabel(), QStringLiteral("(0 items)"));

        setSearch(QString(), false, true);
        QCOMPARE(o->valueLabel(), QStringLiteral("(2 items)"));
        QCOMPARE(root->valueLabel(), QStringLiteral("(2 items)"));
    }

    // A raw kind outside the seven is reported by the label getters and shows nothing.
    void unknownKind()
    {
        const auto root = treeFromText(R"({"k":"text"})");
        QVERIFY(root);
        TreeNode* node = root->child(0);
        node->setKind(42);
        SearchSettings::current().rowIcons = true;
        LogRecorder log;
        QCOMPARE(node->kindLabel(), QString());
        QCOMPARE(node->valueLabel(), QString());
        QCOMPARE(log.lines, (QStringList{kErrorMarker + QStringLiteral("kindLabel] \nunknown kind 42"),
                                         kErrorMarker + QStringLiteral("valueLabel] \nshouldn't reach here")}));
        QCOMPARE(node->itemIcon(), QString());
        QCOMPARE(node->description(), QStringLiteral("k = "));
        QVERIFY(!node->isCollection());
    }

    // Descriptions: "name = " then the value, collections in brackets or braces, null as null.
    void description_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QList<int>>("at");
        QTest::addColumn<QString>("description");
        const auto row = [](const char* tag, const QString& json, const QList<int>& at, const QString& description) {
            QTest::newRow(tag) << json << at << description;
        };
        const QString example = R"({"b":"x","a":[1,true]})";
        row("example", example, QList<int>{}, "root = {a = [1, true], b = x}");
        row("member array", example, QList<int>{0}, "a = [1, true]");
        row("element", example, QList<int>{0, 1}, "true");
        row("named string", example, QList<int>{1}, "b = x");
        row("named null", R"({"n":null})", QList<int>{0}, "n = null");
        row("unnamed null", R"([null])", QList<int>{0}, "null");
        row("null in collection", R"([null,{}])", QList<int>{}, "root = [null, {}]");
        row("empty collections", R"([[],{}])", QList<int>{}, "root = [[], {}]");
        row("numbers", R"([2.5,-3,1e-7])", QList<int>{}, "root = [2.5, -3, 1e-07]");
        row("string unquoted", "{\"s\":\"a, \\\"b\\\"\"}", QList<int>{}, "root = {s = a, \"b\"}");
        row("false", R"({"f":false})", QList<int>{0}, "f = false");
    }
    void description()
    {
        QFETCH(QString, json);
        QFETCH(QList<int>, at);
        QFETCH(QString, description);
        const auto root = treeFromText(json);
        QVERIFY(root);
        const TreeNode* node = nodeAt(root.get(), at);
        QVERIFY(node);
        QCOMPARE(node->description(), description);
        // Repeated reads within one generation give the same text.
        QCOMPARE(node->description(), description);
    }

    // Every edit makes the edited node's and its ancestors' descriptions current at their next read.
    void descriptionFollowsEdits_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("listDescription");
        QTest::addColumn<QString>("rootDescription");
        const auto row = [](const char* tag, const QString& edit, const QString& listDescription,
                            const QString& rootDescription) {
            QTest::newRow(tag) << edit << listDescription << rootDescription;
        };
        row("value", "value", "b = [7, x]", "root = {a = {b = [7, x]}, c = true}");
        row("value makes float", "float value", "b = [2.5, x]", "root = {a = {b = [2.5, x]}, c = true}");
        row("name", "name", "B = [1, x]", "root = {a = {B = [1, x]}, c = true}");
        row("leaf kind", "leaf kind", "b = [1, 0]", "root = {a = {b = [1, 0]}, c = true}");
        row("collection kind", "collection kind", "b = {New Key = New Value}",
            "root = {a = {b = {New Key = New Value}}, c = true}");
        row("insert", "insert", "b = [New Value, 1, x]", "root = {a = {b = [New Value, 1, x]}, c = true}");
        row("children", "children", "b = [x]", "root = {a = {b = [x]}, c = true}");
    }
    void descriptionFollowsEdits()
    {
        QFETCH(QString, edit);
        QFETCH(QString, listDescription);
        QFETCH(QString, rootDescription);
        const auto root = treeFromText(R"({"a":{"b":[1,"x"]},"c":true})");
        QVERIFY(root);
        TreeNode* a = member(root.get(), "a");
        TreeNode* b = member(a, "b");
        TreeNode* c = member(root.get(), "c");
        // Fill the caches first, so that a stale cache would show.
        QCOMPARE(root->description(), QStringLiteral("root = {a = {b = [1, x]}, c = true}"));
        QCOMPARE(a->description(), QStringLiteral("a = {b = [1, x]}"));
        QCOMPARE(b->description(), QStringLiteral("b = [1, x]"));
        QCOMPARE(b->child(0)->description(), QStringLiteral("1"));

        if (edit == QLatin1String("value"))
            b->child(0)->setValueLabel(QStringLiteral("7"));
        else if (edit == QLatin1String("float value"))
            b->child(0)->setValueLabel(QStringLiteral("2.5"));
        else if (edit == QLatin1String("name"))
            b->setNameLabel(QStringLiteral("B"));
        else if (edit == QLatin1String("leaf kind"))
            b->child(1)->setKindLabel(QStringLiteral("Number"));
        else if (edit == QLatin1String("collection kind"))
            b->setKindLabel(QStringLiteral("Object"));
        else if (edit == QLatin1String("insert"))
            QVERIFY(b->insertNewChild(0));
        else if (edit == QLatin1String("children"))
            b->setChildren(b->children().subspan(1));
        else
            QFAIL("unknown edit");

        QCOMPARE(b->description(), listDescription);
        QCOMPARE(a->description(), QStringLiteral("a = {%1}").arg(listDescription));
        QCOMPARE(root->description(), rootDescription);
        QCOMPARE(c->description(), QStringLiteral("c = true"));
    }

    // The edited leaf's own description is current too, read before and after.
    void leafDescriptionFollowsValue()
    {
        const auto root = treeFromText(R"({"n":1,"s":"old"})");
        QVERIFY(root);
        TreeNode* s = member(root.get(), "s");
        QCOMPARE(s->description(), QStringLiteral("s = old"));
        s->setValueLabel(QStringLiteral("new"));
        QCOMPARE(s->description(), QStringLiteral("s = new"));
        TreeNode* n = member(root.get(), "n");
        QCOMPARE(n->description(), QStringLiteral("n = 1"));
        n->setKindLabel(QStringLiteral("Boolean"));
        QCOMPARE(n->description(), QStringLiteral("n = false"));
        QCOMPARE(root->description(), QStringLiteral("root = {n = false, s = new}"));
    }

    // Row icons: absent while the setting is off, the kind's symbol name while it is on.
    void itemIcon_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("icon");
        const auto row = [](const char* tag, const QString& value, const QString& icon) {
            QTest::newRow(tag) << value << icon;
        };
        row("array", "[]", "parentheses");
        row("object", "{}", "curlybraces");
        row("integer", "1", "number");
        row("float", "1.5", "number");
        row("boolean", "false", "lightswitch.on");
        row("string", R"("s")", "ellipsis.circle");
        row("null", "null", "square.dotted");
    }
    void itemIcon()
    {
        QFETCH(QString, value);
        QFETCH(QString, icon);
        const auto root = treeFromText(QStringLiteral("[%1]").arg(value));
        QVERIFY(root);
        const TreeNode* node = root->child(0);
        QCOMPARE(node->itemIcon(), QString());
        SearchSettings::current().rowIcons = true;
        QCOMPARE(node->itemIcon(), icon);
        SearchSettings::current().rowIcons = false;
        QCOMPARE(node->itemIcon(), QString());
    }

    // The filter: names hit as plain case-sensitive text, leaves also through their description, collections
    // when anything below hits; the outline filters every level again. Both filter paths must agree.
    void filter_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<QStringList>("visible");
        const auto row = [](const char* tag, const QString& json, const QString& search, bool regex, bool caseSensitive,
                            const QStringList& visible) {
            QTest::newRow(tag) << json << search << regex << caseSensitive << visible;
        };

        row("no search shows all", R"({"a":[1],"b":{}})", "", false, true,
            QStringList{"root.a", "root.a[0]", "root.b"});
        row("name hit on leaf", R"({"price":10,"cost":{"x":1}})", "price", false, true, QStringList{"root.price"});
        row("name hit on collection, children filtered again", R"({"price":{"a":1,"b":"price"}})", "price", false, true,
            QStringList{"root.price", "root.price.b"});
        row("regex: collection name is not matched as expression", R"({"price":{"a":1}})", "p.ice", true, true,
            QStringList{});
        row("regex: collection kept by a child", R"({"price":{"p":"price"}})", "p.ice", true, true,
            QStringList{"root.price", "root.price.p"});
        row("regex: leaf shown through its description", R"({"price":10})", "p.ice", true, true,
            QStringList{"root.price"});
        row("regex: metacharacters in names are plain text", R"({"p.ice":{"a":1},"price":{"a":1}})", "p.ice", true,
            true, QStringList{"root.p.ice"});
        row("insensitive: collection name still case-sensitive", R"({"Price":10,"Prices":{"a":1}})", "price", false,
            false, QStringList{"root.Price"});
        row("regex insensitive", R"({"Price":10})", "P.ICE", true, false, QStringList{"root.Price"});
        row("regex sensitive", R"({"Price":10})", "P.ICE", true, true, QStringList{});
        row("value via description", R"({"price":10,"cost":10})", "price = 10", false, true, QStringList{"root.price"});
        row("value suffix", R"({"price":10,"cost":10,"n":100})", "= 10", false, true,
            QStringList{"root.cost", "root.n", "root.price"});
        row("' = ' matches every named leaf", R"({"a":1,"b":{"c":null},"list":[1,"x"],"e":[]})", " = ", false, true,
            QStringList{"root.a", "root.b", "root.b.c"});
        row("null description", R"({"n":null,"list":[null,1],"s":"nul"})", "null", false, true,
            QStringList{"root.list", "root.list[0]", "root.n"});
        row("boolean", R"({"t":true,"list":[false]})", "true", false, true, QStringList{"root.t"});
        row("float", R"({"f":2.5,"g":25})", "2.5", false, true, QStringList{"root.f"});
        row("insensitive ABC", R"({"s":"xabcx","t":"xyz"})", "ABC", false, false, QStringList{"root.s"});
        row("sensitive ABC", R"({"s":"xabcx","t":"xyz"})", "ABC", false, true, QStringList{});
        row("insensitive after non-ascii", R"({"s":"éxABCx"})", "abc", false, false, QStringList{"root.s"});
        row("insensitive before non-ascii", R"({"s":"xABCé"})", "abc", false, false, QStringList{"root.s"});
        row("insensitive non-ascii", R"({"s":"école","t":"ecole"})", "ÉCOLE", false, false, QStringList{"root.s"});
        row("insensitive non-ascii, upper value", R"({"s":"LA ÉCOLE"})", "école", false, false, QStringList{"root.s"});
        row("sensitive non-ascii", R"({"s":"école"})", "ÉCOLE", false, true, QStringList{});
        row("regex insensitive non-ascii", R"({"s":"école"})", "ÉCO.E", true, false, QStringList{"root.s"});
        // Word characters are Unicode letters, as in ICU expressions.
        row("regex word class is unicode", "[\"école\",\"a-b\"]", "^\\w+$", true, true, QStringList{"root[0]"});
        row("non-ascii name hit", R"({"école":{"a":1}})", "école", false, true, QStringList{"root.école"});
        row("non-ascii name case-sensitive", R"({"école":{"a":1}})", "ÉCOLE", false, false, QStringList{});
        row("deep hit keeps every ancestor", R"({"a":{"b":{"c":{"d":"needle"}},"x":1},"y":{"z":2}})", "needle", false,
            true, QStringList{"root.a", "root.a.b", "root.a.b.c", "root.a.b.c.d"});
        row("element keeps its index", R"({"list":["a","b","c","d","e","needle"]})", "needle", false, true,
            QStringList{"root.list", "root.list[5]"});
        row("unnamed collection kept by its elements", R"([[1,2],[3]])", "3", false, true,
            QStringList{"root[1]", "root[1][0]"});
    }
    void filter()
    {
        QFETCH(QString, json);
        QFETCH(QString, search);
        QFETCH(bool, regex);
        QFETCH(bool, caseSensitive);
        QFETCH(QStringList, visible);
        const auto root = treeFromText(json);
        QVERIFY(root);
        setSearch(search, regex, caseSensitive);
        QVERIFY(!SearchSettings::current().expressionError);
        const QStringList shown = visiblePaths(root.get());
        QCOMPARE(shown, visible);
        if (!search.isEmpty())
            QCOMPARE(keptPaths(root.get()), shown);
    }

    // Under a search an element keeps the index of its place among all the children.
    void filteredElementKeepsIndex()
    {
        const auto root = treeFromText(R"(["a","b","c","d","e","needle","g"])");
        QVERIFY(root);
        setSearch(QStringLiteral("needle"), false, true);
        const auto kept = root->filteredChildren();
        QCOMPARE(kept.size(), size_t(1));
        QCOMPARE(kept.front()->nameLabel(), QStringLiteral("[5]"));
        QCOMPARE(kept.front()->path(), QStringLiteral("root[5]"));
    }

    // An invalid expression is reported; until it compiles only name hits (and their holders) stay visible.
    void invalidExpression()
    {
        const auto root = treeFromText("{\"a(\":1,\"b\":\"a(\",\"c\":{\"a(x\":null},\"d\":{\"e\":\"a(\"}}");
        QVERIFY(root);
        SearchSettings& settings = SearchSettings::current();
        settings.text = QStringLiteral("a(");
        settings.regularExpression = true;
        const auto error = TreeNode::compileSearchExpression();
        QVERIFY(error);
        QVERIFY(!error->isEmpty());
        QCOMPARE(settings.expressionError, error);
        QVERIFY(!settings.expression);
        const QStringList expected{"root.a(", "root.c", "root.c.a(x"};
        QCOMPARE(visiblePaths(root.get()), expected);
        QCOMPARE(keptPaths(root.get()), expected);
    }

    // A failed compilation drops the previous expression instead of filtering with it.
    void invalidExpressionReplacesValidOne()
    {
        const auto root = treeFromText("{\"s\":\"x\",\"t\":\"(\"}");
        QVERIFY(root);
        setSearch(QStringLiteral("x"), true, true);
        QCOMPARE(visiblePaths(root.get()), QStringList{"root.s"});

        SearchSettings::current().text = QStringLiteral("(");
        QVERIFY(TreeNode::compileSearchExpression());
        QCOMPARE(visiblePaths(root.get()), QStringList{});
        QCOMPARE(keptPaths(root.get()), QStringList{});

        SearchSettings::current().text = QStringLiteral("\\(");
        QVERIFY(!TreeNode::compileSearchExpression());
        QVERIFY(!SearchSettings::current().expressionError);
        QCOMPARE(visiblePaths(root.get()), QStringList{"root.t"});
    }

    // Leaving regular-expression mode clears the expression and its error: the text is plain again.
    void plainModeIgnoresExpression()
    {
        const auto root = treeFromText("{\"s\":\"a(b\",\"t\":\"ab\"}");
        QVERIFY(root);
        setSearch(QStringLiteral("a("), true, true);
        QVERIFY(SearchSettings::current().expressionError);
        setSearch(QStringLiteral("a("), false, true);
        QVERIFY(!SearchSettings::current().expressionError);
        QVERIFY(!SearchSettings::current().expression);
        QCOMPARE(visiblePaths(root.get()), QStringList{"root.s"});
        QCOMPARE(keptPaths(root.get()), QStringList{"root.s"});

        // An empty text in regular-expression mode is no search at all, and no error.
        setSearch(QStringLiteral("a("), true, true);
        setSearch(QString(), true, true);
        QVERIFY(!SearchSettings::current().expressionError);
        QCOMPARE(visiblePaths(root.get()), (QStringList{"root.s", "root.t"}));
    }

    // Deep documents: filtering, descriptions and paths work level by level without exhausting the stack.
    void deepDocument()
    {
        constexpr int depth = 1000;
        const QString json = QString(depth, QLatin1Char('[')) + QLatin1Char('1') + QString(depth, QLatin1Char(']'));
        const auto root = treeFromText(json);
        QVERIFY(root);

        QString inner = QString(depth, QLatin1Char('[')) + QLatin1Char('1') + QString(depth, QLatin1Char(']'));
        QCOMPARE(root->description(), QStringLiteral("root = ") + inner);

        TreeNode* leaf = root.get();
        while (leaf->childCount() > 0)
            leaf = leaf->child(0);
        QCOMPARE(leaf->path(), QStringLiteral("root") + QStringLiteral("[0]").repeated(depth));

        setSearch(QStringLiteral("1"), false, true);
        const QStringList shown = visiblePaths(root.get());
        QCOMPARE(shown.size(), depth);
        QCOMPARE(shown.last(), leaf->path());
        QCOMPARE(root->valueLabel(), QStringLiteral("(1 items)"));
        QCOMPARE(FilterPass::run(root.get(), NodeMatcher()), size_t(depth + 1));
        QCOMPARE(keptPaths(root.get()), shown);

        setSearch(QStringLiteral("2"), false, true);
        QVERIFY(root->filteredChildren().empty());
        QCOMPARE(FilterPass::run(root.get(), NodeMatcher()), size_t(0));

        setSearch(QStringLiteral("^1$"), true, true);
        QCOMPARE(visiblePaths(root.get()).size(), depth);
    }
};

QTEST_GUILESS_MAIN(TestTreeNode)
#include "tst_treenode.moc"
