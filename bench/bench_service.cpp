// The service: the real vornikd on a pseudo-terminal that this program reads itself, driven
// over plain HTTP sockets. Latency from a POST /api/v1/message written whole to its frame's
// first byte on the line, idle and with 50 clients posting at once, beside the same frame
// written straight to the pseudo-terminal; 100 clients posting 20 actions each, judged on the
// frames that arrived; resident memory and CPU at rest with 50 event streams open.

#include "benchsupport.h"
#include "ptyreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A message's frame is followed by a pause of 50 ms. The goal counts what the service adds
// beyond the pauses, so the bursts run once with the pauses as they are; everything else runs
// with every pause shrunk to this share (1 ms), so that the service's own cost shows.
constexpr double kMessagePauseMs = 50.0;
constexpr double kPauseScale = 0.02;
constexpr int kIdlePosts = 200;
constexpr int kBurstClients = 50;
constexpr int kBursts = 10;
constexpr int kLoadClients = 100;
constexpr int kLoadActions = 20;
constexpr int kRetryMs = 50;
constexpr int kMaxAttempts = 1000;
constexpr int kStreams = 50;
constexpr int kRestBaselineMs = 10000;
// Longer than the streams' 15 s keep-alive, so one goes out to every stream.
constexpr int kRestMs = 20000;
constexpr int kTimeoutMs = 20000;
// The limits raised so that the figures measure the service rather than its refusals.
const QByteArray kLimits
        = "queue = 128\nmax-clients = 200\nmax-per-address = 200\nmax-streams = 64\n";

void fail(const QString &why)
{
    std::fprintf(stderr, "bench_service: %s\n", qPrintable(why));
    std::exit(1);
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval wait{kTimeoutMs / 1000, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return fd;
}

QByteArray request(const QByteArray &method, const QByteArray &path, const QByteArray &token,
                   const QByteArray &body = {})
{
    return method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token
           + "\r\nContent-Type: application/json\r\nContent-Length: "
           + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.constData() + done, data.size() - done);
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

// The status of the answer on fd, read up to the end of its body (or its headers only); 0 when
// the connection ended before an answer.
int readStatus(int fd, bool headersOnly = false)
{
    QByteArray got;
    char buffer[4096];
    qsizetype headerEnd = -1;
    qsizetype length = 0;
    while (true) {
        if (headerEnd < 0 && (headerEnd = got.indexOf("\r\n\r\n")) >= 0) {
            static const QRegularExpression contentLength(
                    "\r\ncontent-length: *(\\d+)", QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch match
                    = contentLength.match(QString::fromLatin1(got.left(headerEnd + 2)));
            length = match.hasMatch() ? match.captured(1).toLongLong() : 0;
        }
        if (headerEnd >= 0 && (headersOnly || got.size() >= headerEnd + 4 + length))
            break;
        const ssize_t read = ::read(fd, buffer, sizeof buffer);
        if (read <= 0)
            return 0;
        got.append(buffer, static_cast<int>(read));
    }
    return got.startsWith("HTTP/1.") ? got.mid(9, 3).toInt() : 0;
}

// One request on a connection of its own: its status (0: no answer), and when it was written
// whole (Bench::wallMs).
struct Posted
{
    int status = 0;
    double sentMs = 0;
    double answeredMs = 0;
};

Posted post(quint16 port, const QByteArray &data, const std::function<void()> &ready = {})
{
    Posted posted;
    const int fd = connectTo(port);
    if (fd < 0)
        return posted;
    if (ready)
        ready();
    posted.sentMs = Bench::wallMs();
    if (writeAll(fd, data))
        posted.status = readStatus(fd);
    posted.answeredMs = Bench::wallMs();
    ::close(fd);
    return posted;
}

// The frames that arrived, each without its CR, beside the time its first byte came.
struct Frames
{
    QByteArrayList texts;
    std::vector<double> starts;
};

Frames framesOf(const PtyReader &reader)
{
    Frames frames;
    frames.texts = reader.received().split('\r');
    frames.texts.removeLast(); // after the last CR
    frames.starts = reader.commandStarts();
    return frames;
}

// Waits until count frames have arrived, or the timeout; answers whether they did.
bool awaitFrames(const PtyReader &reader, int count)
{
    const double until = Bench::wallMs() + kTimeoutMs;
    while (Bench::wallMs() < until) {
        if (reader.received().count('\r') >= count)
            return true;
        QThread::msleep(1);
    }
    return false;
}

// Waits until no byte has arrived for quietMs.
void awaitQuiet(const PtyReader &reader, int quietMs)
{
    qsizetype seen = -1;
    while (reader.received().size() != seen) {
        seen = reader.received().size();
        QThread::msleep(quietMs);
    }
}

QByteArray messageBody(const QByteArray &text)
{
    return R"({"text": ")" + text + R"("})";
}

QByteArray sixDigits(int number)
{
    return QByteArray::number(number).rightJustified(6, '0');
}

QString spread(const std::vector<double> &samples)
{
    return QStringLiteral("%1 ms / %2 ms")
            .arg(Bench::number(Bench::median(samples), 2),
                 Bench::number(Bench::percentile(samples, 99), 2));
}

// The vornikd process, its address and token.
class Service
{
public:
    bool start(const QString &device, const QDir &dir, double pauseScale)
    {
        QFile config(dir.filePath("vornikd.conf"));
        if (!config.open(QIODevice::WriteOnly) || config.write(kLimits) != kLimits.size())
            return false;
        config.close();
        const QString tokenFile = dir.filePath("token");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VORNIK_PAUSE_SCALE", QString::number(pauseScale));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(VORNIKD_PROGRAM),
                        QStringList{"--port", device, "--chain", "6", "--listen", "127.0.0.1:0",
                                    "--token-file", tokenFile, "--config", config.fileName()});
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(kTimeoutMs))
            return false;
        static const QRegularExpression listening("^listening on http://127\\.0\\.0\\.1:(\\d+)/");
        const QRegularExpressionMatch match
                = listening.match(QString::fromUtf8(m_process.readLine()));
        m_port = static_cast<quint16>(match.captured(1).toUInt());
        QFile file(tokenFile);
        file.open(QIODevice::ReadOnly);
        m_token = file.readAll().trimmed();
        return match.hasMatch() && !m_token.isEmpty();
    }
    ~Service()
    {
        m_process.terminate();
        m_process.waitForFinished(kTimeoutMs);
    }

    quint16 port() const { return m_port; }
    QByteArray token() const { return m_token; }
    qint64 pid() const { return m_process.processId(); }

    // From /proc: the resident set in MB (10^6 bytes), and the CPU time of all threads in ms.
    double residentMb() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        status.open(QIODevice::ReadOnly);
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() * 1024.0 / 1e6;
        }
        return -1;
    }
    double cpuMs() const
    {
        // schedstat counts nanoseconds on the CPU, finer than stat's clock ticks.
        double total = 0;
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid()));
        for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks.filePath(task + "/schedstat"));
            if (stat.open(QIODevice::ReadOnly))
                total += stat.readAll().split(' ').first().toDouble() / 1e6;
        }
        return total;
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_token;
};

// The same frame written straight to the pseudo-terminal, as often as the idle posts; before
// the service opens it for itself alone.
std::vector<double> directWrites(PtyReader &reader)
{
    std::vector<double> latencies;
    const int fd = ::open(reader.slavePath().toLocal8Bit().constData(), O_WRONLY | O_NOCTTY);
    if (fd < 0)
        fail("cannot open " + reader.slavePath());
    for (int i = 0; i < kIdlePosts; ++i) {
        reader.clear();
        const double sent = Bench::wallMs();
        writeAll(fd, "$B7M" + sixDigits(i) + '\r');
        if (!awaitFrames(reader, 1))
            fail("a direct write did not arrive");
        latencies.push_back(reader.commandStarts().front() - sent);
        QThread::msleep(2);
    }
    ::close(fd);
    return latencies;
}

struct Idle
{
    std::vector<double> latencies; // post written to frame's first byte
    std::vector<double> answers;   // post written to its answer read
};

Idle idlePosts(PtyReader &reader, const Service &service)
{
    Idle idle;
    for (int i = 0; i < kIdlePosts; ++i) {
        reader.clear();
        const QByteArray text = sixDigits(i);
        const Posted posted = post(service.port(), request("POST", "/api/v1/message",
                                                           service.token(), messageBody(text)));
        if (posted.status != 200 || !awaitFrames(reader, 1))
            fail("an idle post was refused or its frame did not arrive");
        const Frames frames = framesOf(reader);
        if (frames.texts.front() != "$B7M" + text)
            fail("an idle post's frame is wrong: " + QString::fromLatin1(frames.texts.front()));
        idle.latencies.push_back(frames.starts.front() - posted.sentMs);
        idle.answers.push_back(posted.answeredMs - posted.sentMs);
        // The frame's own pause is over before the next post.
        QThread::msleep(5);
    }
    return idle;
}

struct Bursts
{
    std::vector<double> latencies; // post written to frame's first byte
    std::vector<double> beyond;    // the same less the pauses of the frames ahead of it
    int refused = 0;
};

Bursts burstPosts(PtyReader &reader, const Service &service, double pauseMs)
{
    Bursts result;
    for (int burst = 0; burst < kBursts; ++burst) {
        reader.clear();
        std::mutex mutex;
        std::condition_variable go;
        int connected = 0;
        bool started = false;
        std::vector<Posted> posted(kBurstClients);
        std::vector<std::thread> clients;
        for (int client = 0; client < kBurstClients; ++client) {
            const QByteArray data = request("POST", "/api/v1/message", service.token(),
                                            messageBody(sixDigits(burst * 100 + client)));
            clients.emplace_back([&, client, data] {
                // Every client connects first; then all write their request at once.
                posted[client] = post(service.port(), data, [&] {
                    std::unique_lock<std::mutex> lock(mutex);
                    ++connected;
                    go.notify_all();
                    go.wait(lock, [&] { return started; });
                });
            });
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            go.wait(lock, [&] { return connected == kBurstClients; });
            started = true;
            go.notify_all();
        }
        for (std::thread &client : clients)
            client.join();
        int accepted = 0;
        for (const Posted &one : posted)
            accepted += one.status == 200 ? 1 : 0;
        result.refused += kBurstClients - accepted;
        if (!awaitFrames(reader, accepted))
            fail("frames of a burst did not arrive");
        const Frames frames = framesOf(reader);
        for (int k = 0; k < frames.texts.size(); ++k) {
            const int client = frames.texts.at(k).mid(4).toInt() - burst * 100;
            if (client < 0 || client >= kBurstClients || posted[client].status != 200)
                fail("a burst's frame is not one that was posted");
            const double latency = frames.starts.at(k) - posted[client].sentMs;
            result.latencies.push_back(latency);
            result.beyond.push_back(latency - k * pauseMs);
        }
        awaitQuiet(reader, 50);
    }
    return result;
}

// 100 clients, each posting 20 attribute writes (effects, speeds, a message) one after the
// other, and what arrived on the line.
void manyActions(PtyReader &reader, const Service &service)
{
    reader.clear();
    const auto effects = [](int client) { return QByteArray(6, char('0' + client % 10)); };
    const auto speeds = [](int action) { return QByteArray(6, char('0' + action % 10)); };
    const auto text = [](int client, int action) { return sixDigits(client * 1000 + action); };
    std::vector<std::vector<int>> statuses(kLoadClients, std::vector<int>(kLoadActions, 0));
    std::vector<std::thread> clients;
    std::atomic<int> full{0};
    const double started = Bench::wallMs();
    for (int client = 0; client < kLoadClients; ++client) {
        clients.emplace_back([&, client] {
            for (int action = 0; action < kLoadActions; ++action) {
                const QByteArray body = R"({"effects": ")" + effects(client) + R"(", "speeds": ")"
                                        + speeds(action) + R"(", "text": ")" + text(client, action)
                                        + R"("})";
                const QByteArray data
                        = request("POST", "/api/v1/attributes", service.token(), body);
                // A full queue is told with 429; the client tries again a little later.
                int status = 0;
                for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
                    status = post(service.port(), data).status;
                    if (status != 429)
                        break;
                    ++full;
                    QThread::msleep(kRetryMs);
                }
                statuses[client][action] = status;
            }
        });
    }
    for (std::thread &client : clients)
        client.join();
    int answered = 0;
    int accepted = 0;
    for (const std::vector<int> &client : statuses) {
        for (const int status : client) {
            answered += status != 0 ? 1 : 0;
            accepted += status == 200 ? 1 : 0;
        }
    }
    awaitFrames(reader, 3 * accepted);
    awaitQuiet(reader, 200);
    const double tookS = (Bench::wallMs() - started) / 1000.0;

    const Frames frames = framesOf(reader);
    static const QRegularExpression wellFormed("^\\$B7[ESM][ -~]{6}$");
    int malformed = 0;
    std::map<QByteArray, int> messageAt;
    for (int k = 0; k < frames.texts.size(); ++k) {
        const QByteArray &frame = frames.texts.at(k);
        if (!wellFormed.match(QString::fromLatin1(frame)).hasMatch())
            ++malformed;
        else if (frame.startsWith("$B7M") && messageAt.count(frame.mid(4)) == 0)
            messageAt[frame.mid(4)] = k;
    }
    int found = 0;
    int whole = 0;
    int inOrder = 0;
    for (int client = 0; client < kLoadClients; ++client) {
        int last = -1;
        for (int action = 0; action < kLoadActions; ++action) {
            if (statuses[client][action] != 200)
                continue;
            const auto at = messageAt.find(text(client, action));
            if (at == messageAt.end())
                continue;
            ++found;
            const int k = at->second;
            if (k >= 2 && frames.texts.at(k - 2) == "$B7E" + effects(client)
                && frames.texts.at(k - 1) == "$B7S" + speeds(action))
                ++whole;
            inOrder += k > last ? 1 : 0;
            last = k;
        }
    }
    const int requests = kLoadClients * kLoadActions;
    Bench::printRow(QStringLiteral("%1 clients x %2 attribute writes (3 frames each), each "
                                   "client one after the other, again %3 ms after a 429: "
                                   "answered, accepted")
                            .arg(kLoadClients)
                            .arg(kLoadActions)
                            .arg(kRetryMs),
                    QStringLiteral("%1 / %2 answered, %3 accepted, after %4 answers of 429; %5 s")
                            .arg(answered)
                            .arg(requests)
                            .arg(accepted)
                            .arg(full.load())
                            .arg(Bench::number(tookS, 1)),
                    QStringLiteral("-"), QStringLiteral("every request answered"),
                    Bench::verdict(answered == requests && accepted == requests));
    Bench::printRow(QStringLiteral("The same: frames on the line (well-formed; accepted actions "
                                   "found, whole, in each client's order)"),
                    QStringLiteral("%1 frames, %2 malformed; %3 / %4 found, %5 whole, %6 in order")
                            .arg(frames.texts.size())
                            .arg(malformed)
                            .arg(found)
                            .arg(accepted)
                            .arg(whole)
                            .arg(inOrder),
                    QStringLiteral("-"), QStringLiteral("none lost, malformed or split"),
                    Bench::verdict(malformed == 0 && found == accepted && whole == accepted
                                   && inOrder == accepted && frames.texts.size() == 3 * accepted));
}

struct Rest
{
    double residentMb = 0;
    double cpuPercent = 0;
};

Rest rest(const Service &service, int ms)
{
    const double cpuBefore = service.cpuMs();
    const double wallBefore = Bench::wallMs();
    QThread::msleep(static_cast<unsigned long>(ms));
    Rest measured;
    measured.cpuPercent = (service.cpuMs() - cpuBefore) / (Bench::wallMs() - wallBefore) * 100.0;
    measured.residentMb = service.residentMb();
    return measured;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    PtyReader reader;
    if (!reader.isValid())
        fail("no pseudo-terminal");
    reader.start();
    Bench::progress(QStringLiteral("bench_service: direct writes"));
    const std::vector<double> direct = directWrites(reader);

    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    const QString directText = QStringLiteral("direct write to the pty: ") + spread(direct);
    Bench::progress(QStringLiteral("bench_service: %1 clients at once, the pauses as they are")
                            .arg(kBurstClients));
    Bursts paced;
    {
        Service unscaled;
        if (!unscaled.start(reader.slavePath(), QDir(dir.path()), 1.0))
            fail("vornikd did not start");
        paced = burstPosts(reader, unscaled, kMessagePauseMs);
    }
    Service service;
    if (!service.start(reader.slavePath(), QDir(dir.path()), kPauseScale))
        fail("vornikd did not start");
    Bench::progress(QStringLiteral("bench_service: at rest, no clients"));
    const Rest fresh = rest(service, kRestBaselineMs);

    Bench::progress(QStringLiteral("bench_service: idle posts"));
    const Idle idlePosted = idlePosts(reader, service);
    const std::vector<double> &idle = idlePosted.latencies;
    Bench::printRow(QStringLiteral("POST /api/v1/message to its frame's first byte on the pty, "
                                   "idle: median / 99th percentile (%1 posts)")
                            .arg(kIdlePosts),
                    spread(idle), directText, QStringLiteral("5 ms / 20 ms"),
                    Bench::verdict(Bench::median(idle) <= 5 && Bench::percentile(idle, 99) <= 20));

    Bench::printRow(QStringLiteral("The same, post written to its answer read (context)"),
                    spread(idlePosted.answers), QStringLiteral("-"), QStringLiteral("-"),
                    QStringLiteral("-"));

    Bench::printRow(QStringLiteral("The same, %1 clients posting at once (%2 bursts), beyond the "
                                   "%3 ms pause of each frame ahead on the line")
                            .arg(kBurstClients)
                            .arg(kBursts)
                            .arg(kMessagePauseMs),
                    spread(paced.beyond), directText, QStringLiteral("5 ms / 20 ms"),
                    Bench::verdict(Bench::median(paced.beyond) <= 5
                                   && Bench::percentile(paced.beyond, 99) <= 20
                                   && paced.refused == 0));
    Bench::printRow(QStringLiteral("The same, pauses included (context)"),
                    spread(paced.latencies) + QStringLiteral(", %1 refused").arg(paced.refused),
                    QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"));

    // The pauses shrunk to 1 ms: the HTTP work of the posts ahead no longer hides in them.
    Bench::progress(QStringLiteral("bench_service: %1 clients at once, pauses of %2 ms")
                            .arg(kBurstClients)
                            .arg(kMessagePauseMs * kPauseScale));
    const Bursts bursts = burstPosts(reader, service, kMessagePauseMs * kPauseScale);
    Bench::printRow(QStringLiteral("The same with the pauses shrunk to %1 ms, beyond them "
                                   "(context: the service's own work for the posts ahead)")
                            .arg(kMessagePauseMs * kPauseScale),
                    spread(bursts.beyond) + QStringLiteral(", %1 refused").arg(bursts.refused),
                    QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"));

    Bench::progress(QStringLiteral("bench_service: %1 clients x %2 actions")
                            .arg(kLoadClients)
                            .arg(kLoadActions));
    manyActions(reader, service);

    Bench::progress(QStringLiteral("bench_service: at rest with %1 event streams").arg(kStreams));
    std::vector<int> streams;
    for (int i = 0; i < kStreams; ++i) {
        const int fd = connectTo(service.port());
        if (fd < 0 || !writeAll(fd, request("GET", "/api/v1/events", service.token()))
            || readStatus(fd, true) != 200)
            fail("an event stream was refused");
        streams.push_back(fd);
    }
    const Rest streaming = rest(service, kRestMs);
    for (const int fd : streams)
        ::close(fd);
    const QString baseline = QStringLiteral("fresh, no clients: %1");
    Bench::printRow(QStringLiteral("vornikd at rest with %1 event streams, after the runs above: "
                                   "resident memory (VmRSS)")
                            .arg(kStreams),
                    Bench::number(streaming.residentMb, 1) + QStringLiteral(" MB"),
                    baseline.arg(Bench::number(fresh.residentMb, 1) + QStringLiteral(" MB")),
                    QStringLiteral("< 25 MB"), Bench::verdict(streaming.residentMb < 25));
    Bench::printRow(QStringLiteral("The same: CPU over %1 s at rest").arg(kRestMs / 1000),
                    Bench::number(streaming.cpuPercent, 3) + QStringLiteral(" % of a core"),
                    baseline.arg(Bench::number(fresh.cpuPercent, 3) + QStringLiteral(" % over ")
                                 + QString::number(kRestBaselineMs / 1000) + " s"),
                    QStringLiteral("< 0.1 %"), Bench::verdict(streaming.cpuPercent < 0.1));
    reader.stop();
    return 0;
}
