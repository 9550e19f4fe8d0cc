#pragma once

#include <QWidget>

class QProgressBar;
class QPushButton;
class QShortcut;
class UploadJob;
class Workbench;

// "Commit": uploads the whole user font as an upload job, showing the characters sent and a
// Stop (also Escape) while it runs; the editor shows each character as it goes out.
class CommitBar : public QWidget
{
    Q_OBJECT
public:
    explicit CommitBar(Workbench &workbench, QWidget *parent = nullptr);

    // True while the user font is being uploaded.
    bool committing() const;

private:
    void commit();
    void showRunning(bool running);

    Workbench &m_workbench;
    UploadJob *m_job = nullptr;
    QPushButton *m_commit = nullptr;
    QPushButton *m_stop = nullptr;
    QShortcut *m_stopShortcut = nullptr;
    // Shown only while Commit uploads: characters sent out of all.
    QProgressBar *m_progress = nullptr;
};
