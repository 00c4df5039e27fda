#include "TestSupport.h"
#include "model/Document.h"
#include "model/EditStep.h"
#include "model/TreeNode.h"

#include <QRandomGenerator>
#include <QTest>
#include <memory>
#include <vector>

namespace {

QByteArray textOf(const Document& document)
{
    return document.root()->jsonText().value_or("not writable");
}

// The node at a path of names and indices separated by "/"; the root for "".
TreeNode* nodeAt(TreeNode* root, const QString& path)
{
    TreeNode* node = root;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        bool isIndex = false;
        const int index = part.toInt(&isIndex);
        TreeNode* next = nullptr;
        for (qsizetype i = 0; i < node->childCount() && !next; ++i)
            if (isIndex ? i == index : node->child(i)->name() == part)
                next = node->child(i);
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

// Makes one edit the way the window does and returns its step. `edit` is "<what> <path> <argument…>":
// rename, kind, value (validated first), add (after the node), remove, replace (find, replacement, "keys"),
// text (the document's tree replaced by a tree made from the argument).
std::unique_ptr<EditStep> makeEdit(Document& document, const QString& edit)
{
    const QStringList words = edit.split(QLatin1Char(' '));
    const QString what = words.value(0);
    TreeNode* node = nodeAt(document.root(), words.value(1) == QLatin1String(".") ? QString() : words.value(1));
    if (!node)
        return nullptr;
    const QString argument = words.value(2);
    const NodeState before = node->state();
    if (what == QLatin1String("rename")) {
        node->setNameLabel(argument);
    } else if (what == QLatin1String("kind")) {
        node->setKindLabel(argument);
    } else if (what == QLatin1String("value")) {
        QVariant value = argument;
        node->validateValue(value, QStringLiteral("valueLabel"));
        node->setValueLabel(value.toString());
    } else if (what == QLatin1String("add") || what == QLatin1String("remove")) {
        TreeNode* parent = node->parent();
        const qsizetype index = *node->indexInParent();
        if (what == QLatin1String("add"))
            return std::make_unique<RowStep>(RowStep::Change::Added, parent, index + 1,
                                             parent->insertNewChild(index + 1));
        parent->removeChild(index);
        return std::make_unique<RowStep>(RowStep::Change::Removed, parent, index, node);
    } else if (what == QLatin1String("replace")) {
        ReplaceLog log;
        node->replaceAll(argument, words.value(3), true, words.value(4) == QLatin1String("keys"), nullptr, &log);
        return std::make_unique<ReplaceAllStep>(std::move(log));
    } else if (what == QLatin1String("text")) {
        OwnedTree previous = document.takeRoot();
        document.setRoot(treeFromText(argument));
        return std::make_unique<TreeReplacementStep>(&document, std::move(previous));
    } else {
        return nullptr;
    }
    return std::make_unique<NodeEditStep>(node, before);
}

const char* const kDocument = R"({"name":"x","n":7,"r":2.5,"t":true,"z":null,"s":"a1",)"
                              R"("list":[10,"b",[1,2],{"k":"v"}],"obj":{"ka":"va","kb":["vb"]}})";

} // namespace

class TestEditStep : public QObject
{
    Q_OBJECT
private slots:
    // A long history of mixed edits (every kind of step, every kind change) on one document is taken back step by
    // step to the start and made again to the end, each state byte-identical. Later edits of a node must not disturb
    // what an earlier step kept (a child list refilled in place, a dropped subtree edited after it came back, a tree
    // swapped out).
    void longHistoryRoundTrip_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void longHistoryRoundTrip()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        auto document = loaded(Document::documentFromText(kDocument));
        std::vector<QByteArray> texts{textOf(*document)};
        std::vector<std::unique_ptr<EditStep>> steps;
        const QStringList kinds{"Array", "Object", "Number", "Boolean", "String", "Null"};
        const QStringList values{"1", "2.5", "x", "true", "", "nope"};
        while (steps.size() < 300) {
            // Every node by path, the root as ".".
            std::vector<std::pair<QString, TreeNode*>> nodes{{QStringLiteral("."), document->root()}};
            for (size_t i = 0; i < nodes.size(); ++i)
                for (qsizetype c = 0; c < nodes[i].second->childCount(); ++c)
                    nodes.emplace_back((i == 0 ? QString() : nodes[i].first + QLatin1Char('/')) + QString::number(c),
                                       nodes[i].second->child(c));
            const auto& [path, node] = nodes[random.bounded(quint32(nodes.size()))];
            const bool isRoot = path == QLatin1String(".");
            QString edit;
            switch (random.bounded(8)) {
            case 0:
                if (!isRoot && node->parent()->isObject())
                    edit = QStringLiteral("rename %1 n%2").arg(path).arg(steps.size());
                break;
            case 1:
                edit = QStringLiteral("kind %1 %2").arg(path, kinds[random.bounded(kinds.size())]);
                break;
            case 2:
                if (!node->isCollection())
                    edit = QStringLiteral("value %1 %2").arg(path, values[random.bounded(values.size())]);
                break;
            case 3:
                if (!isRoot)
                    edit = QStringLiteral("add %1").arg(path);
                break;
            case 4:
                if (!isRoot)
                    edit = QStringLiteral("remove %1").arg(path);
                break;
            case 5:
                edit = QStringLiteral("replace %1 e E keys").arg(path);
                break;
            case 6:
                if (random.bounded(4) == 0)
                    edit = QStringLiteral("text . [\"t%1\",{\"Key\":[]}]").arg(steps.size());
                break;
            default:
                edit = QStringLiteral("kind %1 Array").arg(path);
                break;
            }
            if (edit.isEmpty())
                continue;
            auto step = makeEdit(*document, edit);
            QVERIFY2(step, qPrintable(edit));
            steps.push_back(std::move(step));
            texts.push_back(textOf(*document));
        }
        for (size_t i = steps.size(); i-- > 0;) {
            steps[i]->undo();
            QCOMPARE(textOf(*document), texts[i]);
        }
        for (size_t i = 0; i < steps.size(); ++i) {
            steps[i]->redo();
            QCOMPARE(textOf(*document), texts[i + 1]);
        }
    }
};

QTEST_GUILESS_MAIN(TestEditStep)
#include "tst_editstep.moc"
