#include "app/protocolhelp.h"

#include "core/basicutilities.h"
#include "widgets/alert.h"
#include "widgets/helpwindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <QWidget>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace {
std::function<bool(const QString &)> g_helpOpener;

#ifdef Q_OS_WIN
// The viewer starts minimised and active, so the user finds it on the task bar with the focus.
bool startMinimised(const QString &viewer, const QString &file)
{
    const QString program = QDir::toNativeSeparators(viewer);
    const QString argument = QLatin1Char('"') + QDir::toNativeSeparators(file) + QLatin1Char('"');
    const HINSTANCE result
            = ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(program.utf16()),
                            reinterpret_cast<LPCWSTR>(argument.utf16()), nullptr, SW_SHOWMINIMIZED);
    // ShellExecute reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}
#endif

// A help file beside the program (a build folder), else in the installed doc folder: first
// where it lies relative to the program, so a moved prefix still finds it, then where it was
// installed.
QString helpFilePath(const QString &fileName)
{
    const QString name = QLatin1Char('/') + fileName;
    const QString beside = AppPath() + name;
    const QStringList candidates
            = {beside, AppPath() + QStringLiteral("/" VORNIK_DOCDIR_FROM_BINDIR) + name,
               QStringLiteral(VORNIK_DOCDIR) + name};
    for (const QString &path : candidates) {
        if (FileExists(path))
            return QDir::cleanPath(path);
    }
    return beside;
}
} // namespace

ProtocolHelp::ProtocolHelp(QWidget *window) : QObject(window), m_window(window) {}

void ProtocolHelp::setOpener(std::function<bool(const QString &)> opener)
{
    g_helpOpener = std::move(opener);
}

void ProtocolHelp::open()
{
    const QString helpPath = helpFilePath(QStringLiteral("Vornik.rtf"));
    const bool present = FileExists(helpPath);
    bool started = false;
#ifdef Q_OS_WIN
    const QString viewer
            = QStringLiteral("c:\\Program Files\\Windows NT\\Accessories\\wordpad.exe");
    if (present && FileExists(viewer))
        started = g_helpOpener ? g_helpOpener(helpPath) : startMinimised(viewer, helpPath);
#else
    // No fixed viewer here: the desktop's default application for the file opens it.
    if (present)
        started = g_helpOpener ? g_helpOpener(helpPath)
                               : QDesktopServices::openUrl(QUrl::fromLocalFile(helpPath));
#endif
    if (started)
        return;
    const QString notOpened = QStringLiteral("No application could open %1")
                                      .arg(QDir::toNativeSeparators(helpPath));
    // The same description in a form Qt shows, in the program's own window.
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(m_window);
    if (m_helpWindow->showFile(helpFilePath(QStringLiteral("Vornik.md")),
                               present ? notOpened
                                                 + QStringLiteral("; the protocol description "
                                                                  "is shown here instead.")
                                       : QString()))
        return;
    if (present)
        showalert(QStringLiteral("Help file not opened"), notOpened + QLatin1Char('.'), 0,
                  AlertStyle::Warning, 12);
    else
        showalert(QStringLiteral("Help file not found"),
                  QStringLiteral("The Vornik.rtf help file was not found.  Open the file manually "
                                 "from the installation directory."),
                  0, AlertStyle::Warning, 12);
}
