#pragma once

#include <QString>
#include <QStringList>

// The one rule for names a person chooses (user names, account names): what is kept, what is
// refused, and when two names are the same.
//
//   * kept trimmed and in Unicode normal form C, so the same letters typed two ways are one text;
//   * refused when they hold an invisible format character (Unicode category Cf: zero-width
//     spaces and joiners, direction marks and overrides, the byte-order mark): "爸爸" and
//     "爸爸" + U+200B would look identical in every list;
//   * two names are the same when they are equal ignoring case, full/half width and format
//     characters — so a name stored by an older copy with such a character still counts.
class CNameRule {
public:
    static QString Normal(const QString& strName);
    static bool HasFormatCharacters(const QString& strName);
    static bool Same(const QString& strA, const QString& strB);
    // The text two names are compared by (Same: equal keys); kept beside a stored name where
    // the book itself must refuse a second one of the same key.
    static QString Key(const QString& strName);

    // Why an account name cannot be used beside the user's other accounts' names, for the
    // user; "" when it can. Users' accounts are checked by this both when a user is created
    // with accounts and when an account is added or renamed later.
    static QString CheckAccountName(const QString& strName, const QStringList& others);
};
