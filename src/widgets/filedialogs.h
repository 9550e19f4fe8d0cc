#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The open and save file dialogs. Each returns one text: the full path, its directory and the
// file name joined by kDialogSeparator, or an empty text when the user cancelled or the dialog
// failed (failures are reported through showalert).

// The character between the parts of a dialog result.
inline constexpr QChar kDialogSeparator(255);

// Lets the user pick a file to read. fileName is the initial file name and is cleared when the
// user cancels. With multiple, the result is the directory followed by every chosen name.
QString OpenFileDialog(const QString &title, QString &fileName, const QString &initialDir,
                       const QString &filterDescriptor, bool multiple);

// Lets the user pick a file to write; with overwrite the dialog asks before an existing file is
// replaced. A typed name without a suffix gets defaultSuffix ("fnt") when one is given.
QString SaveFileDialog(const QString &title, const QString &fileName, const QString &initialDir,
                       const QString &filterDescriptor, bool overwrite,
                       const QString &defaultSuffix = QString());

// The dialog filter text of a descriptor: "Font files,*.fnt" gives "Font files(*.fnt)|*.fnt";
// "2" gives text files, any other number (or an empty text or "0", which become "1" in the
// caller's variable) text files and all files. Throws std::invalid_argument for a list with an
// odd number of items.
QString DialogFilter(QString &descriptor);

// The Qt form of a filter text ("Font files(*.fnt)|*.fnt" -> "Font files(*.fnt)"). The pattern
// "*.*" means every file and becomes "*".
QString qtFileFilter(const QString &dialogFilter);

// The full path and the directory of a single-selection result, also when a name holds the
// separator character itself.
QString dialogResultPath(const QString &result);
QString dialogResultDirectory(const QString &result);

// Which dialog is shown: open one file, open several, or save.
enum class FileDialogMode { Open, OpenMultiple, Save };

// What a dialog is asked to show.
struct FileDialogRequest
{
    QString title;
    QString initialDirectory;
    QString fileName;
    QString filter; // Qt form, entries separated by ";;"
    FileDialogMode mode = FileDialogMode::Open;
    bool confirmOverwrite = false;
    QString defaultSuffix; // added to a chosen name without a suffix, without the dot
};

// Test seam: when set, the responder answers every dialog with the chosen full paths, or an
// empty list for Cancel, instead of a person.
using FileDialogResponder = std::function<QStringList(const FileDialogRequest &)>;
void setFileDialogResponder(FileDialogResponder responder);
