#include "app/protocolhelp.h"

#include "core/basicutilities.h"
#include "widgets/alert.h"
#include "widgets/helpwindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace {
std::function<bool(const QString &)> g_helpOpener;
#ifdef Q_OS_WIN
const QString kWordPad = QStringLiteral("c:\\Program Files\\Windows NT\\Accessories\\wordpad.exe");
#endif

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

bool ProtocolHelp::openRtf(const QString &helpPath)
{
    if (g_helpOpener)
        return g_helpOpener(helpPath);
#ifdef Q_OS_WIN
    return startMinimised(kWordPad, helpPath);
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(helpPath));
#endif
}

void ProtocolHelp::open()
{
    const QString helpPath = helpFilePath(QStringLiteral("Vornik.rtf"));
    const bool present = FileExists(helpPath);
    const QString notOpened = QStringLiteral("No application could open %1")
                                      .arg(QDir::toNativeSeparators(helpPath));
    // The description always shows in the program's own window; the RTF is offered beside it
    // where something can open it (a desktop may start its opener and still show nothing).
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(m_window);
    if (present && rtfViewerKnown()) {
        m_helpWindow->offerOther(QStringLiteral("Open the RTF file"),
                                 [this, helpPath, notOpened](QString &why) {
                                     why = notOpened + QLatin1Char('.');
                                     return openRtf(helpPath);
                                 });
    } else {
        m_helpWindow->offerOther(QString(), {});
    }
    if (m_helpWindow->showFile(helpFilePath(QStringLiteral("Vornik.md")), QString()))
        return;
    if (present && openRtf(helpPath))
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

bool ProtocolHelp::rtfViewerKnown()
{
    if (g_helpOpener)
        return true;
#ifdef Q_OS_WIN
    return FileExists(kWordPad);
#else
    // The desktop's opener starts whether or not an application takes the file; its database
    // says whether one does. Without the tool the desktop is not asked, and the button is
    // offered all the same.
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return true;
    for (const char *type : {"application/rtf", "text/rtf"}) {
        QProcess process;
        process.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                              QString::fromLatin1(type)});
        if (process.waitForFinished(3000) && !process.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    return false;
#endif
}
