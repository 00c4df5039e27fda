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
    void longPageTextArrivesInParts();
    void incompletePartsChangeNothing_data();
    void incompletePartsChangeNothing();
    void largePageTextIsReadOnAWorkerAndLosesToLaterChanges();

    // Loading the page.
    void pageIsChosenByAppearance_data();
    void pageIsChosenByAppearance();
    void unusablePageIsLoggedWithoutFallback_data();
    void unusablePageIsLoggedWithoutFallback();

    // Pushing the document into the page.
    void documentChangesArePushed_data();
    void documentChangesArePushed();
    void pageGetsTheTextOnEachLoad();
    void editsAreMergedIntoFewPushes();
    void longTextIsPushedInParts();
    void pushInPartsStopsAtAFailedPart();
    void documentTooLargeForThePageShowsANotice();
    void reloadDropsTheRestOfAPushInParts();
    void pageTypedInSinceThePushTakesTheWholeText();
    void pageEditComesAsChangedLines();
    void timedPushOnlyWhenThePageMayLackTheText_data();
    void timedPushOnlyWhenThePageMayLackTheText();
};
