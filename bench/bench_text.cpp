// Texts through user-font glyphs on the real vornikd, its pauses as they are: the first show of
// a text whose glyphs the modules lack (each written with its W and M, then F and M), from the
// request written to the last frame's first byte on the line, beside the same text in built-in
// characters; and a text whose glyphs the modules already hold, beside a built-in one.

#include "benchsupport.h"
#include "ptyreader.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 20000;
constexpr int kGlyphs = 4;   // new glyphs in each lower-case text
constexpr int kIdleMs = 100; // longer than a frame's pause
const char *const kTexts[] = {"abcd", "efgh", "ijkn", "opqr", "stuv", "wxyz"};

void fail(const char *why)
{
    std::fprintf(stderr, "bench_text: %s\n", why);
    std::exit(1);
}

// Posts body to /api/v1/message and answers when it was written whole (Bench::wallMs).
double post(quint16 port, const QByteArray &token, const QByteArray &text)
{
    const QByteArray body = R"({"text": ")" + text + R"("})";
    const QByteArray data = "POST /api/v1/message HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: "
                            "Bearer "
                            + token + "\r\nContent-Type: application/json\r\nContent-Length: "
                            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n"
                            + body;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        fail("vornikd cannot be reached");
    if (::write(fd, data.constData(), data.size()) != data.size())
        fail("the request was not written");
    const double sent = Bench::wallMs();
    char answer[512];
    if (::read(fd, answer, sizeof answer) < 12 || std::strncmp(answer + 9, "200", 3) != 0)
        fail("the message was refused");
    ::close(fd);
    return sent;
}

// The text shown from scratch: its frames counted, and the time from the request to the last
// one's first byte.
struct Shown
{
    int frames = 0;
    double ms = 0;
};

Shown show(PtyReader &reader, quint16 port, const QByteArray &token, const QByteArray &text)
{
    // The pause after the last frame before has passed: the line is idle.
    QThread::msleep(kIdleMs);
    reader.clear();
    const double sent = post(port, token, text);
    const QByteArray last = "$B7M" + text.leftJustified(6, ' ') + '\r';
    const double until = Bench::wallMs() + kTimeoutMs;
    while (!reader.received().endsWith(last) && Bench::wallMs() < until)
        QThread::msleep(1);
    if (!reader.received().endsWith(last))
        fail("the text did not arrive");
    return {static_cast<int>(reader.received().count('\r')), reader.commandStarts().back() - sent};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    PtyReader reader;
    QTemporaryDir dir;
    if (!reader.isValid() || !dir.isValid())
        fail("no pseudo-terminal or temporary folder");
    reader.start();
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(VORNIKD_PROGRAM),
                  {"--port", reader.slavePath(), "--chain", "6", "--listen", "127.0.0.1:0",
                   "--token-file", dir.filePath("token"), "--config", "/dev/null"});
    if (!service.waitForReadyRead(kTimeoutMs))
        fail("vornikd did not start");
    static const QRegularExpression listening("^listening on http://127\\.0\\.0\\.1:(\\d+)/");
    const auto port = static_cast<quint16>(
            listening.match(QString::fromUtf8(service.readLine())).captured(1).toUInt());
    QFile tokenFile(dir.filePath("token"));
    tokenFile.open(QIODevice::ReadOnly);
    const QByteArray token = tokenFile.readAll().trimmed();

    Bench::progress(QStringLiteral("bench_text: texts with new glyphs, held ones, built-in ones"));
    std::vector<double> fresh, builtIn, held, builtInAfter;
    int freshFrames = 0, heldFrames = 0, builtInFrames = 0;
    for (const char *text : kTexts) {
        const QByteArray lower(text);
        show(reader, port, token, "XXXX");
        builtIn.push_back(show(reader, port, token, lower.toUpper()).ms);
        const Shown first = show(reader, port, token, lower);
        fresh.push_back(first.ms);
        freshFrames = first.frames;
        const Shown back = show(reader, port, token, lower.toUpper());
        builtInAfter.push_back(back.ms);
        builtInFrames = back.frames;
        const Shown again = show(reader, port, token, lower);
        held.push_back(again.ms);
        heldFrames = again.frames;
    }
    service.terminate();
    service.waitForFinished(kTimeoutMs);
    reader.stop();

    const double perGlyph = (Bench::median(fresh) - Bench::median(builtIn)) / kGlyphs;
    Bench::printRow(QStringLiteral("First show of a text needing %1 new glyphs (%2 frames), "
                                   "request to its last frame: median of %3")
                            .arg(kGlyphs)
                            .arg(freshFrames)
                            .arg(std::size(kTexts)),
                    Bench::number(Bench::median(fresh), 1) + QStringLiteral(" ms, ")
                            + Bench::number(perGlyph, 1) + QStringLiteral(" ms per glyph"),
                    QStringLiteral("the same text in capitals (1 frame): ")
                            + Bench::number(Bench::median(builtIn), 1) + QStringLiteral(" ms"),
                    QStringLiteral("-"), QStringLiteral("-"));
    Bench::printRow(QStringLiteral("A text whose glyphs the modules hold (%1 frames: F and M)")
                            .arg(heldFrames),
                    Bench::number(Bench::median(held), 1) + QStringLiteral(" ms"),
                    QStringLiteral("a built-in text after it (%1 frames): ").arg(builtInFrames)
                            + Bench::number(Bench::median(builtInAfter), 1) + QStringLiteral(" ms"),
                    QStringLiteral("the same frames"),
                    Bench::verdict(heldFrames == builtInFrames && heldFrames == 2));
    return 0;
}
