#include "chaindriver.h"

#include "core/basicutilities.h"
#include "core/errortext.h"
#include "protocol/chainprotocol.h"

#include <cstdio>
#include <stdexcept>

ChainDriver::ChainDriver(bool dryRun, QObject *parent) : QObject(parent), m_dryRun(dryRun)
{
    if (m_dryRun) {
        connect(&m_link, &SerialLink::commandLogged, this, [](const QString &text) {
            std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
            std::fflush(stdout);
        });
    }
    connect(&m_link, &SerialLink::writeFailed, this, [this](const PortError &error) {
        // The link reports a failure once and closes the port; everything after it is quiet.
        m_failed = true;
        std::fprintf(stderr, "\nvornikctl: the line failed while sending: %s\n",
                     qPrintable(errortext(error.number, error.description)));
    });
}

ChainDriver::~ChainDriver()
{
    m_port.ClosePort();
}

bool ChainDriver::open(const QString &device)
{
    if (m_dryRun)
        return true;
    if (!m_port.OpenPort(device, Protocol::lineSettings())) {
        std::fprintf(stderr, "vornikctl: %s\n", qPrintable(m_port.lastError().description));
        return false;
    }
    m_link.setPortOpen(true);
    return true;
}

bool ChainDriver::send(const CommandList &commands, bool showProgress)
{
    int pausesLeft = 0;
    for (const PacedCommand &command : commands)
        pausesLeft += command.pause;
    int done = 0;
    for (const PacedCommand &command : commands) {
        if (m_failed)
            return false;
        try {
            m_link.ComWrite(command.bytes(), command.pause);
        } catch (const std::invalid_argument &error) {
            // Input is checked before anything is built; a malformed frame is a program fault.
            std::fprintf(stderr, "vornikctl: refused to send a malformed command: %s\n",
                         error.what());
            return false;
        }
        pausesLeft -= command.pause;
        if (showProgress && !m_failed)
            drawProgress(++done, static_cast<int>(commands.size()), pausesLeft);
    }
    if (showProgress && !m_failed)
        std::fputs("\n", stderr);
    return !m_failed;
}

void ChainDriver::drawProgress(int done, int total, int pausesLeft)
{
    constexpr int kWidth = 30;
    const int filled = total > 0 ? done * kWidth / total : kWidth;
    const double secondsLeft = pausesLeft * delayScale() / 100.0;
    std::fprintf(stderr, "\r[%s%s] %d/%d  %.1f s left ", QByteArray(filled, '#').constData(),
                 QByteArray(kWidth - filled, ' ').constData(), done, total, secondsLeft);
    std::fflush(stderr);
}
