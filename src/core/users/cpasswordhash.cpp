#include "cpasswordhash.h"

#include "csecret.h"
#include "data/cdbexception.h"

#include <QCoreApplication>
#include <sodium.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Argon2id with 19 MiB and two passes (OWASP's smaller-memory setting): the login stays well
// within the program's memory goal, where libsodium's interactive limits take 64 MiB.
constexpr unsigned long long OpsLimit = 2;
constexpr size_t MemLimit = size_t(19) * 1024 * 1024;

// The hash maps its 19 MiB afresh each time. Memory the heap holds free (a closed preview, a
// report replaced) is handed back to the system first, so a login or a password change late in
// a session peaks at what is in use plus the hash, not at everything ever used plus the hash.
void ReleaseFreeHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
} // namespace

void CPasswordHash::InitSodium() {
    // sodium_init() is itself idempotent and thread-safe; the static keeps it to one call.
    static const int s_nInit = sodium_init();
    if (s_nInit < 0)
        throw CDBException(
            QCoreApplication::translate("CPasswordHash", "无法初始化密码加密库（libsodium）。"));
}

bool CPasswordHash::IsHash(const QString& strStored) {
    return strStored.startsWith(QLatin1String("$argon2"));
}

QString CPasswordHash::Hash(const QString& strPwd) {
    InitSodium();
    QByteArray pwd = strPwd.toUtf8();
    char szHash[crypto_pwhash_STRBYTES];
    ReleaseFreeHeap();
    const int nResult =
        crypto_pwhash_str_alg(szHash, pwd.constData(), static_cast<unsigned long long>(pwd.size()),
                              OpsLimit, MemLimit, crypto_pwhash_ALG_ARGON2ID13);
    CSecret::Wipe(pwd);
    if (nResult != 0)
        throw CDBException(
            QCoreApplication::translate("CPasswordHash", "内存不足，无法加密密码。"));
    return QString::fromLatin1(szHash);
}

bool CPasswordHash::Verify(const QString& strStored, const QString& strPwd) {
    if (!IsHash(strStored))
        return strStored == strPwd;
    InitSodium();
    const QByteArray stored = strStored.toLatin1();
    QByteArray pwd = strPwd.toUtf8();
    ReleaseFreeHeap();
    const bool bOk = crypto_pwhash_str_verify(stored.constData(), pwd.constData(),
                                              static_cast<unsigned long long>(pwd.size())) == 0;
    CSecret::Wipe(pwd);
    return bOk;
}

bool CPasswordHash::NeedsRehash(const QString& strStored) {
    if (!IsHash(strStored))
        return true;
    InitSodium();
    const QByteArray stored = strStored.toLatin1();
    // Also true for a hash made with other limits, stronger or weaker, or another algorithm:
    // every stored hash ends up costing the same memory at login.
    return crypto_pwhash_str_needs_rehash(stored.constData(), OpsLimit, MemLimit) != 0;
}
