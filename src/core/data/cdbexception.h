#pragma once

#include <QString>
#include <exception>

// A failed database step. m_strError is the driver's own text (or ours, worded for
// the user, when the failure is caught before the driver sees it).
class CDBException : public std::exception {
public:
    explicit CDBException(QString strError);
    const char* what() const noexcept override;

    QString m_strError;

private:
    QByteArray m_utf8;
};
