#pragma once

#include <QObject>
#include <QString>

#include <functional>

class HelpWindow;
class QWidget;

// "Protocol Help File": the RTF description in the desktop's viewer, else its Markdown copy in
// the program's own help window, else an alert saying why neither could be shown.
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
    QWidget *m_window = nullptr;
    HelpWindow *m_helpWindow = nullptr;
};
