#include "fuzzcheck.h"

#include "protocol/command.h"
#include "protocol/framedecoder.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// The virtual chain's decoder on any byte stream: the frames do not depend on how the bytes
// were split into reads; every command it accepts is one the utility could have built and
// parses back to itself; nothing it reports is longer than a frame; and it never reports more
// bytes than it was fed.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    FrameDecoder whole;
    const QList<DecodedFrame> frames = whole.feed(bytes);

    // The same stream in pieces of 1 to 8 bytes, the sizes taken from the stream itself.
    FrameDecoder pieces;
    QList<DecodedFrame> pieced;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = 1 + static_cast<unsigned char>(bytes.at(at)) % 8;
        pieced += pieces.feed(bytes.mid(at, length));
        at += length;
    }
    require(pieced == frames);

    qsizetype reported = 0;
    for (const DecodedFrame &frame : frames) {
        reported += frame.kind == DecodedFrame::Kind::Command ? 3 + 1 + frame.argument.size() + 1
                    : frame.kind == DecodedFrame::Kind::Probe ? 6
                                                              : frame.skipped.size();
        if (frame.kind == DecodedFrame::Kind::Malformed) {
            require(!frame.skipped.isEmpty());
            require(frame.skipped.size() <= FrameDecoder::kMaxFrame);
            require(!frame.problem.isEmpty());
            continue;
        }
        if (frame.kind != DecodedFrame::Kind::Command)
            continue;
        require(Command::isLetter(frame.letter));
        require(!frame.argument.contains('\r'));
        if (frame.letter == 'W')
            require(frame.argument.size() == FrameDecoder::kPatternArgument);
        const QByteArray command = Command::build(frame.letter, frame.argument);
        require(Command::isWellFormed(command));
        require(command.size() <= FrameDecoder::kMaxFrame);
        require(FrameDecoder::parse(command.chopped(1)) == frame);
    }
    require(reported <= bytes.size());
    return 0;
}
