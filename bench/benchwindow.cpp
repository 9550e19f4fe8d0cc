#include "benchwindow.h"

#include "app/mainwindow.h"
#include "core/basicutilities.h"
#include "panels/portchooser.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "widgets/alert.h"
#include "widgets/logpane.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTabWidget>

BenchWindow::BenchWindow(const QStringList &ports)
{
    setAppPathOverride(m_settingsDir.path());
    // An alert must never wait for a click in a benchmark; it is counted instead.
    setAlertResponder([](const AlertRecord &) { return true; });
    PortScanner::setCandidateSource([] { return QStringList(); });

    MainWindow::Options options;
    options.extraPorts = ports;
    m_window = std::make_unique<MainWindow>(options);
    m_window->startup();
    m_window->show();
    // The Display tab holds the transmit log and the font upload, so it is in front while
    // commands go out.
    if (auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("SSTab1")))
        tabs->setCurrentIndex(0);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    clearAlertHistory();
}

BenchWindow::~BenchWindow()
{
    m_window.reset();
    PortScanner::setCandidateSource({});
    setAlertResponder({});
    setAppPathOverride(QString());
}

LogPane *BenchWindow::serialout() const
{
    return m_window->findChild<LogPane *>(QStringLiteral("serialout"));
}

QCheckBox *BenchWindow::logtraffic() const
{
    return m_window->findChild<QCheckBox *>(QStringLiteral("logtraffic"));
}

bool BenchWindow::openPort(const QString &name)
{
    QComboBox *list = m_window->portChooser().portselect();
    const int index = list->findText(name);
    if (index < 0)
        return false;
    m_window->portChooser().select(index);
    return m_window->link().portopen();
}

int BenchWindow::alertsSinceStartup() const
{
    return static_cast<int>(alertHistory().size());
}
