#pragma once

#include <QGroupBox>

class FilteredLineEdit;
class QGridLayout;
class QPushButton;
class Workbench;

// The message block: chain length, message, fonts, underscores, effects, speeds and Write all.
class MessagePanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit MessagePanel(Workbench &workbench, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFields(QGridLayout *grid);
    void applyFieldRules();
    void connectFields();
    void buildWriteAll(QGridLayout *grid);
    FilteredLineEdit *addField(QGridLayout *grid, const QString &name, const QString &caption,
                               const QString &defaultText, const QString &toolTip,
                               const QString &labelToolTip);
    void connectAttribute(FilteredLineEdit *field, char letter);

    // Fits a field to the chain length as leaving it does; nothing is sent.
    void settleMessage();
    void settleAttribute(FilteredLineEdit *field);
    void messageEntered();
    void attributeEntered(FilteredLineEdit *field, char letter);
    // A new chain length: the five content fields start over at that length. Leaving the length
    // field does it only when the length changed while the field had the focus.
    void resetLength();
    void writeAll();

    Workbench &m_workbench;
    FilteredLineEdit *m_mlength = nullptr;
    FilteredLineEdit *m_sentence = nullptr;
    FilteredLineEdit *m_fonts = nullptr;
    FilteredLineEdit *m_underscore = nullptr;
    FilteredLineEdit *m_effects = nullptr;
    FilteredLineEdit *m_speeds = nullptr;
    QPushButton *m_writeAll = nullptr;
    // The length when the field was entered, kept until its leaving action has run.
    int m_lengthOnEntry = 0;
    bool m_lengthEntered = false;
};
