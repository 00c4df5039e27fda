#pragma once

#include "model/Document.h"
#include "net/Downloader.h"

#include <QList>
#include <QObject>
#include <memory>

class DocumentController;
class DownloaderPopover;
class HeaderEntry;
class QNetworkAccessManager;
class Workspace;

// The downloader: fetching JSON over HTTP with the popover's method and headers, and opening it as the document.
class DownloadController : public QObject
{
    Q_OBJECT
public:
    DownloadController(Workspace& workspace, DocumentController& documents, QObject* parent = nullptr);

    bool DownloaderIsShown() const { return m_downloaderIsShown; }
    bool isDownloading() const { return m_isDownloading; }
    bool headersCollapsed() const { return m_headersCollapsed; }
    const QList<HeaderEntry*>& headers() const { return m_headers; }
    HeaderEntry* addHeader();
    void removeHeader(int row);
    // The window's download button passes itself; any other sender is refused with a log line.
    void toggleDownloadPopover(QObject* sender);
    void toggleHeaders(bool on);
    void showDownloaderMenu();
    // Sends the popover's request; the answer replaces the document or ends in an alert.
    void downloadFromWebRequest();
    DownloaderPopover* downloadPopover();

signals:
    // An answer was handled (alert shown, or document replaced or kept).
    void downloadHandled();

private:
    void setIsDownloading(bool downloading);
    void closeDownloadPopover();
    void finishDownload(Document::Loaded download, const QString& fileName = {});

    Workspace& m_workspace;
    DocumentController& m_documents;
    bool m_downloaderIsShown = false;
    bool m_isDownloading = false;
    bool m_headersCollapsed = true;
    QList<HeaderEntry*> m_headers;
    DownloaderPopover* m_downloadPopover = nullptr;
    QNetworkAccessManager* m_network = nullptr;
};
