#include "panels/commitbar.h"

#include "panels/workbench.h"
#include "serial/seriallink.h"
#include "session/uploadjob.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

CommitBar::CommitBar(Workbench &workbench, QWidget *parent)
    : QWidget(parent), m_workbench(workbench)
{
    m_job = new UploadJob(m_workbench.sender(), this);
    m_workbench.attachUploadJob(m_job);

    m_commit = new QPushButton(tr("Commit"), this);
    m_commit->setObjectName(QStringLiteral("Command2_9"));
    m_commit->setToolTip(tr("Write local memory to all PICs in chain"));
    m_commit->setAutoDefault(false);
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setObjectName(QStringLiteral("Command2_14"));
    m_stop->setToolTip(tr("Stop the upload after the current character"));
    m_stop->setAutoDefault(false);
    // Escape stops at once (a button's own shortcut clicks only after a delay), and only
    // during an upload.
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setContext(Qt::WindowShortcut);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("commitprogress"));
    m_progress->setFormat(QStringLiteral("%v / %m"));
    showRunning(false);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_commit);
    layout->addWidget(m_progress, 1);
    layout->addWidget(m_stop);
    layout->addStretch();

    connect(m_commit, &QPushButton::clicked, this, &CommitBar::commit);
    connect(m_stop, &QPushButton::clicked, m_job, &UploadJob::stop);
    connect(m_stopShortcut, &QShortcut::activated, m_job, &UploadJob::stop);
    connect(m_job, &UploadJob::started, this, [this](int total) {
        m_progress->setRange(0, total);
        m_progress->setValue(0);
        showRunning(true);
    });
    // The status line tells the upload as it goes, not what an earlier action left there.
    connect(m_job, &UploadJob::progress, this, [this](int sent, int total) {
        m_progress->setValue(sent);
        m_workbench.setStatus(
                QStringLiteral("Uploading: %1 of %2 characters sent").arg(sent).arg(total));
    });
    // Before each pattern goes out the editor shows its character.
    connect(m_job, &UploadJob::characterStarting, this, [this](int code) {
        m_workbench.showCode(code);
        m_workbench.showsegments();
    });
}

bool CommitBar::committing() const
{
    return m_job->running();
}

void CommitBar::showRunning(bool running)
{
    m_progress->setVisible(running);
    m_stop->setVisible(running);
    m_stopShortcut->setEnabled(running);
}

void CommitBar::commit()
{
    // One upload at a time: a click while one runs (the button stays enabled) is ignored.
    if (m_job->running())
        return;
    const QPointer<CommitBar> self(this);
    const bool portWasOpen = m_workbench.link.portopen();
    const PacedSender::Outcome outcome
            = m_job->run(m_workbench.fontsArgument(), m_workbench.fontarray);
    if (!self)
        return;
    if (outcome != PacedSender::Outcome::Stopped) {
        // The success message needs every command to have gone out to an open port without error.
        if (outcome == PacedSender::Outcome::Complete)
            m_workbench.setStatus(QStringLiteral("Character set has been uploaded to PIC"));
        else if (portWasOpen)
            m_workbench.setStatus(QStringLiteral("Upload failed after %1 of %2 characters")
                                          .arg(m_job->sent())
                                          .arg(m_job->total()));
        else
            m_workbench.setStatus(QStringLiteral("No port is open: nothing was uploaded"));
        m_workbench.showsegments();
        if (!self)
            return;
    }
    if (m_job->stopRequested() && m_job->sent() < m_job->total())
        m_workbench.setStatus(QStringLiteral("Upload stopped: %1 of %2 characters sent")
                                      .arg(m_job->sent())
                                      .arg(m_job->total()));
    showRunning(false);
}
