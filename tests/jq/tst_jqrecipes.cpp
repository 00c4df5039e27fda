#include "jq/JqRecipes.h"
#include "model/Settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const JQRecipe* findRecipe(const QString& group, const QString& title)
{
    for (const JQRecipeGroup& candidate : JqRecipes::jqRecipeGroups())
        if (candidate.title == group)
            for (const JQRecipe& recipe : candidate.recipes)
                if (recipe.title == title)
                    return &recipe;
    return nullptr;
}

} // namespace

class TestJqRecipes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Every test starts from settings of its own, with no recent recipes.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        Settings::useFile(settingsPath());
    }

    // The menu shows eight groups, in this order and with these sizes.
    void groups()
    {
        QStringList titles;
        QList<int> sizes;
        for (const JQRecipeGroup& group : JqRecipes::jqRecipeGroups()) {
            titles << group.title;
            sizes << int(group.recipes.size());
        }
        QCOMPARE(titles, QStringList({"Navigate", "Filter", "Transform", "Aggregate", "Strings", "Numbers", "Reshape",
                                      "Pipes & Combos"}));
        QCOMPARE(sizes, QList<int>({9, 13, 11, 14, 11, 6, 7, 6}));
    }

    // Recipes insert exactly the filter text users expect, quotes and spacing included.
    void templates_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("templateText");
        QTest::newRow("root") << "Navigate"
                              << "Root: ."
                              << ".";
        QTest::newRow("contains") << "Filter"
                                  << "Contains substring"
                                  << "select(.<field> | contains(\"<text>\"))";
        QTest::newRow("group counts") << "Aggregate"
                                      << "Group counts"
                                      << "group_by(.<field>) | map({key: .[0].<field>, count: length})";
        QTest::newRow("leaf paths") << "Reshape"
                                    << "Paths to all leaves"
                                    << "[paths(type != \"object\" and type != \"array\")]";
        QTest::newRow("flatten object") << "Pipes & Combos"
                                        << "Flatten object of arrays"
                                        << "to_entries | map(.value[] + {<key>: .key}) | flatten";
        QTest::newRow("gsub") << "Strings"
                              << "gsub: replace all"
                              << "gsub(\"<pattern>\"; \"<replacement>\")";
    }
    void templates()
    {
        QFETCH(QString, group);
        QFETCH(QString, title);
        QFETCH(QString, templateText);
        const JQRecipe* recipe = findRecipe(group, title);
        QVERIFY(recipe);
        QCOMPARE(recipe->templateText, templateText);
    }

    // Recent picks: newest first, no duplicates, at most five, kept across launches under "JQRecentRecipes".
    void recentRecipes()
    {
        QVERIFY(JqRecipes::recentRecipes().isEmpty());
        JqRecipes::recordRecent(QStringLiteral("keys"));
        JqRecipes::recordRecent(QStringLiteral("sort"));
        JqRecipes::recordRecent(QStringLiteral("keys"));
        QCOMPARE(JqRecipes::recentRecipes(), QStringList({"keys", "sort"}));

        // "length" is both an Aggregate and a Strings recipe; picking either is one entry.
        QCOMPARE(findRecipe(QStringLiteral("Aggregate"), QStringLiteral("length"))->templateText,
                 QStringLiteral("length"));
        QCOMPARE(findRecipe(QStringLiteral("Strings"), QStringLiteral("Length of string"))->templateText,
                 QStringLiteral("length"));
        JqRecipes::recordRecent(QStringLiteral("length"));
        JqRecipes::recordRecent(QStringLiteral("length"));
        QCOMPARE(JqRecipes::recentRecipes(), QStringList({"length", "keys", "sort"}));

        const QStringList picks{"floor", "ceil", "round", "sqrt", "add", "min"};
        for (const QString& pick : picks)
            JqRecipes::recordRecent(pick);
        const QStringList expected{"min", "add", "sqrt", "round", "ceil"};
        QCOMPARE(JqRecipes::recentRecipes(), expected);

        Settings::useFile(settingsPath());
        QCOMPARE(JqRecipes::recentRecipes(), expected);
        QCOMPARE(
            QSettings(settingsPath(), QSettings::IniFormat).value(QStringLiteral("JQRecentRecipes")).toStringList(),
            expected);
    }

    // After a pick the first placeholder is selected, counted in UTF-16 units; otherwise the caret goes last.
    void placeholderSelection_data()
    {
        QTest::addColumn<QString>("templateText");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::newRow("no placeholder") << "." << 1 << 0;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("first of two") << "select(.<field> == <value>)" << 8 << 7;
        QTest::newRow("quoted") << "gsub(\"<pattern>\"; \"<replacement>\")" << 6 << 9;
        QTest::newRow("no name inside") << "a <> b" << 6 << 0;
        QTest::newRow("after a surrogate pair") << QString::fromUtf8("\xf0\x9f\x98\x80<a>") << 2 << 3;
    }
    void placeholderSelection()
    {
        QFETCH(QString, templateText);
        QFETCH(int, start);
        QFETCH(int, length);
        const JqRecipes::Selection selection = JqRecipes::placeholderSelection(templateText);
        QCOMPARE(selection.start, start);
        QCOMPARE(selection.length, length);
    }

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("settings.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestJqRecipes)
#include "tst_jqrecipes.moc"
