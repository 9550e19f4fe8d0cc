#include "widgets/filedialogs.h"

#include "core/basicutilities.h"
#include "core/errortext.h"
#include "widgets/alert.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <stdexcept>

namespace {
FileDialogResponder g_responder;

// Reported when a filter cannot be built: a description without its pattern is an item
// missing from the list.
constexpr qint32 kMissingFilterItem = 9;

const QString kTextFilter = QStringLiteral("Text Files(*.txt)|*.txt");
const QString kAllFilter = QStringLiteral("All Files(*.*)|*.*");

// Shows the dialog, or asks the test responder, and returns absolute paths (empty: cancelled).
QStringList askUser(const FileDialogRequest &request)
{
    QStringList chosen;
    if (g_responder) {
        chosen = g_responder(request);
    } else {
        const QString start = QDir(request.initialDirectory.trimmed()).exists()
                                      ? request.initialDirectory.trimmed()
                                      : QString();
        QFileDialog dialog(QApplication::activeWindow(), request.title, start, request.filter);
        dialog.setAcceptMode(request.mode == FileDialogMode::Save ? QFileDialog::AcceptSave
                                                                  : QFileDialog::AcceptOpen);
        // A typed name of a missing file is returned too; only multiple selection picks
        // existing files.
        dialog.setFileMode(request.mode == FileDialogMode::OpenMultiple ? QFileDialog::ExistingFiles
                                                                        : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        // The dialog adds the suffix itself, so its overwrite question names the real file.
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFiles();
    }
    const QDir base(request.initialDirectory.trimmed().isEmpty() ? QDir::currentPath()
                                                                 : request.initialDirectory);
    QStringList absolute;
    for (const QString &path : std::as_const(chosen)) {
        if (path.isEmpty())
            continue;
        QString full = QDir::cleanPath(base.absoluteFilePath(path));
        if (!request.defaultSuffix.isEmpty() && QFileInfo(full).suffix().isEmpty()
            && !QFileInfo(full).isDir())
            full += QLatin1Char('.') + request.defaultSuffix;
        absolute.append(full);
    }
    return absolute;
}

// Full path, directory and file name; the directory is the path without the name and the
// separator before it.
QString singleResult(const QString &fullPath)
{
    const QString name = QFileInfo(fullPath).fileName();
    const QString directory = fullPath.left(fullPath.size() - name.size() - 1);
    return fullPath + kDialogSeparator + directory + kDialogSeparator + name;
}

// Directory, then every chosen name.
QString multipleResult(const QStringList &paths)
{
    if (paths.size() == 1) {
        const QString &path = paths.first();
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return path.left(slash) + kDialogSeparator + path.mid(slash + 1);
    }
    QString result = QFileInfo(paths.first()).absolutePath();
    for (const QString &path : paths)
        result += kDialogSeparator + QFileInfo(path).fileName();
    return result;
}

// The platform dialog must not move the process's current directory.
class CurrentDirectoryKeeper
{
public:
    CurrentDirectoryKeeper() = default;
    ~CurrentDirectoryKeeper()
    {
        if (QDir::currentPath() != m_saved)
            QDir::setCurrent(m_saved);
    }
    CurrentDirectoryKeeper(const CurrentDirectoryKeeper &) = delete;
    CurrentDirectoryKeeper &operator=(const CurrentDirectoryKeeper &) = delete;

private:
    QString m_saved = QDir::currentPath();
};
// The numeric value read from the start of text: blanks first, then an optional sign and digits.
qint64 numericValueAtStart(const QString &text)
{
    const QString rest = text.trimmed();
    if (rest.startsWith(QLatin1Char('-')))
        return -LeadingNumber(rest.mid(1));
    return LeadingNumber(rest.startsWith(QLatin1Char('+')) ? rest.mid(1) : rest);
}

} // namespace

void setFileDialogResponder(FileDialogResponder responder)
{
    g_responder = std::move(responder);
}

QString DialogFilter(QString &descriptor)
{
    if (descriptor.isEmpty() || descriptor == QStringLiteral("0"))
        descriptor = QStringLiteral("1");
    const qint64 value = numericValueAtStart(descriptor);
    if (value == 2)
        return kTextFilter;
    if (value != 0)
        return kTextFilter + QLatin1Char('|') + kAllFilter;

    const QStringList items = descriptor.split(QLatin1Char(','));
    if (items.size() % 2 != 0)
        throw std::invalid_argument("the filter descriptor has a description without a pattern");
    QString filter;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        const QString &description = items.at(i);
        const QString &pattern = items.at(i + 1);
        filter += description + QLatin1Char('(') + pattern + QStringLiteral(")|") + pattern
                  + QLatin1Char('|');
    }
    filter.chop(1);
    return filter;
}

QString qtFileFilter(const QString &dialogFilter)
{
    const QStringList items = dialogFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        QString label = items.at(i);
        const QString pattern = items.at(i + 1);
        if (pattern.isEmpty())
            continue;
        // The label already shows the pattern; Qt reads the patterns from the parentheses.
        const QString shown = QLatin1Char('(') + pattern + QLatin1Char(')');
        if (label.endsWith(shown))
            label.chop(shown.size());
        QStringList patterns = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &each : patterns) {
            each = each.trimmed();
            if (each == QStringLiteral("*.*"))
                each = QStringLiteral("*");
        }
        entries.append(label + QLatin1Char('(') + patterns.join(QLatin1Char(' '))
                       + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

QString dialogResultPath(const QString &result)
{
    // The result is path, separator, directory, separator, name, and the directory and name
    // together are one character shorter than the path: the path is the first half.
    if (result.size() % 2 == 1) {
        const qsizetype length = (result.size() - 1) / 2;
        if (result.at(length) == kDialogSeparator)
            return result.left(length);
    }
    return Field(result, 1, kDialogSeparator);
}

QString dialogResultDirectory(const QString &result)
{
    const QString path = dialogResultPath(result);
    const QString name = QFileInfo(path).fileName();
    if (result == singleResult(path))
        return path.left(path.size() - name.size() - 1);
    return Field(result, 2, kDialogSeparator);
}

namespace {

// The request both dialogs start from; DialogFilter may throw for a broken descriptor.
FileDialogRequest dialogRequest(const QString &title, const QString &fileName,
                                const QString &initialDir, const QString &filterDescriptor,
                                FileDialogMode mode)
{
    QString descriptor = filterDescriptor;
    FileDialogRequest request;
    request.title = title;
    request.initialDirectory = initialDir;
    request.fileName = fileName;
    request.filter = qtFileFilter(DialogFilter(descriptor));
    request.mode = mode;
    return request;
}

} // namespace

QString OpenFileDialog(const QString &title, QString &fileName, const QString &initialDir,
                       const QString &filterDescriptor, bool multiple)
{
    CurrentDirectoryKeeper keeper;
    try {
        const QStringList chosen = askUser(
                dialogRequest(title, fileName, initialDir, filterDescriptor,
                              multiple ? FileDialogMode::OpenMultiple : FileDialogMode::Open));
        if (chosen.isEmpty()) {
            fileName.clear();
            return QString();
        }
        return multiple ? multipleResult(chosen) : singleResult(chosen.first());
    } catch (const std::exception &error) {
        showalert(fileOpenErrorTitle(), QString(), kMissingFilterItem, AlertStyle::Error, 0,
                  QString::fromLocal8Bit(error.what()));
        return QString();
    }
}

QString SaveFileDialog(const QString &title, const QString &fileName, const QString &initialDir,
                       const QString &filterDescriptor, bool overwrite,
                       const QString &defaultSuffix)
{
    CurrentDirectoryKeeper keeper;
    try {
        FileDialogRequest request = dialogRequest(title, fileName, initialDir, filterDescriptor,
                                                  FileDialogMode::Save);
        request.confirmOverwrite = overwrite;
        request.defaultSuffix = defaultSuffix;
        const QStringList chosen = askUser(request);
        if (chosen.isEmpty())
            return QString();
        return singleResult(chosen.first());
    } catch (const std::exception &error) {
        showalert(fileSaveErrorTitle(), QString(), kMissingFilterItem, AlertStyle::Error, 12,
                  QString::fromLocal8Bit(error.what()));
        return QString();
    }
}
