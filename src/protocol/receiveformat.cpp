#include "protocol/receiveformat.h"

#include "core/basicutilities.h"

ReceivedLogText formatReceived(const QByteArray &data)
{
    ReceivedLogText result;
    result.text.reserve(data.size() * 2);
    for (const char byte : data) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == kCR) {
            result.text += QStringLiteral("[CR]\r\n");
            result.refresh = true;
        } else if (code < 32 || code >= 128) {
            result.text += QLatin1Char('[') + HexPad(code, 2) + QLatin1Char(']');
        } else {
            result.text += QChar(code);
            result.refresh = true;
        }
    }
    return result;
}

QString controlTokens(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        text += code < 32 || code >= kDEL ? QLatin1Char('[') + HexPad(code, 2) + QLatin1Char(']')
                                          : QString(QChar(code));
    }
    return text;
}

QString frameLogText(const QByteArray &frame)
{
    return frame.endsWith('\r') ? controlTokens(frame.chopped(1)) + QStringLiteral("[cr]")
                                : controlTokens(frame);
}
