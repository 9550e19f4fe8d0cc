#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class Workbench;

// The user-font file field with Load and Save, and the start-up font load.
class FontFileBar : public QGroupBox
{
    Q_OBJECT
public:
    explicit FontFileBar(Workbench &workbench, QWidget *parent = nullptr);

    // Start-up, first half: the pointer file "vk.ini" names the font file, put into fontfile.
    void readPointerFile();
    // Start-up, second half: the font named in fontfile is loaded.
    void loadStartupFont();

    // The Load and Save buttons; save is true when the file was written.
    void load();
    bool save();

private:
    QString rememberedDirectory() const;
    void rememberDirectory(const QString &directory);
    // Puts the reason into the status line and beeps once the window has caught up.
    void refuse(const QString &reason);

    Workbench &m_workbench;
    QLineEdit *m_fontfile = nullptr;
    QPushButton *m_loadButton = nullptr;
    QPushButton *m_saveButton = nullptr;
};
