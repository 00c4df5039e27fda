#include "app/menus/MenuTable.h"

#include "app/AboutDialog.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/documents/DocumentController.h"
#include "app/documents/ExportController.h"
#include "app/downloader/DownloadController.h"
#include "app/editor/EditorController.h"
#include "app/findreplace/FindReplaceController.h"
#include "app/jq/JqController.h"
#include "app/newsletter/NewsletterController.h"
#include "app/outline/OutlineController.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "app/undo/UndoHistory.h"

#include <QAction>
#include <QCoreApplication>
#include <QWebEnginePage>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MainMenus", text);
}

} // namespace

std::vector<MenuRow> mainMenuTable(AppDelegate& app)
{
    using Row = MenuRow;
    using Command = MenuCommand;
    DocumentController& documents = *app.documents();
    ExportController& exports = *app.exports();
    OutlineController& outline = *app.outline();
    EditorController& editor = *app.editor();
    MainWindow& window = *app.window();
    auto exportAs = [&exports](ExportFormat format) { return [&exports, format] { exports.exportWithPanel(format); }; };
    const QKeySequence none;

    return {
        Row::menu(tr("&File")),
        Row::item(Command::New, tr("&New"), QKeySequence::New, [&documents] { documents.newDocument(); }),
        Row::item(Command::Open, tr("&Open…"), QKeySequence::Open, [&documents] { documents.openDocument(); }),
        Row::item(Command::OpenFromClipboard, tr("Open from &Clipboard"), Qt::CTRL | Qt::SHIFT | Qt::Key_V,
                  [&documents] { documents.openFromClipboard(); }),
        Row::menu(tr("Open &Recent")),
        Row::end(),
        Row::separator(),
        Row::item(Command::Save, tr("&Save"), QKeySequence::Save, [&documents] { documents.saveDocument(); }),
        Row::item(Command::SaveAs, tr("Save &As…"), Qt::CTRL | Qt::SHIFT | Qt::Key_S,
                  [&documents] { documents.saveDocumentAs(); }),
        Row::menu(tr("&Export")),
        Row::item(Command::ExportXml, tr("&XML…"), none, exportAs(ExportFormat::Xml)),
        Row::item(Command::ExportYaml, tr("&YAML…"), none, exportAs(ExportFormat::Yaml)),
        Row::separator(),
        Row::item(Command::ExportPlistXml, tr("&Property List (XML)…"), none, exportAs(ExportFormat::PlistXml)),
        Row::item(Command::ExportPlistBinary, tr("Property List (&Binary)…"), none,
                  exportAs(ExportFormat::PlistBinary)),
        Row::item(Command::ExportPlistOpenStep, tr("Property List (&OpenStep)…"), none,
                  exportAs(ExportFormat::PlistOpenStep)),
        Row::end(),
        Row::separator(),
        Row::item(Command::Quit, tr("&Quit"), QKeySequence::Quit, [&window] { window.close(); }),
        Row::end(),

        Row::menu(tr("&Edit")),
        Row::existing(app.undoHistory()->undoAction()),
        Row::existing(app.undoHistory()->redoAction()),
        Row::separator(),
        // For the text fields (the search field, the cell editors and the panels) and the code editor.
        Row::item(Command::Cut, tr("Cu&t"), QKeySequence::Cut,
                  [&editor] { editor.triggerEditingAction(QWebEnginePage::Cut, "cut"); }),
        Row::item(Command::Copy, tr("&Copy"), QKeySequence::Copy,
                  [&editor] { editor.triggerEditingAction(QWebEnginePage::Copy, "copy"); }),
        Row::item(Command::Paste, tr("&Paste"), QKeySequence::Paste,
                  [&editor] { editor.triggerEditingAction(QWebEnginePage::Paste, "paste"); }),
        Row::separator(),
        Row::item(Command::AddRow, tr("&Add Row"), Qt::CTRL | Qt::Key_Equal,
                  [&outline] { outline.addForSelectedRow(); }),
        // Text fields keep Ctrl+Backspace for deleting a word (AppDelegate::eventFilter).
        Row::item(Command::RemoveRow, tr("Re&move Row"), Qt::CTRL | Qt::Key_Backspace,
                  [&outline] { outline.removeSelectedRow(); }),
        Row::separator(),
        Row::item(Command::FindReplace, tr("Find && &Replace…"), Qt::CTRL | Qt::ALT | Qt::Key_F,
                  [&app] { app.findReplace()->showFindReplace(); }),
        Row::separator(),
        Row::existing(app.paths()->copyPathAsMenu()),
        Row::item(Command::GoToPath, tr("&Go to Path…"), Qt::CTRL | Qt::Key_L, [&app] { app.paths()->showGoToPath(); }),
        Row::end(),

        Row::menu(tr("&View")),
        Row::item(Command::ToggleSearchPanel, tr("Toggle &Search Panel"), Qt::CTRL | Qt::SHIFT | Qt::Key_F,
                  [&app] { app.search()->toggleSearchPanel(); }),
        Row::item(Command::ToggleCodeEditor, tr("Toggle Code &Editor"), Qt::CTRL | Qt::SHIFT | Qt::Key_E,
                  [&editor] { editor.toggleCodePanel(); }),
        Row::separator(),
        Row::item(Command::ExpandAll, tr("E&xpand All"), Qt::CTRL | Qt::SHIFT | Qt::Key_Right,
                  [&outline] { outline.expandAllRows(); }),
        Row::item(Command::CollapseAll, tr("&Collapse All"), Qt::CTRL | Qt::SHIFT | Qt::Key_Left,
                  [&outline] { outline.collapseAllRows(); }),
        Row::separator(),
        Row::item(Command::ShowRowIcons, tr("Show Row &Icons"), Qt::CTRL | Qt::SHIFT | Qt::Key_I,
                  [&outline] { outline.setShowRowIcons(!outline.showRowIcons()); })
            .checkableItem(),
        Row::end(),

        Row::menu(tr("&Tools")),
        Row::item(Command::JqPanel, tr("&JQ Panel…"), Qt::CTRL | Qt::SHIFT | Qt::Key_J,
                  [&app] { app.jq()->showJQPanel(); }),
        Row::item(Command::DownloadFromUrl, tr("&Download from URL…"), Qt::CTRL | Qt::SHIFT | Qt::Key_D,
                  [&app] { app.downloads()->showDownloaderMenu(); }),
        Row::end(),

        // The newsletter's item joins the end of this menu while the user has not opted out.
        Row::menu(tr("&Help")),
        Row::item(Command::CheckForUpdates, tr("Check for &Updates…"), none,
                  [&app] { app.newsletter()->checkForUpdates(); }),
        Row::item(Command::About, tr("&About Brackwell"), none,
                  [&window] {
                      auto* about = new AboutDialog(&window);
                      about->setAttribute(Qt::WA_DeleteOnClose);
                      about->open();
                  }),
        Row::end(),
    };
}

std::vector<MenuRow> outlineMenuTable(AppDelegate& app)
{
    PathController& paths = *app.paths();
    OutlineController& outline = *app.outline();
    return {
        MenuRow::item(MenuCommand::CopyPath, tr("Copy &Path"), {}, [&paths] { paths.copyNodePath(); }),
        MenuRow::existing(paths.copyPathAsMenu()),
        MenuRow::item(MenuCommand::CopyAsJson, tr("Copy as &JSON"), {}, [&outline] { outline.copyNodeAsJSON(); }),
    };
}
