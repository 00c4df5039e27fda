#include "app/MainWindow.h"

#include "app/outline/OutlineView.h"
#include "app/search/SearchField.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* optionButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setCheckable(true);
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setAutoRaise(true);
    return button;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Brackwell[*]"));
    resize(1200, 760);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);

    m_leftPane = new QWidget(m_splitter);
    auto* left = new QVBoxLayout(m_leftPane);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);

    m_searchBar = new QWidget(m_leftPane);
    m_searchBar->setFixedHeight(searchBarHeight);
    auto* bar = new QHBoxLayout(m_searchBar);
    bar->setContentsMargins(8, 6, 8, 6);
    bar->setSpacing(4);
    m_searchField = new SearchField(m_searchBar);
    m_caseButton = optionButton(QStringLiteral("Aa"), tr("Match Case"), m_searchBar);
    m_regexButton = optionButton(QStringLiteral(".*"), tr("Regular Expression"), m_searchBar);
    m_downloadButton = optionButton(QStringLiteral("⤓"), tr("Download from URL"), m_searchBar);
    m_downloadButton->setCheckable(false);
    bar->addWidget(m_downloadButton);
    bar->addWidget(m_searchField, 1);
    bar->addWidget(m_caseButton);
    bar->addWidget(m_regexButton);
    left->addWidget(m_searchBar);

    m_outline = new OutlineView(m_leftPane);
    left->addWidget(m_outline, 1);

    // The code editor page, with the page's verdict on the text under it.
    m_codePane = new QWidget(m_splitter);
    m_codePane->setAccessibleName(tr("Code Editor"));
    m_codePane->setAutoFillBackground(true);
    auto* code = new QVBoxLayout(m_codePane);
    code->setContentsMargins(0, 0, 0, 0);
    code->setSpacing(0);
    m_editorHost = new QWidget(m_codePane);
    auto* host = new QVBoxLayout(m_editorHost);
    host->setContentsMargins(0, 0, 0, 0);
    code->addWidget(m_editorHost, 1);
    m_editorError = new QLabel(m_codePane);
    m_editorError->setAccessibleName(tr("Code Editor Error"));
    m_editorError->setWordWrap(true);
    m_editorError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_editorError->setContentsMargins(6, 3, 6, 3);
    QPalette errorPalette = m_editorError->palette();
    errorPalette.setColor(QPalette::WindowText, QColor(0xd0, 0x21, 0x21));
    m_editorError->setPalette(errorPalette);
    m_editorError->hide();
    code->addWidget(m_editorError);

    m_splitter->addWidget(m_leftPane);
    m_splitter->addWidget(m_codePane);
    setCentralWidget(m_splitter);
    // The outline and the code pane start with half the width each; the splitter keeps the proportion.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({width() / 2, width() - width() / 2});

    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0); // busy, with no known end
    m_busy->setMaximumWidth(160);
    m_busy->setAccessibleName(tr("Loading"));
    m_busy->hide();
    statusBar()->addPermanentWidget(m_busy);
    m_statusNotice = new QLabel(this);
    m_statusNotice->setAccessibleName(tr("Document Notice"));
    m_statusNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_statusNotice, 1);
}

void MainWindow::showSubtitle(const QString& subtitle, bool modified)
{
    if (subtitle.isEmpty()) {
        setWindowTitle(QStringLiteral("Brackwell[*]"));
        setWindowModified(false);
        return;
    }
    // The subtitle already carries its "*"; the edited flag marks the window for the desktop as well, and
    // the title always holds the flag's place so that the flag can be set at any time.
    QString shown = subtitle;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    if (modified && shown.endsWith(QLatin1Char('*')))
        shown.chop(1);
    setWindowTitle(shown + QStringLiteral("[*] — Brackwell"));
    setWindowModified(modified);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
