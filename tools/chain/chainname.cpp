#include "chain/chainname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Far more chains than a machine runs; a bound keeps a broken folder from looping long.
constexpr int kMaxChains = 100;
} // namespace

ChainName::~ChainName()
{
    // Only a link that still leads to this chain's device is this chain's to remove.
    if (!m_path.isEmpty() && QFileInfo(m_path).symLinkTarget() == m_device)
        QFile::remove(m_path);
}

bool ChainName::claim(const QString &device, const QString &dir)
{
    // The folder is the user's own: another user's chain is no business of this one.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) {
        m_error = QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    for (int number = 0; number < kMaxChains; ++number) {
        const QString path = QDir(dir).filePath(QStringLiteral("chain%1").arg(number));
        const QFileInfo link(path);
        if (link.isSymLink() && !link.exists())
            QFile::remove(path);
        if (::symlink(QFile::encodeName(device).constData(), QFile::encodeName(path).constData())
            == 0) {
            m_path = path;
            m_device = device;
            return true;
        }
        if (errno != EEXIST) {
            m_error = QStringLiteral("%1: %2").arg(path,
                                                   QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    m_error = QStringLiteral("%1: no free name").arg(dir);
    return false;
}
