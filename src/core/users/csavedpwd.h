#pragma once

#include <QByteArray>
#include <QString>

// The password remembered by "保存密码" is kept in the book only encrypted
// (crypto_secretbox), with a key that lives in this computer's settings folder and is
// readable only by its owner. The book alone — copied, backed up, or opened on another
// computer — therefore reveals no password; there it simply shows none.
class CSavedPwd {
public:
    // Longest password (in characters) that can be remembered: the encrypted form must
    // fit a 255-character text column.
    static constexpr int MaxLength = 32;

    // Where the key lives. "" restores the default (the settings folder); tests point it
    // into a temporary folder.
    static void SetKeyFile(const QString& strPath);
    static QString KeyFile();

    // The text stored in SavePwd. "" stays "". Creates the key on first use.
    // Throws CDBException when the password is too long or the key cannot be written.
    static QString Encrypt(const QString& strPwd);
    // false when the text cannot be read here (no key, another computer's key, damaged):
    // the caller then shows no saved password. Text written by an older version, which
    // kept the password itself, is returned as it is; the next login replaces it.
    static bool Decrypt(const QString& strStored, QString& strPwd);
    static bool IsEncrypted(const QString& strStored);

private:
    static bool ReadKey(QByteArray& key);
    static QByteArray LoadOrCreateKey();
};
