#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

class GoToPathDialog;
class OutlineController;
class SearchController;
class Workspace;
enum class PathStyle;

// Paths that tools read: Copy Path and Copy Path As (jq, JSON Pointer, JSONPath), and Edit → Go to Path….
class PathController : public QObject
{
    Q_OBJECT
public:
    PathController(Workspace& workspace, OutlineController& outline, SearchController& search,
                   QObject* parent = nullptr);

    void copyNodePath();
    void copyNodePathAs(PathStyle style);
    QMenu* copyPathAsMenu();
    void showGoToPath();
    // Selects the node a path leads to, showing its row; false, with the reason in the dialog, when none.
    bool goToPath(const QString& path);
    GoToPathDialog* goToPathDialog() const { return m_goToPathDialog; }

private:
    Workspace& m_workspace;
    OutlineController& m_outline;
    SearchController& m_search;
    QPointer<QMenu> m_copyPathAsMenu;
    GoToPathDialog* m_goToPathDialog = nullptr;
};
