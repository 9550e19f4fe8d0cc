#pragma once

#include "font/fonthistory.h"
#include "font/fonttable.h"
#include "protocol/pacedcommand.h"
#include "session/pacedsender.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>

#include <functional>

class QLineEdit;
class QObject;
class SerialLink;
class UploadJob;

// What the main window's panels share: the line to the chain and its paced sender, the user
// font table, the settings lines, and the few facts one panel reads from another's fields. Panels
// attach the fields they own as they are built; the others use the verbs below.
class Workbench
{
public:
    explicit Workbench(SerialLink &link);

    SerialLink &link;
    // Every command of the window goes out through it.
    PacedSender &sender() { return m_sender; }
    FontTable fontarray;
    // Undo and redo of the user font's changes.
    FontHistory fonthistory;
    QStringList settingslines;

    // The user font as last loaded or saved (or at the end of start-up), and whether the table
    // differs from it now.
    void markFontSaved() { m_savedFont = fontarray; }
    bool fontChanged() const { return fontarray != m_savedFont; }

    void attachStatusField(QLineEdit *statusbox);
    void attachChainFields(QLineEdit *mlength, QLineEdit *fonts);
    void attachCodeField(QLineEdit *acc);

    // The chain length N: the leading number of mlength, 0 when it has none.
    int chainLength() const;
    // The fonts field's text as a command argument.
    QByteArray fontsArgument() const;
    // The current user-font code: the number in acc, and acc's text as it stands.
    int currentCode() const;
    QString currentCodeText() const;
    // Puts code into acc and its character and pattern into the editor: another panel moves
    // the editor only this way, so that the code, the character and the pattern name one slot.
    void showCode(int code);

    // The font upload, attached by the Commit bar that runs it.
    void attachUploadJob(UploadJob *job);
    bool uploading() const;
    // Ends a running upload before its next character.
    void stopUpload();
    // While an upload runs the table must stay what is being sent: true then, with the reason
    // in the status line, and the caller leaves the table alone.
    bool refusedDuringUpload();

    // Runs before each command of sendAll; window events may run in it.
    using CommandHook = PacedSender::BeforeEach;
    // Runs at the end of sendAll unless the run was stopped, told whether it was complete.
    using DoneHook = std::function<void(bool complete)>;
    // Sends commands through the sender on behalf of caller (the run stops when it is deleted
    // or the program is asked to close). True when every command went out to an open port
    // without a failure.
    bool sendAll(QObject *caller, const CommandList &commands, const CommandHook &beforeEach = {},
                 const DoneHook &afterAll = {});

    // Puts the character with code and its table pattern into the font editor's fields.
    void showCharacter(int code);
    void setCharacterShower(std::function<void(int code)> shower)
    {
        m_showCharacter = std::move(shower);
    }

    // Redraws the segment editor from udcpattern and stores it at the current code; the
    // common ending of the Command2 buttons.
    void showsegments();
    void setShowsegments(std::function<void()> handler) { m_showsegments = std::move(handler); }

    // Says what an undo or redo of the font did: the code it went back to and the patterns it
    // changed from before.
    void tellFontStep(bool redo, int code, const FontTable &before);

    void setStatus(const QString &text);
    QString status() const;

private:
    PacedSender m_sender;
    FontTable m_savedFont;
    QPointer<QLineEdit> m_statusbox;
    QPointer<QLineEdit> m_mlength;
    QPointer<QLineEdit> m_fonts;
    QPointer<QLineEdit> m_acc;
    QPointer<UploadJob> m_upload;
    std::function<void()> m_showsegments;
    std::function<void(int)> m_showCharacter;
};
