#include "app/WebEngineProcess.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

void setDefaultEnvironment(const char *name, const QByteArray &value)
{
    if (!qEnvironmentVariableIsSet(name))
        qputenv(name, value);
}

} // namespace

void prepareWebEngineProcess(bool headless)
{
    if (runningAsRoot() || headless)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (headless) {
        setDefaultEnvironment("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        setDefaultEnvironment("QT_QPA_PLATFORM", "offscreen");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
