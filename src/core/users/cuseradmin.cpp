#include "cuseradmin.h"

#include "cpasswordhash.h"
#include "csavedpwd.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/cnamerule.h"
#include "data/coutlayset.h"
#include "data/cschema.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "data/cuserset.h"
#include "users/csessiongone.h"

#include <QSqlQuery>
#include <algorithm>

#include <QCoreApplication>

namespace {
QString Tr(const char* szText) {
    return QCoreApplication::translate("CUserAdmin", szText);
}

// Characters, not UTF-16 units; counted in place, so a password is not copied to be measured.
int Length(const QString& str) {
    return int(
        std::count_if(str.cbegin(), str.cend(), [](QChar c) { return !c.isLowSurrogate(); }));
}

// Opens the user's row; IsEOF() afterwards when there is none.
void OpenUser(CUserSet& set, const QString& strUser) {
    set.SetFilter(CRecordset::EFilter::User, {strUser});
    set.Open();
}

// The delete-all loop over one table: every row the user filter selects.
void DeleteAllOf(CRecordset& set, const QString& strUser) {
    set.SetFilter(CRecordset::EFilter::User, {strUser});
    set.Open();
    for (; !set.IsEOF(); set.MoveNext())
        set.Delete();
}

template <class TDaySet>
void AddFirstDay(const QString& strUser, const QDate& day, const QString& strConnection) {
    TDaySet set(strConnection);
    set.AddNew();
    set.m_UserName = strUser;
    set.m_Date = QDateTime(day, QTime(0, 0));
    set.Update();
}
} // namespace

QString CUserAdmin::CheckUserName(const QString& strUser) {
    if (strUser.trimmed().isEmpty())
        return Tr("用户名不能为空!");
    if (Length(strUser) > CDatabase::MaxTextLength)
        return Tr("用户名不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (CNameRule::HasFormatCharacters(strUser))
        return Tr("用户名中不能有看不见的格式字符（如零宽空格、文字方向符号）！");
    return QString();
}

QString CUserAdmin::CheckPasswordText(const QString& strPwd) {
    if (Length(strPwd) > CSavedPwd::MaxLength)
        return Tr("密码不能超过 %1 个字符！").arg(CSavedPwd::MaxLength);
    return QString();
}

QString CUserAdmin::CheckAccount(const SAccount& account) {
    if (account.strCardName.isEmpty())
        return Tr("账号不能为空！");
    if (Length(account.strCardName) > CDatabase::MaxTextLength)
        return Tr("账号名不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (Length(account.strCardNote) > CDatabase::MaxTextLength)
        return Tr("账号备注不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (!CMoney::IsValid(account.dCardCash))
        return Tr("账号金额必须在 -1000000000000 与 1000000000000 之间！");
    return QString();
}

QStringList CUserAdmin::UserNames(const QString& strConnection) {
    CUserSet set(strConnection);
    set.Open();
    QStringList names;
    for (; !set.IsEOF(); set.MoveNext())
        names << set.m_UserName;
    return names;
}

bool CUserAdmin::UserExists(const QString& strUser, const QString& strConnection) {
    CUserSet set(strConnection);
    OpenUser(set, strUser);
    return !set.IsEOF();
}

bool CUserAdmin::NameTaken(const QString& strUser, const QString& strConnection) {
    const QStringList names = UserNames(strConnection);
    return std::any_of(names.cbegin(), names.cend(),
                       [&](const QString& strName) { return CNameRule::Same(strName, strUser); });
}

bool CUserAdmin::SavedPassword(const QString& strUser, bool& bSave, QString& strPwd,
                               const QString& strConnection) {
    bSave = false;
    strPwd.clear();
    CUserSet set(strConnection);
    OpenUser(set, strUser);
    if (set.IsEOF())
        return false;
    bSave = set.m_IsSavePwd;
    if (!CSavedPwd::Decrypt(set.m_SavePwd, strPwd))
        strPwd.clear();
    return true;
}

bool CUserAdmin::StoreSaveChoice(const QString& strUser, bool bSave, const QString& strPwd,
                                 const QString& strConnection) {
    {
        // Nothing to write when the book holds that choice already (also a read-only book).
        CUserSet set(strConnection);
        OpenUser(set, strUser);
        if (set.IsEOF())
            return false;
        QString strOld;
        const bool bReadable = CSavedPwd::Decrypt(set.m_SavePwd, strOld);
        if (set.m_IsSavePwd == bSave && bReadable && strOld == (bSave ? strPwd : QString()))
            return true;
    }
    // Encrypt first: a password that cannot be remembered is refused before the row changes.
    const QString strStored = bSave ? CSavedPwd::Encrypt(strPwd) : QString(QLatin1String(""));
    // One statement by name: it lands on the row that is there now, whatever another copy
    // did to the user since the login dialog read it.
    QSqlQuery query = CDatabase::Exec(QStringLiteral("UPDATE %1 SET \"IsSavePwd\" = ?, "
                                                     "\"SavePwd\" = ? WHERE \"UserName\" = ?")
                                          .arg(CSchema::User),
                                      {bSave, strStored, strUser}, strConnection);
    return query.numRowsAffected() > 0;
}

bool CUserAdmin::CheckPassword(const QString& strUser, const QString& strPwd,
                               const QString& strConnection) {
    return LogIn(strUser, strPwd, strConnection) != 0;
}

qint64 CUserAdmin::LogIn(const QString& strUser, const QString& strPwd,
                         const QString& strConnection) {
    CUserSet set(strConnection);
    OpenUser(set, strUser);
    if (set.IsEOF() || !CPasswordHash::Verify(set.m_UserPwd, strPwd))
        return 0;
    if (CPasswordHash::NeedsRehash(set.m_UserPwd)) {
        // Only over the very text that matched: a password another copy set meanwhile
        // stays. The login stands even if this write fails; the next login tries again.
        // The hash is made before the write lock is taken.
        try {
            const QString strHash = CPasswordHash::Hash(strPwd);
            CTransaction transaction(strConnection);
            CDatabase::Exec(QStringLiteral("UPDATE %1 SET \"UserPwd\" = ? "
                                           "WHERE \"UserID\" = ? AND \"UserPwd\" = ?")
                                .arg(CSchema::User),
                            {strHash, set.m_UserID, set.m_UserPwd}, strConnection);
            transaction.Commit();
        } catch (const CDBException&) {
        }
    }
    return set.m_UserID;
}

qint64 CUserAdmin::UserId(const QString& strUser, const QString& strConnection) {
    CUserSet set(strConnection);
    OpenUser(set, strUser);
    return set.IsEOF() ? 0 : set.m_UserID;
}

void CUserAdmin::CheckSession(const QString& strUser, qint64 nSessionUser,
                              const QString& strConnection) {
    if (nSessionUser == 0)
        return;
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"UserID\" FROM %1 WHERE \"UserName\" = ?").arg(CSchema::User) +
            CDatabase::Dialect(strConnection).LockSql(true),
        {strUser}, strConnection);
    if (!query.next() || query.value(0).toLongLong() != nSessionUser)
        throw CSessionGone(Tr("用户“%1”已在别处被删除或重新创建，这次操作没有保存。"
                              "请重新登录。")
                               .arg(strUser));
}

CUserAdmin::ECreate CUserAdmin::CreateUser(const QString& strTypedUser, const QString& strPwd,
                                           const QList<SAccount>& accounts, const QDate& firstDay,
                                           const QString& strConnection) {
    const QString strUser = CNameRule::Normal(strTypedUser);
    QString strError = CheckUserName(strUser);
    if (strError.isEmpty() && strPwd.isEmpty())
        strError = Tr("用户密码不能为空!");
    if (strError.isEmpty())
        strError = CheckPasswordText(strPwd);
    if (strError.isEmpty() && accounts.isEmpty())
        strError = Tr("至少有一个账号信息！");
    QStringList names;
    for (int i = 0; strError.isEmpty() && i < accounts.size(); ++i) {
        strError = CheckAccount(accounts[i]);
        if (strError.isEmpty())
            strError = CNameRule::CheckAccountName(accounts[i].strCardName, names);
        names << accounts[i].strCardName;
    }
    if (!strError.isEmpty())
        throw CDBException(strError);

    // Hashing takes a noticeable moment: do it before the write lock is taken.
    const QString strHash = CPasswordHash::Hash(strPwd);
    try {
        CTransaction transaction(strConnection);
        if (NameTaken(strUser, strConnection))
            return ECreate::NameTaken;
        {
            CUserSet set(strConnection);
            set.AddNew();
            set.m_UserName = strUser;
            set.m_UserPwd = strHash;
            set.Update();
        }
        for (const SAccount& account : accounts) {
            CBankSet set(strConnection);
            set.AddNew();
            set.m_UserName = strUser;
            set.m_CardName = CNameRule::Normal(account.strCardName);
            set.m_CardSum = account.strCardNote;
            set.m_CardCash = CMoney::Round(account.dCardCash);
            set.Update();
        }
        if (firstDay.isValid()) {
            AddFirstDay<CIncomeSet>(strUser, firstDay, strConnection);
            AddFirstDay<COutlaySet>(strUser, firstDay, strConnection);
        }
        transaction.Commit();
    } catch (const CDBException&) {
        // Another copy of the program created the same name between our check and our
        // insert: the unique user name refused the row and everything was rolled back.
        if (NameTaken(strUser, strConnection))
            return ECreate::NameTaken;
        throw;
    }
    return ECreate::Created;
}

bool CUserAdmin::DeleteUser(const QString& strUser, qint64 nSessionUser,
                            const QString& strConnection) {
    CTransaction transaction(strConnection);
    CheckSession(strUser, nSessionUser, strConnection);
    {
        CUserSet set(strConnection);
        OpenUser(set, strUser);
        if (set.IsEOF())
            return false;
        set.Delete();
    }
    {
        CBankSet set(strConnection);
        DeleteAllOf(set, strUser);
    }
    {
        CIncomeSet set(strConnection);
        DeleteAllOf(set, strUser);
    }
    {
        COutlaySet set(strConnection);
        DeleteAllOf(set, strUser);
    }
    {
        CTrsSet set(strConnection);
        DeleteAllOf(set, strUser);
    }
    transaction.Commit();
    return true;
}

CUserAdmin::EChange CUserAdmin::ChangePassword(const QString& strUser, const QString& strOldPwd,
                                               const QString& strNewPwd, qint64 nSessionUser,
                                               const QString& strConnection) {
    const QString strError =
        strNewPwd.isEmpty() ? Tr("新密码不能为空!") : CheckPasswordText(strNewPwd);
    if (!strError.isEmpty())
        throw CDBException(strError);
    // Hashing and checking take a noticeable moment: done outside the write lock, against
    // the stored text read first; the write then goes ahead only while that text is still
    // what is stored. If another copy changed it in between, check again.
    const QString strNewHash = CPasswordHash::Hash(strNewPwd);
    const QString strRead =
        QStringLiteral("SELECT \"UserPwd\" FROM %1 WHERE \"UserName\" = ?").arg(CSchema::User);
    for (int nTry = 0; nTry < 5; ++nTry) {
        QSqlQuery before = CDatabase::Exec(strRead, {strUser}, strConnection);
        const QString strSeen = before.next() ? before.value(0).toString() : QString();
        before.finish();
        const bool bMatches = CPasswordHash::Verify(strSeen, strOldPwd);

        CTransaction transaction(strConnection);
        CheckSession(strUser, nSessionUser, strConnection);
        QSqlQuery now = CDatabase::Exec(strRead + CDatabase::Dialect(strConnection).LockSql(),
                                        {strUser}, strConnection);
        if (!now.next())
            return EChange::NoUser;
        if (now.value(0).toString() != strSeen)
            continue;
        now.finish();
        if (!bMatches)
            return EChange::WrongPassword;
        // A remembered password is the old one now: keeping it would only make the next
        // login fail.
        CDatabase::Exec(QStringLiteral("UPDATE %1 SET \"UserPwd\" = ?, \"IsSavePwd\" = ?, "
                                       "\"SavePwd\" = '' WHERE \"UserName\" = ?")
                            .arg(CSchema::User),
                        {strNewHash, false, strUser}, strConnection);
        transaction.Commit();
        return EChange::Changed;
    }
    throw CDBException(Tr("密码正在别处被修改，请稍后再试。"));
}
