#include "../net/LocalHttpServer.h"
#include "AppTestSupport.h"
#include "app/newsletter/MailingListPromptView.h"
#include "app/menus/MenuText.h"
#include "newsletter/MailingListManager.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A controller launched with a manager of its own: stores in a temporary folder, requests to `endpoint`.
struct NewsletterApp
{
    TemporarySettings settings;
    AlertRecorder alerts;
    QTemporaryDir dir;
    std::unique_ptr<MailingListManager> manager;
    AppDelegate delegate;

    explicit NewsletterApp(const QUrl& endpoint = QUrl(QStringLiteral("http://127.0.0.1:9/mailinglist.php")))
    {
        MailingListManager::Environment environment;
        environment.sharedSettingsPath = dir.filePath(QStringLiteral("shared.conf"));
        environment.appSettingsPath = dir.filePath(QStringLiteral("app.conf"));
        environment.appId = QStringLiteral("org.brackwell.Test");
        environment.now = [] { return QDateTime::currentDateTime(); };
        environment.endpoint = endpoint;
        manager = std::make_unique<MailingListManager>(environment);
        delegate.newsletter()->setMailingListManager(manager.get());
        delegate.window()->show();
        delegate.applicationDidFinishLaunching();
    }
    ~NewsletterApp() { manager->disconnect(); }
    QStringList helpItems() const
    {
        QStringList items;
        for (QAction* item : delegate.menus()->menu(QStringLiteral("Help"))->actions())
            items << (item->isSeparator() ? QStringLiteral("-") : withoutMnemonic(item->text()));
        return items;
    }
};

} // namespace

class TestNewsletterPrompt : public QObject
{
    Q_OBJECT
private slots:
    // The Help menu offers the newsletter once until the user has answered for good.
    void helpMenuItem()
    {
        NewsletterApp app;
        QCOMPARE(app.helpItems(),
                 (QStringList{"Check for Updates…", "About Brackwell", "-", "Subscribe to Newsletter…"}));
        app.delegate.newsletter()->updateHelpMenu(false);
        QCOMPARE(app.helpItems().count(QStringLiteral("Subscribe to Newsletter…")), 1);
        app.manager->decline();
        QTRY_VERIFY(!app.delegate.newsletter()->subscribeMenuItem());
        QCOMPARE(app.helpItems(), (QStringList{"Check for Updates…", "About Brackwell", "-"}));
    }

    // The menu command shows one sheet; it starts empty and closes through the manager only.
    void sheetFollowsManager()
    {
        NewsletterApp app;
        app.delegate.newsletter()->showMailingListPrompt();
        QTRY_VERIFY(app.delegate.newsletter()->mailingListSheet());
        MailingListPromptView* sheet = app.delegate.newsletter()->mailingListSheet();
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(sheet->emailField()->text().isEmpty());
        QVERIFY(!sheet->subscribeButton()->isEnabled());
        app.manager->setIsPresented(true);
        QTest::qWait(50);
        QCOMPARE(app.delegate.newsletter()->mailingListSheet(), sheet);
        // Escape does not close it.
        QTest::keyClick(sheet, Qt::Key_Escape);
        QVERIFY(sheet->isVisible());
        sheet->snoozeButton()->click();
        QTRY_VERIFY(!app.delegate.newsletter()->mailingListSheet());
        QVERIFY(app.delegate.newsletter()->subscribeMenuItem()); // still offered after "Maybe later"
    }

    // A failure shows its message and keeps the address; a new presentation starts afresh.
    void failureThenFreshForm()
    {
        NewsletterApp app;
        app.delegate.newsletter()->showMailingListPrompt();
        QTRY_VERIFY(app.delegate.newsletter()->mailingListSheet());
        MailingListPromptView* sheet = app.delegate.newsletter()->mailingListSheet();
        QTest::keyClicks(sheet->emailField(), QStringLiteral(" "));
        QVERIFY(sheet->subscribeButton()->isEnabled());
        sheet->subscribeButton()->click();
        QTRY_VERIFY(sheet->failureLabel()->isVisible());
        QCOMPARE(sheet->failureLabel()->text(), QStringLiteral("Please enter a valid email address."));
        QCOMPARE(sheet->emailField()->text(), QStringLiteral(" "));
        QCOMPARE(sheet->currentScreen(), 0);

        app.manager->setIsPresented(false);
        QTRY_VERIFY(!app.delegate.newsletter()->mailingListSheet());
        app.delegate.newsletter()->showMailingListPrompt();
        QTRY_VERIFY(app.delegate.newsletter()->mailingListSheet());
        QVERIFY(app.delegate.newsletter()->mailingListSheet()->emailField()->text().isEmpty());
        QVERIFY(!app.delegate.newsletter()->mailingListSheet()->failureLabel()->isVisible());
    }

    // A subscription shows the confirmation, withdraws the menu item and closes itself after a while.
    void successClosesItself()
    {
        LocalHttpServer server;
        server.respond(200, "OK", "{}");
        NewsletterApp app(server.url(QStringLiteral("/mailinglist.php")));
        app.delegate.newsletter()->showMailingListPrompt();
        QTRY_VERIFY(app.delegate.newsletter()->mailingListSheet());
        MailingListPromptView* sheet = app.delegate.newsletter()->mailingListSheet();
        QTest::keyClicks(sheet->emailField(), QStringLiteral("me@example.com"));
        sheet->subscribeButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(sheet->currentScreen(), 2, 20000);
        QVERIFY(sheet->dismissalPending());
        QTRY_VERIFY(!app.delegate.newsletter()->subscribeMenuItem());
        QTRY_VERIFY_WITH_TIMEOUT(!app.delegate.newsletter()->mailingListSheet(), MailingListPromptView::autoDismissMs + 5000);
        QVERIFY(!app.manager->isPresented());
        QCOMPARE(server.requests.size(), 1);
        // Once subscribed, the menu command shows nothing more.
        app.delegate.newsletter()->showMailingListPrompt();
        QTest::qWait(50);
        QVERIFY(!app.delegate.newsletter()->mailingListSheet());
    }
};

QTEST_MAIN(TestNewsletterPrompt)
#include "tst_newsletterprompt.moc"
