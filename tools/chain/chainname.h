#pragma once

#include <QString>

// A running chain's stable name: a link "chainN" to its pseudo-terminal in the folder of virtual
// chains, which a restarted chain takes again, so the utility finds it under the same name.
class ChainName
{
public:
    ChainName() = default;
    ~ChainName();
    ChainName(const ChainName &) = delete;
    ChainName &operator=(const ChainName &) = delete;

    // Links the lowest free "chainN" of dir to device: a name whose link leads nowhere (its
    // chain ended without tidying up) is free again. False, with errorString(), when no link
    // could be made.
    bool claim(const QString &device, const QString &dir);
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

private:
    QString m_path;
    QString m_device;
    QString m_error;
};
