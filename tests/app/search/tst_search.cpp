#include "AppTestSupport.h"
#include "app/search/SearchField.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

const QString kRecentSearchesKey = QStringLiteral("BrackwellRecentSearches");

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    // The search keeps matching leaves with their ancestors and the root; elements keep their own indices.
    void searchFilters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("element value") << "cherry" << true << false << QStringList{"root", "fruits", "[2]"};
        QTest::newRow("member value") << "Ann" << true << false << QStringList{"root", "owner", "name"};
        QTest::newRow("case differs") << "banana" << true << false << QStringList{"root"};
        QTest::newRow("case ignored") << "banana" << false << false << QStringList{"root", "fruits", "[1]"};
        QTest::newRow("expression") << "^(apple|cherry)$" << true << true
                                    << QStringList{"root", "fruits", "[0]", "[2]"};
        QTest::newRow("expression ignoring case") << "^b" << false << true << QStringList{"root", "fruits", "[1]"};
        QTest::newRow("expression taken literally") << "^b" << false << false << QStringList{"root"};
        QTest::newRow("no search") << "" << true << false
                                   << QStringList{"root", "count", "fruits", "[0]", "[1]", "[2]", "owner", "name"};
    }
    void searchFilters()
    {
        QFETCH(QString, text);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, regex);
        QFETCH(QStringList, rows);
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        s.delegate.search()->setCaseSensitive(caseSensitive);
        s.delegate.search()->setRegularExpressions(regex);
        s.delegate.search()->setValue(text);
        QCOMPARE(s.rowNames(), rows);
        QVERIFY(s.delegate.search()->errorMessage().isNull());
        QCOMPARE(s.delegate.window()->searchField()->text(), text);
    }

    // An invalid expression shows its error on the field until expressions are off or the text is gone.
    void searchError_data()
    {
        QTest::addColumn<bool>("clearText");
        QTest::newRow("expressions switched off") << false;
        QTest::newRow("text cleared") << true;
    }
    void searchError()
    {
        QFETCH(bool, clearText);
        LaunchedApp s;
        SearchField* field = s.delegate.window()->searchField();
        const QColor normal = field->palette().color(QPalette::Text);
        s.delegate.search()->setRegularExpressions(true);
        s.delegate.search()->setValue(QStringLiteral("("));
        QVERIFY(!s.delegate.search()->errorMessage().isNull());
        QVERIFY(field->toolTip().startsWith(QStringLiteral("Invalid regex: ")));
        QVERIFY(field->showsError());
        QCOMPARE(field->palette().color(QPalette::Text), QColor(Qt::red));

        if (clearText)
            s.delegate.search()->setValue(QString());
        else
            s.delegate.search()->setRegularExpressions(false);
        QVERIFY(s.delegate.search()->errorMessage().isNull());
        QVERIFY(field->toolTip().isEmpty());
        QVERIFY(!field->showsError());
        QCOMPARE(field->palette().color(QPalette::Text), normal);
    }

    // Typing filters as the user types; Return makes it a recent search.
    void typingInSearchField()
    {
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        SearchField* field = s.delegate.window()->searchField();
        QTest::keyClicks(field, QStringLiteral("cherr"));
        QCOMPARE(s.delegate.search()->value(), QStringLiteral("cherr"));
        QCOMPARE(s.rowNames(), (QStringList{"root", "fruits", "[2]"}));
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(s.delegate.search()->value(), QStringLiteral("cher"));
        QVERIFY(s.delegate.search()->recentSearches().isEmpty());
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(s.delegate.search()->recentSearches(), QStringList{"cher"});
        QCOMPARE(s.delegate.search()->searchMenu()->actions().first()->text(), QStringLiteral("cher"));
    }

    // Recent searches: most recent first, exact duplicates merged, at most ten, kept for the next launch.
    void recentSearchesList()
    {
        LaunchedApp s;
        for (const char* text : {"alpha", "Alpha", "alpha", ""})
            s.delegate.search()->addRecentSearch(QString::fromLatin1(text));
        QCOMPARE(s.delegate.search()->recentSearches(), (QStringList{"alpha", "Alpha"}));
        QStringList expected;
        for (int i = 0; i < 11; ++i) {
            s.delegate.search()->addRecentSearch(QString::number(i));
            expected.prepend(QString::number(i));
        }
        expected.removeLast();
        QCOMPARE(s.delegate.search()->recentSearches(), expected);
        QCOMPARE(Settings::instance().store().value(kRecentSearchesKey).toStringList(), expected);

        s.settings.reopen();
        AppDelegate next;
        next.applicationDidFinishLaunching();
        QCOMPARE(next.search()->recentSearches(), expected);
        // A longer list stored by someone else is cut to ten at launch.
        Settings::instance().store().setValue(kRecentSearchesKey, expected + QStringList{"x", "y"});
        AppDelegate third;
        third.applicationDidFinishLaunching();
        QCOMPARE(third.search()->recentSearches(), expected);
    }

    // The recent-search menu: entries, a separator, then Clear; choosing an entry searches for it.
    void recentSearchMenu()
    {
        LaunchedApp s;
        QVERIFY(s.delegate.loadJSONString(kFruits));
        s.delegate.search()->addRecentSearch(QStringLiteral("apple"));
        s.delegate.search()->addRecentSearch(QStringLiteral("cherry"));
        s.delegate.search()->addRecentSearch(QStringLiteral("salt & pepper"));
        s.delegate.search()->updateSearchMenu();
        QCOMPARE(s.delegate.search()->searchMenu()->title(), QStringLiteral("Recent Searches"));
        QList<QAction*> items = s.delegate.search()->searchMenu()->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0]->text(), QStringLiteral("salt && pepper")); // shown as it is, without a mnemonic
        QCOMPARE(items[1]->text(), QStringLiteral("cherry"));
        QCOMPARE(items[2]->text(), QStringLiteral("apple"));
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4]->text(), QStringLiteral("&Clear Recent Searches"));

        items[2]->trigger();
        QCOMPARE(s.delegate.search()->recentSearches(), (QStringList{"apple", "salt & pepper", "cherry"}));
        QCOMPARE(s.delegate.search()->value(), QStringLiteral("apple"));
        QCOMPARE(s.rowNames(), (QStringList{"root", "fruits", "[0]"}));
        QCOMPARE(s.delegate.search()->searchMenu()->actions().first()->text(), QStringLiteral("apple"));
        s.delegate.search()->searchMenu()->actions().last()->trigger();
        QVERIFY(s.delegate.search()->recentSearches().isEmpty());
        QVERIFY(!Settings::instance().store().contains(kRecentSearchesKey));
        QVERIFY(s.delegate.search()->searchMenu()->actions().isEmpty());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
