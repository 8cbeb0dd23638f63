#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A file that cannot be read as a statement. m_strMessage names the line (when there is
// one) and what is wrong, in words for the user; nothing has been written when it arrives.
class CImportError : public std::exception {
public:
    explicit CImportError(QString strMessage, int nLine = 0);
    const char* what() const noexcept override { return m_utf8.constData(); }

    QString m_strMessage;
    int m_nLine = 0;

private:
    QByteArray m_utf8;
};
