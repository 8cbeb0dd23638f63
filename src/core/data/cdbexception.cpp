#include "cdbexception.h"

CDBException::CDBException(QString strError, EKind eKind)
    : m_strError(std::move(strError)), m_eKind(eKind), m_utf8(m_strError.toUtf8()) {}

const char* CDBException::what() const noexcept {
    return m_utf8.constData();
}
