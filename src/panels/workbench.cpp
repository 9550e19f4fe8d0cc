#include "panels/workbench.h"

#include "core/basicutilities.h"
#include "core/settingslines.h"
#include "protocol/command.h"
#include "serial/seriallink.h"

#include <QLineEdit>

#include <limits>
#include <stdexcept>

Workbench::Workbench(SerialLink &link) : link(link), settingslines(emptySettingsLines()) { }

int Workbench::chainLength() const
{
    if (!mlength)
        return 0;
    return static_cast<int>(qMin<qint64>(LeadingNumber(mlength->text()), 9999));
}

int Workbench::currentCode() const
{
    if (!acc)
        return 0;
    return static_cast<int>(qMin<qint64>(LeadingNumber(acc->text()), std::numeric_limits<int>::max()));
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

void Workbench::sendCharacter(int code, int pause)
{
    if (code < 0 || code > 255)
        return;
    send('M', QByteArray(1, static_cast<char>(code)), pause);
}

void Workbench::showsegments()
{
    if (m_showsegments)
        m_showsegments();
}

void Workbench::setStatus(const QString &text)
{
    if (statusbox)
        statusbox->setText(text);
}

QString Workbench::status() const
{
    return statusbox ? statusbox->text() : QString();
}
