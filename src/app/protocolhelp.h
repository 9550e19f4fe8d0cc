#pragma once

#include <QObject>
#include <QString>

#include <functional>

class HelpWindow;
class QWidget;

// "Protocol Help File": the Markdown description in the program's own help window, with a button
// that opens the RTF in the desktop's viewer where one is known; an alert when neither file is
// there.
class ProtocolHelp : public QObject
{
    Q_OBJECT
public:
    // The help window, when needed, is a child of window.
    explicit ProtocolHelp(QWidget *window);

    void open();

    // Test seam: how the help file is opened; returns false when nothing could open it.
    static void setOpener(std::function<bool(const QString &path)> opener);

private:
    static bool openRtf(const QString &helpPath);
    // Whether the system has a program for the RTF file.
    static bool rtfViewerKnown();

    QWidget *m_window = nullptr;
    HelpWindow *m_helpWindow = nullptr;
};
