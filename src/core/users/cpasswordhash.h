#pragma once

#include <QString>

// The stored form of a login password: an Argon2id string ("$argon2id$…") made by
// libsodium with 19 MiB and two passes. A hash carries its own limits, so one made with
// others (an older version's 64 MiB) still verifies, and is made again at the next login. A book
// written by an older version may still hold the password itself; IsHash() tells the two apart.
class CPasswordHash {
public:
    // Throws CDBException when libsodium cannot be started or runs out of memory.
    static QString Hash(const QString& strPwd);
    // Exact, case-sensitive: a hash is verified, a plain (older) value compared as text.
    static bool Verify(const QString& strStored, const QString& strPwd);
    static bool IsHash(const QString& strStored);
    // A hash made with limits other than today's should be made again after a login.
    static bool NeedsRehash(const QString& strStored);

    // libsodium must be started once before any of its functions; safe to call often.
    static void InitSodium();
};
