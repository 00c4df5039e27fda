#include "app/downloader/DownloadController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/documents/DocumentController.h"
#include "app/downloader/DownloaderPopover.h"
#include "model/Alerts.h"
#include "model/Document.h"
#include "model/Log.h"
#include "model/Settings.h"
#include "net/Downloader.h"
#include "net/HeaderEntry.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

DownloadController::DownloadController(Workspace& workspace, DocumentController& documents, QObject* parent)
    : QObject(parent), m_workspace(workspace), m_documents(documents)
{
    QToolButton* button = m_workspace.window().downloadButton();
    connect(button, &QToolButton::clicked, this, [this, button] { toggleDownloadPopover(button); });
}

DownloaderPopover* DownloadController::downloadPopover()
{
    if (!m_downloadPopover) {
        m_downloadPopover = new DownloaderPopover(&m_workspace.window());
        connect(m_downloadPopover, &DownloaderPopover::shown, this, [this] { m_downloaderIsShown = true; });
        connect(m_downloadPopover, &DownloaderPopover::closed, this, [this] { m_downloaderIsShown = false; });
        connect(m_downloadPopover->headersButton(), &QToolButton::toggled, this,
                [this](bool on) { toggleHeaders(on); });
        connect(m_downloadPopover->loadButton(), &QPushButton::clicked, this,
                &DownloadController::downloadFromWebRequest);
        connect(m_downloadPopover->urlField(), &QLineEdit::returnPressed, this,
                &DownloadController::downloadFromWebRequest);
        connect(m_downloadPopover->addButton(), &QPushButton::clicked, this, [this] { addHeader(); });
        connect(m_downloadPopover->removeButton(), &QPushButton::clicked, this,
                [this] { removeHeader(m_downloadPopover->headerTable()->currentRow()); });
        m_downloadPopover->setHeaders(m_headers);
    }
    return m_downloadPopover;
}

void DownloadController::setIsDownloading(bool downloading)
{
    if (m_isDownloading == downloading)
        return;
    m_isDownloading = downloading;
    if (m_downloadPopover)
        m_downloadPopover->progress()->setVisible(downloading);
}

HeaderEntry* DownloadController::addHeader()
{
    auto* entry = new HeaderEntry(this);
    m_headers.append(entry);
    if (m_downloadPopover)
        m_downloadPopover->setHeaders(m_headers);
    return entry;
}

void DownloadController::removeHeader(int row)
{
    if (row < 0 || row >= m_headers.size())
        return;
    m_headers.takeAt(row)->deleteLater();
    if (m_downloadPopover)
        m_downloadPopover->setHeaders(m_headers);
}

void DownloadController::toggleDownloadPopover(QObject* sender)
{
    auto* button = qobject_cast<QAbstractButton*>(sender);
    if (!button) {
        BW_LOG_ERROR("toggleDownloadPopover(_:)", QStringLiteral("toggleDownloadPopover sender is not a button"));
        return;
    }
    DownloaderPopover* popover = downloadPopover();
    popover->setFixedHeight(m_headersCollapsed ? DownloaderPopover::foldedHeight : DownloaderPopover::unfoldedHeight);
    popover->showAt(button);
}

void DownloadController::showDownloaderMenu()
{
    if (QAbstractButton* button = m_workspace.window().downloadButton())
        downloadPopover()->showAt(button);
}

void DownloadController::toggleHeaders(bool on)
{
    DownloaderPopover* popover = downloadPopover();
    m_headersCollapsed = !on;
    popover->setHeadersVisible(on);
    const int change = on ? DownloaderPopover::unfoldedHeight - DownloaderPopover::foldedHeight
                          : DownloaderPopover::foldedHeight - DownloaderPopover::unfoldedHeight;
    popover->setFixedHeight(popover->height() + change);
}

void DownloadController::closeDownloadPopover()
{
    if (m_downloadPopover)
        m_downloadPopover->hide();
}

void DownloadController::downloadFromWebRequest()
{
    DownloaderPopover* popover = downloadPopover();
    m_workspace.window().setWindowModified(true);
    const auto url = Downloader::parseUrl(popover->urlField()->text());
    if (!url) {
        BW_LOG_ERROR("downloadFromWebRequest(_:)", QStringLiteral("Invalid URL entered in downloader"));
        Alerts::present({QStringLiteral("Invalid URL"),
                         QStringLiteral("The URL you entered doesn't look valid. Please check it and try again."),
                         Alert::Style::Critical});
        closeDownloadPopover();
        return;
    }
    QList<QPair<QString, QString>> rows;
    for (const HeaderEntry* entry : std::as_const(m_headers))
        rows.append({entry->name(), entry->value()});
    const auto method = popover->methodGroup()->checkedId() == 0 ? Downloader::Method::Get : Downloader::Method::Post;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    setIsDownloading(true);
    QNetworkReply* reply = Downloader::send(*m_network, Downloader::makeRequest(*url, rows), method);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (const auto head = Downloader::judgeHead(*reply); !head) {
            finishDownload(head.error());
            return;
        }
        QByteArray body = reply->readAll();
        // A body that is not UTF-8 is not read as another encoding.
        if (!QByteArrayView(body).isValidUtf8()) {
            finishDownload(Downloader::emptyResponse());
            return;
        }
        // Building the tree of a large body takes a while: it happens on a worker thread, and isDownloading
        // stays true until the document is here.
        // The address's file name tells JSON Lines (.jsonl, .ndjson) apart, as a file's does.
        const QString fileName = reply->url().fileName();
        Document::documentFromBytesAsync(
            std::move(body), this,
            [this, fileName](Document::Loaded document) {
                if (!document) {
                    BW_LOG_ERROR("downloadFromWebRequest(_:)", document.error().description());
                    finishDownload(Downloader::notValidJson());
                    return;
                }
                finishDownload(std::move(document), fileName);
            },
            Document::Reading::Relaxed, fileName);
    });
}

void DownloadController::finishDownload(Document::Loaded download, const QString& fileName)
{
    setIsDownloading(false);
    if (!download) {
        Alerts::present({Downloader::alertTitle(download.error()), download.error().message, Alert::Style::Critical});
        closeDownloadPopover();
        emit downloadHandled();
        return;
    }
    auto pending = std::make_shared<std::unique_ptr<Document>>(std::move(*download));
    auto replace = [this, pending, fileName] {
        m_documents.installReadDocument(std::move(*pending), DocumentController::ReadSource::Download, fileName);
        closeDownloadPopover();
    };
    if (m_workspace.isUnsaved()) {
        m_documents.proceedDroppingChanges(Settings::performedDownloadKey(), replace);
        closeDownloadPopover();
    } else {
        replace();
    }
    emit downloadHandled();
}
