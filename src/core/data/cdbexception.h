#pragma once

#include <QString>
#include <exception>

// A failed database step. m_strError is the driver's own text (or ours, worded for
// the user, when the failure is caught before the driver sees it).
class CDBException : public std::exception {
public:
    // What the caller may do about it beyond showing the text.
    enum class EKind {
        Error,          // any other failure
        BookReplaced,   // the book's file was deleted, moved or replaced: reopen it
        ConnectionLost, // the server connection broke; the next step reconnects
    };

    explicit CDBException(QString strError, EKind eKind = EKind::Error);
    const char* what() const noexcept override;

    QString m_strError;
    EKind m_eKind = EKind::Error;

private:
    QByteArray m_utf8;
};
