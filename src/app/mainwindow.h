#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTabWidget;
class ChainView;
class CharacterGrid;
class FontEditorPanel;
class FontFileBar;
class ProtocolHelp;
class MessagePanel;
class ModesPanel;
class PortChooser;
class PortScanner;
class ScanWindow;
class SegmentTestPanel;
class SerialLink;
class SerialPort;
class SingleCharPanel;
class TrafficLog;
class Workbench;

// How the main window is put together: its port controls and extra scan candidates.
struct MainWindowOptions
{
    // The port controls of the main window and of the scan window; real ones when null.
    SerialPort *rs232 = nullptr;
    SerialPort *scanPort = nullptr;
    // Devices the platform does not list, added to every scan (--extra-port).
    QStringList extraPorts;
    // The device opened at start-up as if picked (--port); none when empty.
    QString startPort;
};

// The main window: owns every control, the shared state and the start-up and shutdown order.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    using Options = MainWindowOptions;

    explicit MainWindow(const Options &options = Options(), QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; the window is shown only after it has finished.
    void startup();
    // How the program is being closed: by the user, or by a signal or the end of the session.
    enum class ShutdownCause { UserClose, Termination };

    // Closes the port and saves the settings (only when they were loaded), once, however the
    // program ends; a failed save is reported only to a user who closed the window.
    void shutdown(ShutdownCause cause = ShutdownCause::Termination);
    // Ctrl+C, SIGTERM: closes without waiting for a person.
    void terminate();

    // Routines the panels and the tests reach.
    void portscanx(int mode);
    void resetfont();
    void showsegments();
    void process();

    Workbench &workbench() { return *m_workbench; }
    SerialLink &link() { return *m_link; }
    PortChooser &portChooser() { return *m_portChooser; }
    PortScanner &portScanner() { return *m_scanner; }
    TrafficLog &trafficLog() { return *m_trafficLog; }
    QWidget *portscanform() const;
    QString settingsPath() const { return m_settingsPath; }
    bool shutdownDone() const { return m_shutdownDone; }

    // Fixes the window at its natural size, or, on a screen whose available area is smaller,
    // at the largest size that fits, the content scrolling (startup passes the screen's).
    void holdSize(const QSize &available);

    // Test seam: how the help file is opened; returns false when nothing could open it.
    static void setHelpOpener(std::function<bool(const QString &path)> opener);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildDisplayTab(QWidget *tab);
    void buildReceiveTab(QWidget *tab);
    QWidget *buildCommTab();
    void connectLink();
    // Before a user's close during an upload: false when the user keeps it running; the close
    // stops it once every question is answered.
    bool confirmUploadStopped();
    // Before a user's close: false when the changed user font should keep the window open
    // (Cancel, or Save that did not save).
    bool confirmFontDropped();
    void showPortState(bool open);
    // Time Stamps and Log to File of both log panes, from the settings and into them.
    void applyLogSettings();
    void keepLogSettings();

    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<Workbench> m_workbench;
    PortScanner *m_scanner = nullptr;
    ScanWindow *m_scanWindow = nullptr;
    TrafficLog *m_trafficLog = nullptr;

    QScrollArea *m_scroll = nullptr;
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_statusbox = nullptr;
    // The status line again, beneath every tab.
    QLineEdit *m_windowStatus = nullptr;
    ChainView *m_chainView = nullptr;
    QLabel *m_portState = nullptr;
    PortChooser *m_portChooser = nullptr;
    QPushButton *m_helpButton = nullptr;
    ProtocolHelp *m_help = nullptr;
    MessagePanel *m_messagePanel = nullptr;
    FontEditorPanel *m_fontEditor = nullptr;
    FontFileBar *m_fontFileBar = nullptr;
    SingleCharPanel *m_singleChar = nullptr;
    ModesPanel *m_modes = nullptr;
    SegmentTestPanel *m_segmentTest = nullptr;
    CharacterGrid *m_characters = nullptr;

    QString m_settingsPath;
    bool m_started = false;
    bool m_settingsLoaded = false;
    bool m_shutdownDone = false;
};
