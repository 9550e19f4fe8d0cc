#include "panels/modespanel.h"

#include "core/basicutilities.h"
#include "modes/modesteps.h"
#include "panels/workbench.h"
#include "session/moderunner.h"
#include "widgets/filteredlineedit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kFieldWidth = 56;

} // namespace

ModesPanel::ModesPanel(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("Modes"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildEnablers());
    layout->addLayout(buildFields());
    layout->addStretch();

    m_runner = new ModeRunner(m_workbench.sender(), *this, this);
    connect(m_runner, &ModeRunner::statusMessage, this,
            [this](const QString &text) { m_workbench.setStatus(text); });
    connect(m_runner, &ModeRunner::stoppedByFailedLine, this, [this](Mode mode) {
        m_workbench.setStatus(m_enabler[mode]->text()
                              + QStringLiteral(" stopped: the line failed"));
    });
}

QHBoxLayout *ModesPanel::buildEnablers()
{
    const QStringList captions{QStringLiteral("Animate"), QStringLiteral("Time"),
                               QStringLiteral("Date"), QStringLiteral("Count")};
    const QStringList boxTips{
            QString(),
            QStringLiteral("Writes the current PC time to the display, updating every second"),
            QStringLiteral("Writes the current date to the display"),
            QStringLiteral("Counts on the display using the animation delay")};
    auto *boxes = new QHBoxLayout;
    for (int i = 0; i < kModes; ++i) {
        m_enabler[i] = new QCheckBox(captions[i], this);
        m_enabler[i]->setObjectName(QStringLiteral("enabler_%1").arg(i));
        m_enabler[i]->setToolTip(boxTips[i]);
        connect(m_enabler[i], &QCheckBox::clicked, this, [this, i] { enablerClicked(i); });
        boxes->addWidget(m_enabler[i]);
    }
    boxes->addStretch();
    return boxes;
}

QGridLayout *ModesPanel::buildFields()
{
    const QStringList initial{QString::number(ModeSteps::kDefaultStart),
                              QString::number(ModeSteps::kDefaultStop),
                              QString::number(ModeSteps::kDefaultDelay)};
    const QStringList fieldTips{
            QStringLiteral("Ascii character for start of animation (Default = \"0\")"), QString(),
            QStringLiteral("Animation delay in mS")};
    const QStringList labels{QStringLiteral("Start"), QStringLiteral("Stop"),
                             QStringLiteral("Delay")};
    const QStringList labelTips{QStringLiteral("ASCII code of animation sequence start"),
                                QStringLiteral("ASCII code of animation sequence stop"),
                                QStringLiteral("Delay in mS (1 to 2000) between characters")};
    auto *fields = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        m_label[i] = new QLabel(labels[i], this);
        m_label[i]->setObjectName(QStringLiteral("Label2_%1").arg(i));
        m_label[i]->setToolTip(labelTips[i]);
        m_label[i]->setAlignment(Qt::AlignCenter);
        m_animation[i] = new FilteredLineEdit(QStringLiteral("animation_%1").arg(i), this);
        m_animation[i]->setText(initial[i]);
        m_animation[i]->setToolTip(fieldTips[i]);
        m_animation[i]->setAlignment(Qt::AlignCenter);
        m_animation[i]->setFixedWidth(kFieldWidth);
        m_animation[i]->setKeyFilter([this, i](int code) {
            const ModeSteps::AnimationKey key = ModeSteps::animationKey(i, code);
            if (key.replaces)
                m_animation[i]->setText(key.replacement);
            return key.verdict;
        });
        connect(m_animation[i], &FilteredLineEdit::enterPressed, this,
                [this, i] { animationConfirmed(i); });
        connect(m_animation[i], &FilteredLineEdit::focusLost, this,
                [this, i] { animationConfirmed(i); });
        fields->addWidget(m_label[i], 0, i);
        fields->addWidget(m_animation[i], 1, i);
    }
    m_animation[ModeSteps::kDelayField]->setTypingLimit(ModeSteps::kDelayTypingLimit);

    m_xcount = new FilteredLineEdit(QStringLiteral("xcount"), this);
    m_xcount->setText(QStringLiteral("0"));
    m_xcount->setAlignment(Qt::AlignCenter);
    m_xcount->setFixedWidth(2 * kFieldWidth);
    m_xcount->setTypingLimit(ModeSteps::kCountTypingLimit);
    m_xcount->setEnterPassesOn(true);
    m_xcount->setKeyFilter(&KeyVerdict::digits);
    connect(m_xcount, &FilteredLineEdit::enterPressed, this, &ModesPanel::xcountEntered);
    connect(m_xcount, &FilteredLineEdit::focusLost, this, &ModesPanel::xcountLeft);
    auto *counterLabel = new QLabel(tr("Counter"), this);
    counterLabel->setBuddy(m_xcount);
    fields->addWidget(counterLabel, 0, 3);
    fields->addWidget(m_xcount, 1, 3);
    fields->setColumnStretch(4, 1);
    return fields;
}

void ModesPanel::enablerClicked(int index)
{
    if (index < 0 || index >= kModes)
        return;
    for (int i = 0; i < kModes; ++i) {
        if (i != index)
            m_enabler[i]->setChecked(false);
    }
    m_runner->modeChosen(static_cast<Mode>(index), m_animation[ModeSteps::kDelayField]->text());
    // The editor follows the code field to the start code, so that a click edits what it shows.
    if (index == Animate) {
        showCode(static_cast<int>(qMin<qint64>(LeadingNumber(startText()), ModeSteps::kStopMax)));
        m_workbench.showsegments();
    }
}

void ModesPanel::animationConfirmed(int index)
{
    std::array<QString, 3> texts;
    for (int i = 0; i < 3; ++i)
        texts[i] = m_animation[i]->text();
    ModeSteps::validateAnimation(texts, index);
    for (int i = 0; i < 3; ++i) {
        if (m_animation[i]->text() != texts[i])
            m_animation[i]->setText(texts[i]);
    }
    if (index == ModeSteps::kDelayField)
        m_runner->delayChanged(texts[ModeSteps::kDelayField]);
}

void ModesPanel::xcountEntered()
{
    xcountLeft();
    if (ModeSteps::isDiagnosticCode(m_xcount->text()))
        m_workbench.setStatus(QStringLiteral("Timer interval is currently: ")
                              + QString::number(m_runner->timer1Interval()));
}

void ModesPanel::xcountLeft()
{
    const QString normalised = ModeSteps::counterNormalised(m_xcount->text());
    if (m_xcount->text() != normalised)
        m_xcount->setText(normalised);
}

bool ModesPanel::modeOn(Mode mode) const
{
    return m_enabler[mode]->isChecked();
}

int ModesPanel::chainLength() const
{
    return m_workbench.chainLength();
}

QString ModesPanel::startText() const
{
    return m_animation[ModeSteps::kStartField]->text();
}

QString ModesPanel::stopText() const
{
    return m_animation[ModeSteps::kStopField]->text();
}

QString ModesPanel::counterText() const
{
    return m_xcount->text();
}

void ModesPanel::setCounterText(const QString &text)
{
    m_xcount->setText(text);
}

QString ModesPanel::codeText() const
{
    return m_workbench.currentCodeText();
}

void ModesPanel::showCode(int code)
{
    m_workbench.showCode(code);
}

void ModesPanel::stopMode(Mode mode)
{
    m_enabler[mode]->setChecked(false);
}

void ModesPanel::beforeAnimateCommand()
{
    m_workbench.showsegments();
}
