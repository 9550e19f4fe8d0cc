#include "panels/workbench.h"

#include "core/basicutilities.h"
#include "core/settingslines.h"
#include "protocol/chainprotocol.h"
#include "protocol/command.h"
#include "serial/seriallink.h"

#include <QLineEdit>
#include <QPointer>

#include <limits>
#include <stdexcept>

Workbench::Workbench(SerialLink &link) : link(link), settingslines(emptySettingsLines()) {}

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

void Workbench::setCurrentCodeText(const QString &text)
{
    if (m_acc)
        m_acc->setText(text);
}

void Workbench::showCharacter(int code)
{
    if (m_showCharacter && FontTable::isValidIndex(code))
        m_showCharacter(code);
}

void Workbench::send(char letter, const QByteArray &argument, int pause)
{
    QByteArray command;
    try {
        command = Command::build(letter, argument);
    } catch (const std::invalid_argument &error) {
        // A malformed command is a fault in the program; it never goes on the line.
        qCritical("Refused to send a malformed command: %s", error.what());
        return;
    }
    link.ComWrite(command, pause, 0, 0);
}

bool Workbench::sendAll(QObject *caller, const CommandList &commands, const CommandHook &beforeEach,
                        const DoneHook &afterAll, const StopCheck &stopBefore)
{
    const QPointer<QObject> guard(caller);
    const auto stopped = [&guard] { return !guard || shutdownRequested(); };
    const int failuresBefore = link.writeFailures();
    bool complete = true;
    for (const PacedCommand &command : commands) {
        if (stopped() || (stopBefore && stopBefore(command)))
            return false;
        if (beforeEach) {
            beforeEach(command);
            if (stopped())
                return false;
        }
        if (!link.portopen() || !Command::isLetter(command.letter)
            || command.argument.contains(Protocol::kFrameEnd))
            complete = false;
        send(command.letter, command.argument, command.pause);
        if (!guard)
            return false;
        if (!link.portopen())
            complete = false;
    }
    if (stopped())
        return false;
    complete = complete && link.portopen() && link.writeFailures() == failuresBefore;
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
