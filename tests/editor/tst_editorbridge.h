#pragma once

// Declared apart from the tests, whose raw string literals the meta-object compiler cannot read.

#include <QObject>

class EditorBridgeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // The script literal the text travels in.
    void scriptLiteralReadsBackAsTheOriginal_data();
    void scriptLiteralReadsBackAsTheOriginal();
    void pushedTextIsTheDocumentsPrettyText();

    // The page's messages.
    void messagesThatChangeNothing_data();
    void messagesThatChangeNothing();

    // Text edited in the page.
    void refusedPageTextShowsTheReadersError_data();
    void refusedPageTextShowsTheReadersError();
    void pageTextBecomesTheDocument();
    void pageTextIsNotPushedBackByTheTimedPush();
    void longPageTextArrivesInParts();
    void incompletePartsChangeNothing_data();
    void incompletePartsChangeNothing();
    void largePageTextIsReadOnAWorkerAndLosesToLaterChanges();

    // Loading the page.
    void pageIsChosenByAppearance_data();
    void pageIsChosenByAppearance();
    void missingPageIsLoggedWithoutFallback();
    void unreadablePageIsLogged();

    // Pushing the document into the page.
    void documentChangesArePushed_data();
    void documentChangesArePushed();
    void pageGetsTheTextOnceLoaded();
    void reloadDoesNotWaitForTheOldPage();
    void burstOfEditsMakesOnePush();
    void longTextIsPushedInParts();
    void pushInPartsStopsAtAFailedPart();
    void documentTooLargeForThePageShowsANotice();
    void reloadDropsTheRestOfAPushInParts();
    void editsWaitForTheUnansweredPush();
    void pageTypedInSinceThePushTakesTheWholeText();
    void pageEditComesAsChangedLines();
    void timedPushOnlyWhenThePageMayLackTheText_data();
    void timedPushOnlyWhenThePageMayLackTheText();
};
