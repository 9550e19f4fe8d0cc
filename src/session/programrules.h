#pragma once

#include "protocol/pacedcommand.h"
#include "session/chaininput.h"
#include "session/chainstate.h"
#include "session/modeinputs.h"
#include "session/textglyphs.h"

#include <QString>
#include <QStringList>

#include <optional>

class TextLayer;

// How a program (vornikctl, the HTTP API, MQTT, the page) shows what it is given, the same in
// every path: fill with spaces, cut a long text with a note unless it scrolls, blank the whole
// chain. The window keeps its own rules (six blanks, last-character padding). Each fact that
// several programs share has its home here.
namespace ProgramRules {

// The chain a program drives when it is not told.
inline constexpr int kDefaultChain = ChainState::kDefaultDigits;
// vornikd's port when none is configured.
inline constexpr quint16 kServicePort = 8760;

// Where vornikd writes the address it listens on while it holds device, for the hint a
// program that finds the port taken gives: $XDG_RUNTIME_DIR/vornikd/DEVICE.url (the device's
// path with "/" as "_").
QString serviceAddressFile(const QString &device);
// The address written there, else the default one.
QString serviceAddress(const QString &device);

// A scroll's limits and defaults.
inline constexpr int kRateMin = 50;
inline constexpr int kRateMax = 10000;
inline constexpr int kRateDefault = 300;
inline constexpr int kPassesMax = 1000;
inline constexpr int kSecondsMax = 86400;
// A notification with neither limit shows for this long.
inline constexpr int kNotifySeconds = 10;

// A mode's shortest step: the step's frame pause (Pause::kShort, 50 ms) and the frame's time on
// the 9600-baud line (16 ms for ten digits). The runner skips a tick that comes while a step is
// still sending, so a shorter delay stepped at twice its value, slower than this one. The
// window's field keeps its own range.
inline constexpr int kStepDelayMin = Pause::kShort * 10 + 20;

// The modes a program can run, "off" first.
const QStringList &modeNames();
// The runner's mode of a mode's name; none for the segment test (and "off").
std::optional<ModeInputs::Mode> modeOf(const QString &name);

// A scroll as asked: rate, and passes and seconds (both 0: until replaced).
struct Scroll
{
    int rate = kRateDefault;
    int passes = 1;
    int seconds = 0;
};
// A scroll from the values given; none of passes and seconds given means one pass. prefix goes
// before each name in refusals; passesLow is 1 where "until replaced" is not offered.
Scroll scroll(const std::optional<QString> &rate, const std::optional<QString> &passes,
              const std::optional<QString> &seconds, const QString &prefix, int passesLow = 0);

// A message on a chain of length digits that does not scroll: its frames and, when the text
// was longer than the chain, the note that it was cut.
struct Shown
{
    CommandList commands;
    QString text; // what is on show, length characters
    bool cut = false;
};
// An empty text blanks the whole chain; a short one is filled with spaces, or with its last
// character when padLast. text is checked (TextGlyphs::characters); what the built-in fonts
// lack goes through layer's glyphs (a new layer's when none: nothing held, fonts 0 on show).
// Throws ChainInput::Refusal when the glyphs need more codes than are free.
Shown message(const QString &text, int length, bool padLast, TextLayer *layer = nullptr);
// What a cut message's note says after its leading word ("message: "), and the API's.
QString cutNote(int length);
QString cutNoteForService(int length);

// Every digit to font 0, then every digit blank.
CommandList blank(int length);

// Each given attribute's frame in the table's order; refused when none is given and there is no
// text. prefix goes before each field's name in refusals ("--" on a command line).
CommandList attributeFrames(const ChainInput::Attributes &given, bool hasText, int length,
                            const QString &prefix);
// The attribute frames, then the message once when one is given (any text, in textCase:
// filled with spaces, cut to the chain, through a new text layer over the fonts given).
CommandList attributes(const ChainInput::Attributes &given, const std::optional<QString> &text,
                       int length, const QString &prefix,
                       TextGlyphs::Case textCase = TextGlyphs::Case::AsTyped);
// "Write all": fonts, effects and speeds (each as given, else every digit 0), then the message.
ChainInput::Attributes writeAllGiven(ChainInput::Attributes given);

} // namespace ProgramRules
