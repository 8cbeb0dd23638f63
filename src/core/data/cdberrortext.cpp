#include "cdberrortext.h"

#include <QCoreApplication>
#include <QSqlError>

namespace {

// What a failure means for the person at the keyboard, by SQLite's primary result code
// (extended codes carry it in their low byte).
const char* SqliteMeaning(int nCode) {
    switch (nCode & 0xFF) {
    case 3:  // SQLITE_PERM
    case 23: // SQLITE_AUTH
        return QT_TRANSLATE_NOOP("CDatabase", "没有访问账本文件的权限。");
    case 4: // SQLITE_ABORT
    case 9: // SQLITE_INTERRUPT
        return QT_TRANSLATE_NOOP("CDatabase", "这一步被中止，没有完成。");
    case 5:  // SQLITE_BUSY
    case 6:  // SQLITE_LOCKED
    case 15: // SQLITE_PROTOCOL
        return QT_TRANSLATE_NOOP(
            "CDatabase", "账本正忙：另一个程序正在写入，等待超时，这一步没有完成，请稍后再试。");
    case 7: // SQLITE_NOMEM
        return QT_TRANSLATE_NOOP("CDatabase", "内存不足，这一步没有完成。");
    case 8: // SQLITE_READONLY
        return QT_TRANSLATE_NOOP("CDatabase", "账本是只读的，无法写入。");
    case 10: // SQLITE_IOERR
        return QT_TRANSLATE_NOOP("CDatabase", "读写账本文件时出错（磁盘或文件系统错误）。");
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return QT_TRANSLATE_NOOP("CDatabase", "账本文件已损坏，或不是账本。");
    case 13: // SQLITE_FULL
        return QT_TRANSLATE_NOOP("CDatabase", "磁盘已满，无法写入账本。");
    case 14: // SQLITE_CANTOPEN
        return QT_TRANSLATE_NOOP("CDatabase", "无法打开账本文件。");
    case 17: // SQLITE_SCHEMA
        return QT_TRANSLATE_NOOP("CDatabase", "账本的结构刚被另一个程序改变，请再试一次。");
    case 18: // SQLITE_TOOBIG
        return QT_TRANSLATE_NOOP("CDatabase", "数据太大，无法保存。");
    case 19: // SQLITE_CONSTRAINT
        return QT_TRANSLATE_NOOP("CDatabase", "数据与账本中已有的数据冲突，没有保存。");
    case 20: // SQLITE_MISMATCH
        return QT_TRANSLATE_NOOP("CDatabase", "数据的类型不对，没有保存。");
    case 22: // SQLITE_NOLFS
        return QT_TRANSLATE_NOOP("CDatabase", "账本文件太大，这个系统无法处理。");
    default:
        return nullptr;
    }
}

// The same by PostgreSQL's SQLSTATE: a few exact states first, then the class.
const char* PostgresMeaning(const QString& strState) {
    if (strState == QLatin1String("40001") || strState == QLatin1String("40P01"))
        return QT_TRANSLATE_NOOP("CDatabase",
                                 "另一个程序同时在修改同样的数据，这一步没有完成，请再试一次。");
    if (strState == QLatin1String("55P03"))
        return QT_TRANSLATE_NOOP(
            "CDatabase", "账本正忙：另一个程序正在写入，等待超时，这一步没有完成，请稍后再试。");
    if (strState == QLatin1String("42501"))
        return QT_TRANSLATE_NOOP(
            "CDatabase", "没有权限：数据库用户无权读取账本的这些数据，请让数据库管理员授予权限。");
    if (strState == QLatin1String("3F000"))
        return QT_TRANSLATE_NOOP("CDatabase",
                                 "数据库用户没有可用的模式来存放账本：请在地址中用 ?schema= "
                                 "指定一个，或让数据库管理员授予模式的权限。");
    if (strState == QLatin1String("25006"))
        return QT_TRANSLATE_NOOP("CDatabase", "账本是只读的，无法写入。");
    if (strState == QLatin1String("3D000"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据库服务器上没有这个数据库。");
    if (strState == QLatin1String("57014"))
        return QT_TRANSLATE_NOOP("CDatabase", "这一步被数据库服务器取消，没有完成。");
    if (strState == QLatin1String("53100"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据库服务器的磁盘已满，这一步没有完成。");
    if (strState == QLatin1String("53300"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据库服务器的连接数已满，请稍后再试。");
    if (CDBErrorText::IsLostState(strState))
        return strState.startsWith(QLatin1String("57"))
                   ? QT_TRANSLATE_NOOP("CDatabase",
                                       "数据库服务器正在关闭或重新启动，与它的连接已断开，"
                                       "这一步没有完成。请稍后再试，程序会重新连接。")
                   : QT_TRANSLATE_NOOP("CDatabase", "与数据库服务器的连接已断开，这一步没有完成。"
                                                    "请稍后再试，程序会重新连接。");
    const QStringView cls = QStringView(strState).left(2);
    if (cls == QLatin1String("28"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据库用户名或密码错误。");
    if (cls == QLatin1String("23"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据与账本中已有的数据冲突，没有保存。");
    if (cls == QLatin1String("22"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据的值无效或超出范围，没有保存。");
    if (cls == QLatin1String("40"))
        return QT_TRANSLATE_NOOP("CDatabase", "这一步被数据库服务器撤销，没有完成，请再试一次。");
    if (cls == QLatin1String("53"))
        return QT_TRANSLATE_NOOP("CDatabase",
                                 "数据库服务器资源不足（磁盘、内存或连接数），这一步没有完成。");
    if (cls == QLatin1String("54"))
        return QT_TRANSLATE_NOOP("CDatabase", "超出了数据库服务器的限制，这一步没有完成。");
    if (cls == QLatin1String("57"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据库服务器中止了这一步，请稍后再试。");
    if (cls == QLatin1String("58") || cls == QLatin1String("XX"))
        return QT_TRANSLATE_NOOP("CDatabase", "数据库服务器内部出错（系统或磁盘错误）。");
    if (cls == QLatin1String("42"))
        return QT_TRANSLATE_NOOP("CDatabase", "账本的表与程序不符，或数据库用户无权使用它们。");
    return nullptr;
}

} // namespace

QString CDBErrorText::Of(const QSqlError& error, CSqlDialect::EKind eKind) {
    const QString strDriver = error.text().trimmed();
    const QString strCode = error.nativeErrorCode().trimmed();
    const char* szMeaning = nullptr;
    if (eKind == CSqlDialect::PostgreSQL)
        szMeaning = PostgresMeaning(strCode);
    else if (!strCode.isEmpty())
        szMeaning = SqliteMeaning(strCode.toInt());
    if (!szMeaning && eKind == CSqlDialect::PostgreSQL && strCode.isEmpty() &&
        error.type() == QSqlError::ConnectionError)
        return strDriver.isEmpty() ? ConnectionLost()
                                   : ConnectionLost() + QStringLiteral("（%1）").arg(strDriver);
    // The driver's words are English: whatever it says, a Chinese sentence comes first.
    const QString strMeaning = QCoreApplication::translate(
        "CDatabase",
        szMeaning ? szMeaning : QT_TRANSLATE_NOOP("CDatabase", "数据库错误，这一步没有完成。"));
    return strDriver.isEmpty() ? strMeaning : strMeaning + QStringLiteral("（%1）").arg(strDriver);
}

QString CDBErrorText::ConnectionLost() {
    return QCoreApplication::translate(
        "CDatabase",
        "与数据库服务器的连接已断开，这一步没有完成，什么也没有写入。请稍后再试，程序会重新连接。");
}

// A failed step as the message to show. A write the server refused for want of rights comes
// from a role that may only read the book (a member's read-only role): say just that.
QString CDBErrorText::OfStep(const QSqlError& error, CSqlDialect::EKind eKind, bool bWrite) {
    if (!bWrite || eKind != CSqlDialect::PostgreSQL ||
        error.nativeErrorCode().trimmed() != QLatin1String("42501"))
        return Of(error, eKind);
    const QString strMeaning =
        QCoreApplication::translate("CDatabase", "数据库用户没有写入账本的权限，这一步没有完成。");
    const QString strDriver = error.text().trimmed();
    return strDriver.isEmpty() ? strMeaning : strMeaning + QStringLiteral("（%1）").arg(strDriver);
}

// SQLSTATEs that mean the server connection is gone (class 08) or the server ended it
// (57P01 administrator shutdown, 57P02 crash shutdown, 57P03 cannot connect now).
bool CDBErrorText::IsLostState(const QString& strState) {
    return strState.startsWith(QLatin1String("08")) || strState == QLatin1String("57P01") ||
           strState == QLatin1String("57P02") || strState == QLatin1String("57P03");
}
