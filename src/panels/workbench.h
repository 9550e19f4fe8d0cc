#pragma once

#include "font/fonthistory.h"
#include "font/fonttable.h"
#include "protocol/pacedcommand.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>

#include <functional>

class QLineEdit;
class QObject;
class SerialLink;

// What the main window's panels share: the line to the chain, the user font table, the
// settings lines, and the few facts one panel reads from another's fields. Panels attach the
// fields they own as they are built; the others use the verbs below.
class Workbench
{
public:
    explicit Workbench(SerialLink &link);

    SerialLink &link;
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
    void setCurrentCodeText(const QString &text);

    // Builds the command from letter and argument and hands it to ComWrite with pause.
    void send(char letter, const QByteArray &argument, int pause);

    // Runs before each command of sendAll; window events may run in it.
    using CommandHook = std::function<void(const PacedCommand &)>;
    // Sends commands in order, running beforeEach before each one. Window events run during
    // the paced waits, so the run stops as soon as caller is deleted or the program is asked
    // to close. Complete (true) when every command went out to an open port without a failure.
    // afterAll runs at the end unless the run was stopped, told whether it was complete.
    using DoneHook = std::function<void(bool complete)>;
    // Asked before each command; true stops the run there, as a deleted caller would.
    using StopCheck = std::function<bool(const PacedCommand &next)>;
    bool sendAll(QObject *caller, const CommandList &commands, const CommandHook &beforeEach = {},
                 const DoneHook &afterAll = {}, const StopCheck &stopBefore = {});

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

    void setStatus(const QString &text);
    QString status() const;

private:
    FontTable m_savedFont;
    QPointer<QLineEdit> m_statusbox;
    QPointer<QLineEdit> m_mlength;
    QPointer<QLineEdit> m_fonts;
    QPointer<QLineEdit> m_acc;
    std::function<void()> m_showsegments;
    std::function<void(int)> m_showCharacter;
};
