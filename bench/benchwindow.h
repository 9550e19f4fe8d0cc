#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class LogPane;
class MainWindow;
class QCheckBox;

// The real main window set up for measuring: settings in a temporary folder, alerts answered
// and counted, the given devices as the only ports, started up, shown, Display tab in front.
class BenchWindow
{
public:
    explicit BenchWindow(const QStringList &ports = {});
    ~BenchWindow();
    BenchWindow(const BenchWindow &) = delete;
    BenchWindow &operator=(const BenchWindow &) = delete;

    MainWindow &window() { return *m_window; }
    LogPane *serialout() const;
    QCheckBox *logtraffic() const;

    // Picks name in the port list as a user does; true when the port is then open.
    bool openPort(const QString &name);
    // Alerts shown since the window finished starting up (each one a failed measurement).
    int alertsSinceStartup() const;

private:
    QTemporaryDir m_settingsDir;
    std::unique_ptr<MainWindow> m_window;
};
