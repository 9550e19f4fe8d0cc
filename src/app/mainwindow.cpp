#include "app/mainwindow.h"

#include "app/protocolhelp.h"
#include "app/settingsfile.h"
#include "core/basicutilities.h"
#include "panels/chainview.h"
#include "panels/fonteditorpanel.h"
#include "panels/fontfilebar.h"
#include "panels/messagepanel.h"
#include "panels/modespanel.h"
#include "panels/portchooser.h"
#include "panels/segmenttestpanel.h"
#include "panels/singlecharpanel.h"
#include "panels/workbench.h"
#include "protocol/chainprotocol.h"
#include "serial/portscanner.h"
#include "serial/seriallink.h"
#include "serial/serialport.h"
#include "serial/serialportcontrol.h"
#include "widgets/alert.h"
#include "widgets/charactergrid.h"
#include "widgets/logpane.h"
#include "widgets/savechangesform.h"
#include "widgets/scanwindow.h"
#include "widgets/trafficlog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {
const QString kCaption = QStringLiteral("Vornik control and test utility");
} // namespace

MainWindow::MainWindow(const Options &options, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(kCaption);
    // Customize: otherwise Qt adds a maximise button the fixed size could not follow.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setAlertParent(this);

    SerialPort *rs232 = options.rs232 ? options.rs232 : new SerialPortControl;
    rs232->setObjectName(QStringLiteral("rs232"));
    m_link = std::make_unique<SerialLink>(rs232);
    rs232->setParent(m_link.get());
    m_workbench = std::make_unique<Workbench>(*m_link);

    SerialPort *scanPort = options.scanPort ? options.scanPort : new SerialPortControl;
    scanPort->setObjectName(QStringLiteral("rs232"));
    m_scanner = new PortScanner(scanPort, this);
    m_scanner->setExtraPorts(options.extraPorts);
    m_scanWindow = new ScanWindow(this);
    connect(m_scanner, &PortScanner::scanStarted, m_scanWindow, &ScanWindow::showOver);
    connect(m_scanner, &PortScanner::scanFinished, m_scanWindow, &ScanWindow::finish);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    auto *displayTab = new QWidget;
    auto *receiveTab = new QWidget;
    m_trafficLog = new TrafficLog(displayTab, receiveTab, this);
    // The COMM tab is built first: the panels of the Display tab may look up its fields.
    QWidget *comm = buildCommTab();
    m_portChooser->setStartPort(options.startPort);
    buildDisplayTab(displayTab);
    buildReceiveTab(receiveTab);
    m_tabs->addTab(displayTab, tr("Display"));
    m_tabs->addTab(receiveTab, tr("RXD Log"));
    m_tabs->addTab(comm, tr("COMM"));
    // The whole font at a glance; a click edits that character on the Display tab.
    m_characters
            = new CharacterGrid([this](int code) { return m_workbench->fontarray.pattern(code); });
    m_tabs->addTab(m_characters, tr("Characters"));
    connect(m_characters, &CharacterGrid::codeClicked, this, [this](int code) {
        m_tabs->setCurrentIndex(0);
        m_fontEditor->enterCode(code);
    });

    // Which port is open, and how, whatever tab is showing.
    m_portState = new QLabel(this);
    m_portState->setObjectName(QStringLiteral("portstate"));
    showPortState(false);

    // What the chain shows, and beside it the port and the status line, whatever tab is showing
    // (a rescan's result on COMM, say).
    m_chainView = new ChainView(*m_workbench, this);
    if (auto *mlength = m_tabs->findChild<QLineEdit *>(QStringLiteral("mlength")))
        connect(mlength, &QLineEdit::textChanged, m_chainView, &ChainView::refresh);
    m_windowStatus = new QLineEdit(this);
    m_windowStatus->setObjectName(QStringLiteral("windowstatus"));
    m_windowStatus->setReadOnly(true);
    m_windowStatus->setFrame(false);
    m_windowStatus->setFocusPolicy(Qt::NoFocus);
    connect(m_statusbox, &QLineEdit::textChanged, m_windowStatus, &QLineEdit::setText);
    auto *lineState = new QVBoxLayout;
    lineState->addWidget(m_portState);
    lineState->addWidget(m_windowStatus);
    auto *below = new QHBoxLayout;
    below->addWidget(m_chainView);
    below->addLayout(lineState, 1);

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_tabs);
    layout->addLayout(below);
    // On a screen smaller than the window the content scrolls; elsewhere no bar shows.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    // A click on a control that takes no focus (the segment preview) must leave the focus where
    // it is, not hand it to the scroll area.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidget(content);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    connectLink();
}

void MainWindow::connectLink()
{
    SerialLink *link = m_link.get();
    connect(link, &SerialLink::commandLogged, m_trafficLog, &TrafficLog::logCommand);
    connect(link, &SerialLink::aboutToWrite, m_trafficLog, &TrafficLog::clearEcho);
    connect(link, &SerialLink::sentWithoutPort, m_trafficLog, &TrafficLog::showNoPort);
    connect(link, &SerialLink::received, m_trafficLog, &TrafficLog::receive);
    connect(link, &SerialLink::portOpenChanged, this, &MainWindow::showPortState);
    connect(link, &SerialLink::writeFailed, this, [](const PortError &error) {
        showalert(QStringLiteral("ComWrite error"), QString(), error.number, AlertStyle::Error, 0,
                  error.description);
    });
}

MainWindow::~MainWindow()
{
    setAlertParent(nullptr);
    m_link->rs232()->ClosePort();
}

QWidget *MainWindow::buildCommTab()
{
    auto *tab = new QWidget;
    m_portChooser = new PortChooser(*m_link, *m_scanner, tab);
    connect(m_portChooser, &PortChooser::rescanReported, this,
            [this](const QString &text) { m_workbench->setStatus(text); });

    m_help = new ProtocolHelp(this);
    m_helpButton = new QPushButton(tr("Protocol Help File"), tab);
    m_helpButton->setObjectName(QStringLiteral("Command2_11"));
    m_helpButton->setToolTip(tr("Open the description of the chain's command protocol in this "
                                "program's own help window, which also offers the RTF file "
                                "(Vornik.rtf) where an application opens it"));
    connect(m_helpButton, &QPushButton::clicked, this, [this] {
        m_help->open();
        showsegments();
    });

    m_singleChar = new SingleCharPanel(*m_workbench, tab);

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(m_portChooser);
    auto *help = new QHBoxLayout;
    help->addWidget(m_helpButton);
    help->addStretch();
    layout->addLayout(help);
    layout->addWidget(m_singleChar);
    layout->addStretch();
    return tab;
}

void MainWindow::buildDisplayTab(QWidget *tab)
{

    m_statusbox = new QLineEdit(tab);
    m_statusbox->setObjectName(QStringLiteral("statusbox"));
    m_statusbox->setReadOnly(true);
    m_statusbox->setFocusPolicy(Qt::NoFocus);
    m_workbench->attachStatusField(m_statusbox);

    m_messagePanel = new MessagePanel(*m_workbench, tab);
    m_fontEditor = new FontEditorPanel(*m_workbench, tab);
    // Undo and redo of the font work wherever the focus is in the window, on every tab.
    addActions(m_fontEditor->historyActions());
    m_fontFileBar = new FontFileBar(*m_workbench, tab);
    m_modes = new ModesPanel(*m_workbench, tab);
    m_segmentTest = new SegmentTestPanel(*m_workbench, tab);

    auto *fontColumn = new QVBoxLayout;
    fontColumn->addWidget(m_fontEditor);
    fontColumn->addWidget(m_fontFileBar);

    auto *txdRow = new QHBoxLayout;
    txdRow->addWidget(new QLabel(tr("TXD"), tab));
    txdRow->addWidget(m_trafficLog->logtraffic());
    txdRow->addStretch();
    txdRow->addWidget(m_trafficLog->rxbufferbox());

    auto *grid = new QGridLayout(tab);
    grid->addWidget(m_messagePanel, 0, 0);
    grid->addLayout(fontColumn, 0, 1);
    grid->addWidget(m_modes, 1, 0);
    grid->addWidget(m_segmentTest, 1, 1);
    grid->addLayout(txdRow, 2, 0, 1, 2);
    grid->addWidget(m_trafficLog->serialout(), 3, 0, 1, 2);
    grid->addWidget(m_statusbox, 4, 0, 1, 2);
    grid->addWidget(m_trafficLog->txbufferbox(), 5, 0);
    grid->setRowStretch(3, 1);
}

void MainWindow::buildReceiveTab(QWidget *tab)
{
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(m_trafficLog->rxlogenable());
    layout->addWidget(new QLabel(tr("RXD"), tab));
    layout->addWidget(m_trafficLog->serialin(), 1);
}

void MainWindow::startup()
{
    if (m_started)
        return;
    m_started = true;
    setWindowTitle(kCaption + QStringLiteral("  ") + VersionText());
    m_portChooser->portselect()->setToolTip(QStringLiteral("Press ") + QUOTE
                                            + QStringLiteral("Enter") + QUOTE
                                            + QStringLiteral(" to scan all ports"));
    portscanx(0);
    if (shutdownRequested())
        return;
    m_fontEditor->resetSegmentLines();
    resetfont();
    m_settingsPath = settingsFilePath();
    m_settingsLoaded = IniFile(IniMode::Load, m_settingsPath, m_workbench->settingslines);
    applyLogSettings();
    m_fontFileBar->readPointerFile();
    holdSize(screen()->availableGeometry().size());
    m_fontFileBar->loadStartupFont();
    m_fontEditor->showTablePattern();
    // What start-up put in the table counts as saved; only the user's changes are asked about.
    m_workbench->markFontSaved();
    m_trafficLog->clear();
    m_tabs->setCurrentIndex(2);
    m_portChooser->openStartPort();
}

void MainWindow::holdSize(const QSize &available)
{
    // The size adjustSize gave the window before it could scroll: the content's preferred size,
    // at most two thirds of the screen, never less than its controls need.
    ensurePolished();
    const QWidget *content = m_scroll->widget();
    const QSize natural = content->sizeHint()
                                  .boundedTo(screen()->geometry().size() * 2 / 3)
                                  .expandedTo(content->minimumSizeHint());
    // The title bar is not known before the window is shown; the style's stands in for it.
    const QSize room(available.width(),
                     available.height() - style()->pixelMetric(QStyle::PM_TitleBarHeight));
    QSize fitted = natural.boundedTo(room);
    // A scroll bar takes room across; give it back where the screen has it.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (fitted.height() < natural.height())
        fitted.setWidth(qMin(room.width(), natural.width() + bar));
    if (fitted.width() < natural.width())
        fitted.setHeight(qMin(room.height(), natural.height() + bar));
    // The window keeps that size: no maximise, no resize, minimise works.
    setFixedSize(fitted);
}

void MainWindow::shutdown(ShutdownCause cause)
{
    if (m_shutdownDone)
        return;
    m_shutdownDone = true;
    // Every nested wait and long loop returns promptly and sends nothing more.
    requestShutdown();
    closeAlertForShutdown();
    SaveChangesForm::cancelOpenQuestion();
    m_link->rs232()->ClosePort();
    m_link->setPortOpen(false);
    // Settings never loaded (a close during the start-up scan, an unreadable file) are not
    // the user's: writing them would replace the file with blanks.
    if (!m_settingsLoaded)
        return;
    keepLogSettings();
    setAlertsDuringShutdown(cause == ShutdownCause::UserClose);
    IniFile(IniMode::Save, m_settingsPath, m_workbench->settingslines);
    setAlertsDuringShutdown(false);
}

namespace {
// Each log pane's settings after the settings file's 100 lines, by the pane's key prefix.
const std::pair<const char *, LogPane *(TrafficLog::*)() const> kLogPanes[]
        = {{"Txd", &TrafficLog::serialout}, {"Rxd", &TrafficLog::serialin}};
} // namespace

void MainWindow::applyLogSettings()
{
    QStringList &lines = m_workbench->settingslines;
    for (const auto &[prefix, paneOf] : kLogPanes) {
        LogPane *pane = (m_trafficLog->*paneOf)();
        const QString key = QLatin1String(prefix);
        pane->timeStampsAction()->setChecked(settingValue(lines, key + "TimeStamps") == "1");
        const QString file = settingValue(lines, key + QStringLiteral("LogFile"));
        if (!file.isEmpty())
            pane->logToFile(file);
    }
}

void MainWindow::keepLogSettings()
{
    QStringList &lines = m_workbench->settingslines;
    for (const auto &[prefix, paneOf] : kLogPanes) {
        const LogPane *pane = (m_trafficLog->*paneOf)();
        const QString key = QLatin1String(prefix);
        setSettingValue(lines, key + QStringLiteral("TimeStamps"),
                        pane->timeStampsAction()->isChecked() ? QStringLiteral("1") : QString());
        setSettingValue(lines, key + QStringLiteral("LogFile"), pane->logFilePath());
    }
}

void MainWindow::terminate()
{
    shutdown(ShutdownCause::Termination);
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A signal or the session ending has already shut down: nobody is asked. A running upload
    // is asked about before the font, and stopped only once every answer lets the window close:
    // Cancel at any question leaves it running.
    const bool uploading = !m_shutdownDone && m_workbench->uploading();
    const bool keepOpen = (!m_shutdownDone && !confirmUploadStopped())
                          || (!m_shutdownDone && !confirmFontDropped());
    if (keepOpen) {
        event->ignore();
        return;
    }
    if (uploading)
        m_workbench->stopUpload();
    shutdown(ShutdownCause::UserClose);
    event->accept();
}

bool MainWindow::confirmUploadStopped()
{
    if (!m_workbench->uploading())
        return true;
    const bool stop
            = showalert(kCaption, QStringLiteral("An upload is running. Stop it and close?"), 0,
                        AlertStyle::Warning, 12);
    // A termination that arrived while the question was open closes without it.
    return stop || m_shutdownDone;
}

bool MainWindow::confirmFontDropped()
{
    if (!m_workbench->fontChanged())
        return true;
    const SaveChangesForm::Choice choice = SaveChangesForm::ask(
            kCaption,
            QStringLiteral("The user font has changed since it was last loaded or saved.  Save it "
                           "before closing?"),
            this);
    // A termination that arrived while the question was open closes without it.
    if (m_shutdownDone)
        return true;
    if (choice == SaveChangesForm::Choice::Save)
        return m_fontFileBar->save();
    return choice == SaveChangesForm::Choice::Discard;
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
}

void MainWindow::showPortState(bool open)
{
    if (!open) {
        m_portState->setText(tr("No port"));
        return;
    }
    m_trafficLog->clearNoPort();
    m_portState->setText(m_portChooser->portselect()->currentText() + QStringLiteral("  ")
                         + Protocol::lineSettingsName(Protocol::lineSettings()));
}

void MainWindow::portscanx(int mode)
{
    m_portChooser->portscanx(mode);
}

void MainWindow::resetfont()
{
    m_workbench->fontarray.resetfont();
}

void MainWindow::showsegments()
{
    m_workbench->showsegments();
}

void MainWindow::process()
{
    m_trafficLog->process();
}

void MainWindow::setHelpOpener(std::function<bool(const QString &)> opener)
{
    ProtocolHelp::setOpener(std::move(opener));
}

QWidget *MainWindow::portscanform() const
{
    return m_scanWindow;
}
