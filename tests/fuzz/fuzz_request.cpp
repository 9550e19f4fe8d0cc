#include "fuzzcheck.h"

#include "requestjudge.h"

#include "font/textfont.h"
#include "protocol/chainprotocol.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

// Any request to vornikd: the input holds the method, path, Host, Authorization and body, one
// per line up to the body. The judge either refuses with a 4xx status and a readable text, or
// hands on values a field would take: frames without a frame end, a text whose every character
// has a glyph, a mode it knows, a text no longer than the chain unless it scrolls, a blank over
// the whole chain.
// Without the Host and the token nothing but the page is ever accepted.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = bytes.split('\n');
    const auto part = [&](int index) { return parts.value(index); };
    QByteArray body;
    for (qsizetype i = 4; i < parts.size(); ++i)
        body += (i > 4 ? "\n" : "") + parts.at(i);
    const RequestJudge::Incoming incoming{part(0), part(1), part(2), part(3), body};
    const RequestJudge::Context context{"secret", {"sign.local"}, 6};
    const RequestJudge::Verdict verdict = RequestJudge::judge(incoming, context);
    if (!verdict.ok()) {
        require(verdict.status >= 400 && verdict.status < 500);
        return 0;
    }
    const ApiRequest &request = verdict.request;
    require(RequestJudge::hostAllowed(incoming.host, context.hosts));
    if (request.kind != ApiRequest::Page && request.kind != ApiRequest::DigitSvg)
        require(incoming.authorization.trimmed().left(7).toLower() == "bearer "
                && incoming.authorization.trimmed().mid(7).trimmed() == "secret");
    for (const PacedCommand &command : request.commands)
        require(!command.argument.contains(Protocol::kFrameEnd) && command.pause > 0);
    require(TextFont::covers(request.text).isEmpty()
            && request.characters.join(QString()) == request.text);
    if (request.kind == ApiRequest::Font)
        require(request.patterns.size() == 116 && request.fonts.size() == context.chain);
    if (request.kind == ApiRequest::Mode)
        require(!request.mode.isEmpty());
    // Only a text longer than the chain and not scrolled says it is cut; blank covers the whole
    // chain.
    if (!request.note.isEmpty())
        require(request.characters.size() > context.chain && !request.scroll);
    if (request.kind == ApiRequest::Blank)
        require(request.commands.last().argument == QByteArray(context.chain, ' '));
    return 0;
}
