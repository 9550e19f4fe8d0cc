#pragma once

#include "protocol/pacedcommand.h"
#include "session/chainstate.h"
#include "session/modeinputs.h"
#include "session/noticeboard.h"
#include "session/pacedsender.h"
#include "session/scrolltiming.h"
#include "session/textlayer.h"
#include "session/tickroute.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class ActionQueue;
class ChainStateTracker;
class FontTable;
class ModeRunner;
class SegmentTestRunner;
class TextScroller;

// What the chain shows, as layers: the content at the bottom (a message, fitted or scrolling,
// what attribute frames left, a mode, the segment test, or what was on show when a mode was
// turned off), the notifications over it, and a font upload over both. Every frame goes
// through the queue, in the order asked for; a layer that ends gives back what the chain
// showed under it, as the chain's state has it, never as the request that made it asked.
class ShowLayers : public QObject
{
    Q_OBJECT
public:
    explicit ShowLayers(ActionQueue &queue, PacedSender &sender, ChainStateTracker &tracker,
                        int chain, QObject *parent = nullptr);
    ~ShowLayers() override;

    // Ticks go to the line only while this answers true (the line is up).
    void setLineUp(std::function<bool()> lineUp) { m_lineUp = std::move(lineUp); }

    // The content: each replaces the one before, whose mode or test stops first.
    // A message (text in whole characters): fitted, or moving across the chain when scroll is
    // given. Characters beyond the built-in fonts show through user-font glyphs; throws
    // ChainInput::Refusal, changing nothing, when they need more codes than are free.
    void showMessage(const QString &text, const QStringList &characters, bool padLast,
                     const std::optional<ScrollTiming> &scroll);
    // Attribute frames (the blank among them); given a message, it becomes the content and
    // shown (its characters on the chain) follows the frames; otherwise the content stays and
    // only its attributes change.
    void sendFrames(const QString &name, const CommandList &frames,
                    const std::optional<QString> &message, const QStringList &shown = {});
    // A mode under its name; no mode is the segment test.
    void runMode(const QString &name, std::optional<ModeInputs::Mode> mode,
                 const std::array<QString, 3> &animation);
    // Mode off: what the chain shows now (under a notification: what will return) stays.
    void freeze();

    // A notification; answers its id.
    int notify(const NoticeBoard::Notice &notice);
    // Ends a shown or waiting notification; false when there is no such one.
    bool dismiss(int id);

    // A font upload: fonts as given, or the fonts on show when empty; afterwards what was on
    // show goes out again. One at a time.
    void upload(const std::shared_ptr<const FontTable> &table, const QByteArray &fonts);
    bool uploading() const { return m_uploading; }

    // The line is back and the chain's state went out again: a mode carries on.
    void lineBack();
    // The line was reopened: the modules may have lost the glyphs; those on show, to write
    // again before the chain's state.
    CommandList glyphsAgain();

    // Which glyphs the modules hold and which codes the texts may use.
    TextLayer &textLayer() { return m_glyphs; }
    const TextLayer &textLayer() const { return m_glyphs; }

    // "off" or the running mode's name.
    QString mode() const;
    // The content message's whole text; none when the content is not a message.
    std::optional<QString> message() const;
    // Whether the content message is moving across the chain now.
    bool scrolling() const;
    const NoticeBoard &notices() const { return m_board; }

Q_SIGNALS:
    // What mode(), message(), scrolling() or notices() answer may have changed.
    void changed();
    void notificationStarted(int id);
    void notificationFinished(int id);
    void uploadProgress(int sent, int total);
    void uploadEnded(PacedSender::Outcome outcome, int sent, int total);

private:
    enum class Content { None, Message, Mode, Frozen };

    // A step of the layers' own, run in the queue's order.
    void step(const QString &name, std::function<void()> run);
    // Frames of the content: on the line, or under a notification into what returns after it.
    void contentFrames(const QString &name, const CommandList &frames);
    void contentTick(const std::function<void()> &tick);
    // A window of a text as content: its glyphs, fonts and codes, decided when it goes out.
    void contentText(const QString &name, const QStringList &window,
                     const CommandList &before = {});
    // The frames that show window (its glyphs those of text) on a chain whose state is written.
    CommandList textFrames(const QStringList &text, const QStringList &window,
                           const ChainState &written, TextLayer::Use use);
    // The glyphs target shows in font U that now lacks, written again.
    CommandList glyphRestore(const ChainState &now, const ChainState &target) const;
    void stopContent();
    void startRunner();
    void startScroll();
    void resumeContent();
    // Stops an object's timers at once and deletes it between actions.
    void retire(QObject *object);

    // The board ended a notification and/or put one on show.
    void takeChange(const NoticeBoard::Change &change);
    // In the queue's order: the first to show keeps what is under it, then it draws.
    void startNotice(int id);
    void endNotice(int id);
    // In the queue's order: what was under the notifications goes out again.
    void giveBack();

    bool lineUp() const { return !m_lineUp || m_lineUp(); }

    ActionQueue &m_queue;
    PacedSender &m_sender;
    ChainStateTracker &m_tracker;
    int m_chain;
    std::function<bool()> m_lineUp;

    Content m_content = Content::None;
    TextLayer m_glyphs;
    QString m_text;           // Message: the whole text
    QStringList m_characters; // Message: the whole text in characters
    TextLayer::Prepared m_scrollGlyphs;
    std::optional<ScrollTiming> m_scroll;
    bool m_scrollEnded = false;
    QString m_modeName;
    std::optional<ModeInputs::Mode> m_mode;
    std::array<QString, 3> m_animation;
    QPointer<QObject> m_runnerHolder; // the running mode's runner and timers
    QPointer<ModeRunner> m_modeRunner;
    QPointer<SegmentTestRunner> m_testRunner;
    QPointer<TextScroller> m_scroller;

    NoticeBoard m_board;
    QPointer<TextScroller> m_noticeScroller;
    // While a notification is on the line: what the content shows under it.
    std::optional<ChainState> m_under;

    bool m_uploading = false;
};
