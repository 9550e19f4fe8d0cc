#include "support/testwindow.h"

#include "core/basicutilities.h"
#include "panels/portchooser.h"
#include "serial/portscanner.h"
#include "widgets/savechangesform.h"

#include <QComboBox>

TestWindow::TestWindow(bool startup, const QStringList &candidates)
{
    setAppPathOverride(m_dir.path());
    SaveChangesForm::setResponder([](const QString &) { return SaveChangesForm::Choice::Discard; });
    PortScanner::setCandidateSource([candidates] { return candidates; });

    MainWindow::Options options;
    m_port = new RecordingPort;
    m_scanPort = new RecordingPort;
    options.rs232 = m_port;
    options.scanPort = m_scanPort;
    m_window = std::make_unique<MainWindow>(options);
    if (startup) {
        m_window->startup();
        // The offscreen screen (800x600) is smaller than the window: the tests drive it as on an
        // ordinary desktop, unscrolled; tst_app's smallScreen fits it to small screens.
        m_window->holdSize(QSize(1920, 1080));
    }
}

TestWindow::~TestWindow()
{
    m_window.reset();
    PortScanner::setCandidateSource({});
    SaveChangesForm::setResponder({});
    setAppPathOverride(QString());
}

void TestWindow::openPort(const QString &name)
{
    QComboBox *list = m_window->portChooser().portselect();
    if (list->findText(name) < 0)
        list->addItem(name);
    m_window->portChooser().select(list->findText(name));
}
