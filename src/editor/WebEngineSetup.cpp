#include "editor/WebEngineSetup.h"

#include <QCoreApplication>
#include <QWebEngineUrlScheme>
#include <unistd.h>

namespace WebEngineSetup {

void prepareProcess()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The editor page and the texts it fetches come from this scheme, which must be known before the engine
    // starts.
    if (QWebEngineUrlScheme::schemeByName(QByteArrayLiteral("brackwell")).name().isEmpty()) {
        QWebEngineUrlScheme scheme(QByteArrayLiteral("brackwell"));
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                        QWebEngineUrlScheme::ContentSecurityPolicyIgnored | QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

} // namespace WebEngineSetup
