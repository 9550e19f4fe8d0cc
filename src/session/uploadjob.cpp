#include "session/uploadjob.h"

#include "core/basicutilities.h"
#include "core/reentryguard.h"
#include "font/fontcommands.h"
#include "font/fonttable.h"
#include "serial/seriallink.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace {

bool isPatternWrite(const PacedCommand &command)
{
    return command.letter == 'W';
}

} // namespace

UploadJob::UploadJob(PacedSender &sender, QObject *parent) : QObject(parent), m_sender(sender) {}

PacedSender::Outcome UploadJob::run(const QByteArray &fonts, const FontTable &table)
{
    // One upload at a time.
    if (m_running)
        return PacedSender::Outcome::Stopped;
    const ReentryGuard guard(this, m_running);
    const QPointer<UploadJob> self(this);
    const CommandList commands = FontCommands::upload(fonts, table);
    m_total = static_cast<int>(std::count_if(commands.cbegin(), commands.cend(), isPatternWrite));
    m_sent = 0;
    m_pauseLeft = 0;
    m_stopRequested = false;
    // Without a port nothing goes out, not even to the log.
    if (!m_sender.link().portopen()) {
        Q_EMIT finished(PacedSender::Outcome::LineFailed);
        return PacedSender::Outcome::LineFailed;
    }
    for (const PacedCommand &command : commands)
        m_pauseLeft += command.pause;
    Q_EMIT started(m_total);

    // A character counts as sent once its show command, its last frame, reached the line: the
    // same frames the log shows as sent, whenever the line fails afterwards.
    int whole = 0;
    QByteArray awaited;
    char awaitedLetter = 0;
    const QObject watcher;
    connect(&m_sender.link(), &SerialLink::frameWritten, &watcher, [&](const QByteArray &frame) {
        if (awaited.isEmpty() || frame != awaited)
            return;
        if (awaitedLetter == 'M')
            ++whole;
        awaited.clear();
    });
    const auto announce = [&](const PacedCommand &command) {
        awaited = command.bytes();
        awaitedLetter = command.letter;
        if (!isPatternWrite(command) || command.argument.isEmpty())
            return;
        m_sent = whole;
        Q_EMIT progress(m_sent, m_total);
        Q_EMIT characterStarting(static_cast<unsigned char>(command.argument.at(0)));
        // Whoever shows the character gets to draw it before it goes out.
        QCoreApplication::processEvents();
    };
    // A stop takes effect before the next character, so the current one goes out complete.
    const auto stopBeforeNextCharacter
            = [this](const PacedCommand &next) { return m_stopRequested && isPatternWrite(next); };
    int index = 0;
    const PacedSender::Outcome outcome = m_sender.send(
            commands, this,
            [&](const PacedCommand &command) {
                // The pause of the command before this one is over.
                if (index > 0)
                    m_pauseLeft -= commands.at(index - 1).pause;
                ++index;
                announce(command);
            },
            stopBeforeNextCharacter);
    if (!self)
        return PacedSender::Outcome::Stopped;
    if (outcome != PacedSender::Outcome::Stopped)
        m_pauseLeft = 0;
    m_sent = whole;
    Q_EMIT finished(outcome);
    return outcome;
}

double UploadJob::secondsLeft() const
{
    return m_pauseLeft * delayScale() / 100.0;
}

QString UploadJob::progressLine(int sent, int total, double secondsLeft)
{
    constexpr int kWidth = 30;
    const int filled = total > 0 ? sent * kWidth / total : kWidth;
    return QStringLiteral("[%1%2] %3/%4  %5 s left ")
            .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char(' ')))
            .arg(sent)
            .arg(total)
            .arg(secondsLeft, 0, 'f', 1);
}
