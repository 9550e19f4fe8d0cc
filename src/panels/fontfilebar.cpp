#include "panels/fontfilebar.h"

#include "core/atomicfile.h"
#include "core/basicutilities.h"
#include "core/errortext.h"
#include "core/linereader.h"
#include "font/fontfile.h"
#include "font/fonttable.h"
#include "panels/workbench.h"
#include "widgets/alert.h"
#include "widgets/filedialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include <cerrno>

namespace {
const QString kFilter = QStringLiteral("Font files,*.fnt");
} // namespace

FontFileBar::FontFileBar(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr(""));
    setFlat(true);

    m_fontfile = new QLineEdit(this);
    m_fontfile->setObjectName(QStringLiteral("fontfile"));
    // Shows the file last loaded or saved; nothing reads it back after start-up.
    m_fontfile->setReadOnly(true);

    m_loadButton = new QPushButton(tr("Load"), this);
    m_loadButton->setObjectName(QStringLiteral("Command2_6"));
    m_loadButton->setToolTip(tr("Load a user font file into local memory. Ctrl+Z undoes this"));
    connect(m_loadButton, &QPushButton::clicked, this, &FontFileBar::load);

    m_saveButton = new QPushButton(tr("Save"), this);
    m_saveButton->setObjectName(QStringLiteral("Command2_7"));
    connect(m_saveButton, &QPushButton::clicked, this, &FontFileBar::save);

    auto *label = new QLabel(tr("Font file"), this);
    label->setBuddy(m_fontfile);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(m_fontfile, 1);
    layout->addWidget(m_loadButton);
    layout->addWidget(m_saveButton);
}

QString FontFileBar::rememberedDirectory() const
{
    return m_workbench.settingslines.value(1);
}

void FontFileBar::rememberDirectory(const QString &directory)
{
    if (m_workbench.settingslines.size() > 1)
        m_workbench.settingslines[1] = directory;
}

void FontFileBar::refuse(const QString &reason)
{
    m_workbench.setStatus(reason);
    beepWhenShown();
}

void FontFileBar::load()
{
    if (m_workbench.refusedDuringUpload())
        return;
    m_workbench.setStatus(QString());
    QString fileName;
    const QString result = OpenFileDialog(QStringLiteral("Select user font file to load"), fileName,
                                          rememberedDirectory(), kFilter, false);
    if (result.isEmpty())
        return;
    // Remembered before reading, so a refused file still moves the dialog's next start.
    rememberDirectory(dialogResultDirectory(result));
    const QString path = dialogResultPath(result);

    // Only a regular file is opened: a FIFO or a terminal chosen by name would wait for a
    // writer and freeze the window.
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile()) {
        showalert(fileOpenErrorTitle(), QString(), fileErrorNumber(path, 0), AlertStyle::Error, 0,
                  notRegularFileText(path));
        return;
    }

    // Everything is read and checked in a scratch list first: a refused or unreadable file
    // leaves the table as it was.
    QFile file(path);
    FontFile::Patterns read;
    errno = 0;
    if (file.open(QIODevice::ReadOnly))
        read = FontFile::readLoadFile(file);
    if (file.error() != QFileDevice::NoError) {
        showalert(fileOpenErrorTitle(), QString(), fileErrorNumber(path, errno), AlertStyle::Error,
                  0, file.errorString());
        return;
    }
    file.close();
    if (!read.ok()) {
        refuse(read.refusal);
        return;
    }

    const FontTable before = m_workbench.fontarray;
    m_workbench.fontarray.applyUserPatterns(read.patterns);
    m_workbench.fonthistory.record(before, m_workbench.fontarray, m_workbench.currentCode());
    m_workbench.markFontSaved();
    m_fontfile->setText(path);
    m_workbench.setStatus(QStringLiteral("Character set file successfully loaded"));
    m_workbench.showCharacter(m_workbench.currentCode());
    m_workbench.showsegments();
}

bool FontFileBar::save()
{
    m_workbench.setStatus(QString());
    const QString result
            = SaveFileDialog(QStringLiteral("Select user font file to save"), QString(),
                             rememberedDirectory(), kFilter, true, QStringLiteral("fnt"));
    if (result.isEmpty())
        return false;
    rememberDirectory(dialogResultDirectory(result));
    const QString path = dialogResultPath(result);
    // The editor's pattern goes into the table first, so that the file holds what the editor
    // shows and the font just saved counts as saved.
    m_workbench.showsegments();

    // The new file is written beside the old one and replaces it only when complete.
    const AtomicWriteResult written
            = writeFileAtomically(path, FontFile::saveFileBytes(m_workbench.fontarray));
    if (!written.ok) {
        showalert(fileSaveErrorTitle(), QString(), fileErrorNumber(path, written.systemError),
                  AlertStyle::Error, 12, written.errorText);
        return false;
    }
    m_workbench.markFontSaved();
    m_fontfile->setText(path);
    m_workbench.setStatus(QStringLiteral("Character set file saved"));
    return true;
}

void FontFileBar::readPointerFile()
{
    // Beside the program first, then in the per-user folder where an installed copy keeps its
    // settings.
    const QString name = QStringLiteral("/vk.ini");
    QString pointer = AppPath() + name;
    if (!FileExists(pointer))
        pointer = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + name;
    if (!FileExists(pointer))
        return;
    QFile file(pointer);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_fontfile->setText(readBoundedLines(file, 1).value(0));
}

void FontFileBar::loadStartupFont()
{
    const QString path = m_fontfile->text();
    if (!FileExists(path))
        return;
    QFile file(path);
    FontFile::StartupFont font;
    if (file.open(QIODevice::ReadOnly))
        font = FontFile::readStartupFile(file);
    if (file.error() != QFileDevice::NoError) {
        m_workbench.setStatus(FontFile::notLoadedText(file.errorString()));
        return;
    }
    if (!font.ok()) {
        m_workbench.setStatus(font.refusal);
        return;
    }

    for (int code = 0; code < font.lowSlots.size(); ++code)
        m_workbench.fontarray.setPattern(code, font.lowSlots.at(code));
    m_workbench.fontarray.applyUserPatterns(font.patterns);

    m_workbench.showCharacter(m_workbench.currentCode());
    m_workbench.showsegments();
    QString status = QStringLiteral("Character set file loaded");
    if (font.keptDefaults == 1)
        status += QStringLiteral(", 1 line kept its default");
    else if (font.keptDefaults > 1)
        status += QStringLiteral(", %1 lines kept their defaults").arg(font.keptDefaults);
    m_workbench.setStatus(status);
}
