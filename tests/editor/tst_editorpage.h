#pragma once

// Declared apart from the tests, whose raw string literals the meta-object compiler cannot read.

#include <QObject>

class EditorPageTest : public QObject
{
    Q_OBJECT

private slots:
    void pushedTextKeepsEveryCharacterAndNumber();
    void longTextIsPushedInParts();
    void editInPageReplacesTreeWithoutPushBack();
    void longEditInPageArrivesWhole();
    void editingKeysInThePageStayInThePage();
    void undoKeysInThePageUndoTyping();
    void documentTooLargeShowsANoticeInThePage();
    void darkAppearanceLoadsDarkPageOnce();
    void missingPageIsLoggedAndWindowStillWorks();
};
