#pragma once

#include "support/quietwidgets.h"
#include "support/recordingport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class MainWindow;

// A real main window wired to recording ports, its program directory in a temporary folder,
// pauses shortened and alerts answered automatically (QuietWidgets). Everything is undone on
// destruction.
class TestWindow
{
public:
    // startup runs the start-up sequence; the scan finds the candidates.
    explicit TestWindow(bool startup = true, const QStringList &candidates = QStringList());
    ~TestWindow();

    MainWindow &window() { return *m_window; }
    RecordingPort &port() { return *m_port; }
    RecordingPort &scanPort() { return *m_scanPort; }
    QString dir() const { return m_dir.path(); }

    // Opens the recording port as if the user had picked it in the port list.
    void openPort(const QString &name = QStringLiteral("ttyTEST0"));
    // The bytes of every write since the last clear.
    QList<QByteArray> sent() const { return m_port->writes(); }
    void clearSent()
    {
        m_port->clearWrites();
        m_quiet.clearPauses();
    }
    // The pauses Delay was asked for since the last clear.
    const QList<int> &pauses() const { return m_quiet.pauses(); }
    // A control of the window by object name.
    template<typename T>
    T *find(const QString &name) const;

private:
    QuietWidgets m_quiet;
    QTemporaryDir m_dir;
    RecordingPort *m_port = nullptr;
    RecordingPort *m_scanPort = nullptr;
    std::unique_ptr<MainWindow> m_window;
};

#include "app/mainwindow.h"

template<typename T>
T *TestWindow::find(const QString &name) const
{
    return m_window->findChild<T *>(name);
}
