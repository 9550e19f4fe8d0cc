#include "fuzzcheck.h"

#include "protocol/receiveformat.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// The receive log on any bytes from the chain: data may arrive in any pieces, so formatting a
// stream in two parts gives the text of the whole; the text is plain printable ASCII with one
// "[CR]" line break per CR; each byte takes its own fixed room; and the pane refreshes exactly
// when a CR or a printable character came in.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ReceivedLogText whole = formatReceived(bytes);

    qsizetype expectedLength = 0;
    bool expectedRefresh = false;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == 13) {
            expectedLength += 6;
            expectedRefresh = true;
        } else if (code < 32 || code >= 128) {
            expectedLength += 4;
        } else {
            expectedLength += 1;
            expectedRefresh = true;
        }
    }
    require(whole.text.size() == expectedLength);
    require(whole.refresh == expectedRefresh);
    require(whole.text.count(QStringLiteral("[CR]\r\n")) >= bytes.count('\r'));
    require(whole.text.count(QLatin1Char('\r')) == bytes.count('\r'));
    require(whole.text.count(QLatin1Char('\n')) == bytes.count('\r'));
    for (const QChar c : whole.text) {
        const ushort u = c.unicode();
        require(u == '\r' || u == '\n' || (u >= 32 && u < 128));
    }

    const qsizetype cut
            = bytes.isEmpty() ? 0 : static_cast<qsizetype>(data[0]) % (bytes.size() + 1);
    const ReceivedLogText first = formatReceived(bytes.left(cut));
    const ReceivedLogText second = formatReceived(bytes.mid(cut));
    require(first.text + second.text == whole.text);
    require((first.refresh || second.refresh) == whole.refresh);
    return 0;
}
