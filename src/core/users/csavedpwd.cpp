#include "csavedpwd.h"

#include "cpasswordhash.h"
#include "data/cdbexception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sodium.h>

namespace {
const QLatin1String s_strPrefix("$sb1$");
// Every remembered password is padded to the same length, so the stored text does not
// even tell how long the password is. 144 bytes hold 32 characters of any script.
constexpr size_t s_nPadBlock = 144;
constexpr qint64 s_nKeyBytes = crypto_secretbox_KEYBYTES;

QString& KeyFileOverride() {
    static QString s_strPath;
    return s_strPath;
}

QString Tr(const char* szText) {
    return QCoreApplication::translate("CSavedPwd", szText);
}

constexpr QFileDevice::Permissions s_ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

void CSavedPwd::SetKeyFile(const QString& strPath) {
    KeyFileOverride() = strPath;
}

QString CSavedPwd::KeyFile() {
    if (!KeyFileOverride().isEmpty())
        return KeyFileOverride();
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return QDir(strDir).filePath(QStringLiteral("savedpwd.key"));
}

bool CSavedPwd::IsEncrypted(const QString& strStored) {
    return strStored.startsWith(s_strPrefix);
}

bool CSavedPwd::ReadKey(QByteArray& key) {
    QFile file(KeyFile());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    key = file.read(s_nKeyBytes + 1);
    if (key.size() != s_nKeyBytes)
        return false;
    // Someone loosened the mode: take it back to the owner alone.
    if ((file.permissions() & ~(s_ownerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser)) != 0)
        file.setPermissions(s_ownerOnly);
    return true;
}

QByteArray CSavedPwd::LoadOrCreateKey() {
    QByteArray key;
    if (ReadKey(key))
        return key;
    const QString strPath = KeyFile();
    const QFileInfo info(strPath);
    if (!QDir().mkpath(info.absolutePath()))
        throw CDBException(Tr("无法保存密码：无法创建文件夹“%1”。").arg(info.absolutePath()));

    // Write a fresh key beside the final name and move it there only when complete, so a
    // second copy of the program never reads half a key. The file is created 0600.
    key.resize(s_nKeyBytes);
    randombytes_buf(key.data(), size_t(key.size()));
    const QString strTmp =
        strPath + QStringLiteral(".%1.tmp").arg(QCoreApplication::applicationPid());
    QFile::remove(strTmp);
    {
        QFile tmp(strTmp);
        if (!tmp.open(QIODevice::WriteOnly | QIODevice::NewOnly, s_ownerOnly) ||
            tmp.write(key) != key.size() || !tmp.flush()) {
            const QString strError = tmp.errorString();
            tmp.close();
            QFile::remove(strTmp);
            throw CDBException(Tr("无法保存密码：无法写入密钥文件“%1”：%2").arg(strPath, strError));
        }
    }
    // A damaged key (wrong size) is replaced; the passwords it protected are lost anyway.
    if (QFile::exists(strPath) && !ReadKey(key))
        QFile::remove(strPath);
    if (!QFile::rename(strTmp, strPath))
        QFile::remove(strTmp); // another copy was quicker: use its key
    if (!ReadKey(key))
        throw CDBException(Tr("无法保存密码：无法读取密钥文件“%1”。").arg(strPath));
    return key;
}

QString CSavedPwd::Encrypt(const QString& strPwd) {
    if (strPwd.isEmpty())
        return QString(QLatin1String(""));
    if (strPwd.toUcs4().size() > MaxLength)
        throw CDBException(
            Tr("密码超过 %1 个字符，无法保存。请取消“保存密码”后再登录。").arg(MaxLength));
    CPasswordHash::InitSodium();
    const QByteArray key = LoadOrCreateKey();

    QByteArray plain = strPwd.toUtf8();
    const size_t nUnpadded = size_t(plain.size());
    plain.resize(qsizetype(s_nPadBlock));
    size_t nPadded = 0;
    if (sodium_pad(&nPadded, reinterpret_cast<unsigned char*>(plain.data()), nUnpadded, s_nPadBlock,
                   s_nPadBlock) != 0)
        throw CDBException(Tr("密码太长，无法保存。"));
    plain.resize(qsizetype(nPadded));

    QByteArray box(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + plain.size(), '\0');
    auto* pNonce = reinterpret_cast<unsigned char*>(box.data());
    randombytes_buf(pNonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(pNonce + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(plain.constData()),
                          static_cast<unsigned long long>(plain.size()), pNonce,
                          reinterpret_cast<const unsigned char*>(key.constData()));
    sodium_memzero(plain.data(), size_t(plain.size()));
    return s_strPrefix + QString::fromLatin1(box.toBase64());
}

bool CSavedPwd::Decrypt(const QString& strStored, QString& strPwd) {
    strPwd.clear();
    if (strStored.isEmpty())
        return true;
    if (!IsEncrypted(strStored)) {
        strPwd = strStored;
        return true;
    }
    CPasswordHash::InitSodium();
    QByteArray key;
    if (!ReadKey(key))
        return false;
    const QByteArray box = QByteArray::fromBase64(strStored.mid(s_strPrefix.size()).toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    const qsizetype nHead = crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES;
    if (box.size() <= nHead)
        return false;
    QByteArray plain(box.size() - nHead, '\0');
    const auto* pNonce = reinterpret_cast<const unsigned char*>(box.constData());
    if (crypto_secretbox_open_easy(
            reinterpret_cast<unsigned char*>(plain.data()), pNonce + crypto_secretbox_NONCEBYTES,
            static_cast<unsigned long long>(box.size()) - crypto_secretbox_NONCEBYTES, pNonce,
            reinterpret_cast<const unsigned char*>(key.constData())) != 0)
        return false;
    size_t nUnpadded = 0;
    if (sodium_unpad(&nUnpadded, reinterpret_cast<const unsigned char*>(plain.constData()),
                     size_t(plain.size()), s_nPadBlock) != 0)
        return false;
    strPwd = QString::fromUtf8(plain.constData(), qsizetype(nUnpadded));
    sodium_memzero(plain.data(), size_t(plain.size()));
    return true;
}
