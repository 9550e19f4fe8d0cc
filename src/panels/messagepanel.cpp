#include "panels/messagepanel.h"

#include "panels/workbench.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/fieldrules.h"
#include "protocol/messagecommands.h"
#include "widgets/filteredlineedit.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <iterator>

namespace {

// Room for this many characters in a content field, and in the length field.
constexpr int kContentColumns = 12;
constexpr int kLengthColumns = 3;

const QString kMessageLabelTip = QStringLiteral(
        "Display a message across the array, length should be equal to the number of digits.  "
        "This window only allows charaters 0-9 and A-Z for fonts 0-9, however font U has a valid "
        "range of ASCII 0 to 125 (Except 13 and '!'). The number to the right is the length of the "
        "display string.");
// Every attribute field starts with the default chain's six digits unchanged from font 0.
const QString kAttributeDefault = QStringLiteral("000000");

QByteArray argumentOf(const FilteredLineEdit *field)
{
    return field->text().toLatin1();
}

} // namespace

MessagePanel::MessagePanel(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setObjectName(QStringLiteral("Frame2"));
    setTitle(tr("Vornik Controller"));

    auto *grid = new QGridLayout(this);
    buildFields(grid);
    applyFieldRules();
    connectFields();
    buildWriteAll(grid);

    m_workbench.attachChainFields(m_mlength, m_fonts);
}

void MessagePanel::buildFields(QGridLayout *grid)
{
    m_mlength = addField(grid, QStringLiteral("mlength"),
                         tr("ChainMax=%1").arg(Protocol::kMaxDigits), QStringLiteral("6"),
                         QStringLiteral("Sets the length of the display chain (Maximum of %1)")
                                 .arg(Protocol::kMaxDigits),
                         kMessageLabelTip);
    m_sentence = addField(grid, QStringLiteral("sentence"), tr("Message"), QStringLiteral("AAAAAA"),
                          QStringLiteral("Valid inputs are A-Z,0-9,:,;,<,=,>,?,@,[Space] and ! "
                                         "(!=Skip this location)"),
                          kMessageLabelTip);
    // One row per attribute of the protocol's table, kept in the member the block uses for it.
    FilteredLineEdit **const members[] = {&m_fonts, &m_underscore, &m_effects, &m_speeds};
    static_assert(std::size(members) == DigitAttributes::kCount);
    std::size_t row = 0;
    for (const DigitAttribute &attribute : DigitAttributes::table()) {
        FilteredLineEdit *field = addField(
                grid, QLatin1String(attribute.name), tr(attribute.caption), kAttributeDefault,
                QLatin1String(attribute.toolTip), QLatin1String(attribute.labelToolTip));
        field->setKeyFilter(attribute.keyRule);
        connectAttribute(field, attribute.letter);
        *members[row++] = field;
    }
}

void MessagePanel::applyFieldRules()
{
    m_mlength->setKeyFilter([this](int code) {
        const int at = m_mlength->hasSelectedText() ? m_mlength->selectionStart()
                                                    : m_mlength->cursorPosition();
        return FieldRules::mlengthKey(code, m_mlength->text().left(at));
    });
    m_mlength->setTypingLimit(FieldRules::kLengthTypingLimit);
    m_sentence->setKeyFilter(FieldRules::sentenceKey);

    // One fixed-pitch font and one width, so that digit positions line up from field to field.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (FilteredLineEdit *field : {m_sentence, m_fonts, m_underscore, m_effects, m_speeds}) {
        field->setTypingLimit(FieldRules::kContentTypingLimit);
        field->setFont(fixed);
        const int width = field->fontMetrics().horizontalAdvance(QString(kContentColumns, 'W'));
        field->setFixedWidth(width + 2 * field->fontMetrics().averageCharWidth());
    }
    m_mlength->setFont(fixed);
    m_mlength->setFixedWidth(
            m_mlength->fontMetrics().horizontalAdvance(QString(kLengthColumns, 'W'))
            + 2 * m_mlength->fontMetrics().averageCharWidth());
}

void MessagePanel::connectFields()
{
    connect(m_mlength, &FilteredLineEdit::enterPressed, this, &MessagePanel::resetLength);
    connect(m_mlength, &FilteredLineEdit::focusLost, this, [this] {
        m_lengthEntered = false;
        if (m_workbench.chainLength() != m_lengthOnEntry)
            resetLength();
    });
    m_mlength->installEventFilter(this);
    connect(m_sentence, &FilteredLineEdit::enterPressed, this, &MessagePanel::messageEntered);
    connect(m_sentence, &FilteredLineEdit::focusLost, this, &MessagePanel::settleMessage);
}

void MessagePanel::buildWriteAll(QGridLayout *grid)
{
    m_writeAll = new QPushButton(tr("Write all"), this);
    m_writeAll->setObjectName(QStringLiteral("Command2_10"));
    m_writeAll->setToolTip(QStringLiteral("Send all settings below to display string.  To write "
                                          "any single setting block, hit enter on that block"));
    connect(m_writeAll, &QPushButton::clicked, this, &MessagePanel::writeAll);
    grid->addWidget(m_writeAll, grid->rowCount(), 1, Qt::AlignRight);
    grid->setColumnStretch(2, 1);
}

FilteredLineEdit *MessagePanel::addField(QGridLayout *grid, const QString &name,
                                         const QString &caption, const QString &defaultText,
                                         const QString &toolTip, const QString &labelToolTip)
{
    auto *field = new FilteredLineEdit(name, this);
    field->setText(defaultText);
    field->setToolTip(toolTip);
    auto *label = new QLabel(caption, this);
    label->setToolTip(labelToolTip);
    label->setBuddy(field);
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1, Qt::AlignLeft);
    return field;
}

void MessagePanel::connectAttribute(FilteredLineEdit *field, char letter)
{
    connect(field, &FilteredLineEdit::enterPressed, this,
            [this, field, letter] { attributeEntered(field, letter); });
    connect(field, &FilteredLineEdit::focusLost, this, [this, field] { settleAttribute(field); });
}

void MessagePanel::settleMessage()
{
    m_sentence->setText(FieldRules::settledMessage(m_sentence->text(), m_workbench.chainLength()));
}

void MessagePanel::settleAttribute(FilteredLineEdit *field)
{
    field->setText(FieldRules::settledAttribute(field->text(), m_workbench.chainLength()));
}

void MessagePanel::messageEntered()
{
    settleMessage();
    m_workbench.sendAll(this, MessageCommands::message(argumentOf(m_sentence)));
}

void MessagePanel::attributeEntered(FilteredLineEdit *field, char letter)
{
    settleAttribute(field);
    // The message goes out as it stands: the user may not have settled it yet.
    m_workbench.sendAll(
            this, MessageCommands::attribute(letter, argumentOf(field), argumentOf(m_sentence)));
}

bool MessagePanel::eventFilter(QObject *watched, QEvent *event)
{
    // A window switch or a context menu takes the focus and gives it back without leaving the
    // field: the length to compare with stays the one from before.
    if (watched == m_mlength && event->type() == QEvent::FocusIn && !m_lengthEntered) {
        m_lengthEntered = true;
        m_lengthOnEntry = m_workbench.chainLength();
    }
    return QGroupBox::eventFilter(watched, event);
}

void MessagePanel::resetLength()
{
    const int length = m_workbench.chainLength();
    m_lengthOnEntry = length;
    m_sentence->setText(FieldRules::resetMessage(length));
    m_underscore->setText(FieldRules::resetAttribute(length));
    m_fonts->setText(FieldRules::resetAttribute(length));
    m_effects->setText(FieldRules::resetAttribute(length));
    m_speeds->setText(FieldRules::resetAttribute(length));
}

void MessagePanel::writeAll()
{
    m_workbench.sendAll(this,
                        MessageCommands::writeAll(argumentOf(m_fonts), argumentOf(m_effects),
                                                  argumentOf(m_speeds), argumentOf(m_sentence)),
                        {}, [this](bool) { m_workbench.showsegments(); });
}
