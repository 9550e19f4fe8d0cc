#include "panels/workbench.h"

#include "core/basicutilities.h"
#include "core/settingslines.h"
#include "session/uploadjob.h"

#include <QLineEdit>
#include <QPointer>

#include <limits>

Workbench::Workbench(SerialLink &link)
    : link(link), settingslines(emptySettingsLines()), m_sender(link)
{}

void Workbench::attachStatusField(QLineEdit *statusbox)
{
    m_statusbox = statusbox;
}

void Workbench::attachCodeField(QLineEdit *acc)
{
    m_acc = acc;
}

void Workbench::attachChainFields(QLineEdit *mlength, QLineEdit *fonts)
{
    m_mlength = mlength;
    m_fonts = fonts;
}

int Workbench::chainLength() const
{
    if (!m_mlength)
        return 0;
    return static_cast<int>(qMin<qint64>(LeadingNumber(m_mlength->text()), 9999));
}

QByteArray Workbench::fontsArgument() const
{
    return m_fonts ? m_fonts->text().toLatin1() : QByteArray();
}

int Workbench::currentCode() const
{
    return static_cast<int>(
            qMin<qint64>(LeadingNumber(currentCodeText()), std::numeric_limits<int>::max()));
}

QString Workbench::currentCodeText() const
{
    return m_acc ? m_acc->text() : QString();
}

void Workbench::showCode(int code)
{
    if (m_acc)
        m_acc->setText(QString::number(code));
    showCharacter(code);
}

void Workbench::attachUploadJob(UploadJob *job)
{
    m_upload = job;
}

bool Workbench::uploading() const
{
    return m_upload && m_upload->running();
}

void Workbench::stopUpload()
{
    if (m_upload)
        m_upload->stop();
}

bool Workbench::refusedDuringUpload()
{
    if (!uploading())
        return false;
    setStatus(QStringLiteral("Uploading: wait for the upload to finish or stop it"));
    return true;
}

void Workbench::showCharacter(int code)
{
    if (m_showCharacter && FontTable::isValidIndex(code))
        m_showCharacter(code);
}

bool Workbench::sendAll(QObject *caller, const CommandList &commands, const CommandHook &beforeEach,
                        const DoneHook &afterAll)
{
    const PacedSender::Outcome outcome = m_sender.send(commands, caller, beforeEach);
    if (outcome == PacedSender::Outcome::Stopped)
        return false;
    const bool complete = outcome == PacedSender::Outcome::Complete;
    if (afterAll)
        afterAll(complete);
    return complete;
}

void Workbench::showsegments()
{
    if (m_showsegments)
        m_showsegments();
}

void Workbench::setStatus(const QString &text)
{
    if (m_statusbox)
        m_statusbox->setText(text);
}

QString Workbench::status() const
{
    return m_statusbox ? m_statusbox->text() : QString();
}

void Workbench::tellFontStep(bool redo, int code, const FontTable &before)
{
    int changed = 0;
    for (int slot = 0; slot < FontTable::kSlots; ++slot)
        changed += before.pattern(slot) != fontarray.pattern(slot) ? 1 : 0;
    setStatus(QStringLiteral("%1: the font change at code %2 (%3 %4)")
                      .arg(redo ? QStringLiteral("Redone") : QStringLiteral("Undone"))
                      .arg(code)
                      .arg(changed)
                      .arg(changed == 1 ? QStringLiteral("pattern") : QStringLiteral("patterns")));
}
