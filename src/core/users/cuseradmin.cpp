#include "cuseradmin.h"

#include "cpasswordhash.h"
#include "csavedpwd.h"
#include "data/cbankset.h"
#include "data/cdbexception.h"
#include "data/cincomeset.h"
#include "data/cmoney.h"
#include "data/coutlayset.h"
#include "data/ctransaction.h"
#include "data/ctrsset.h"
#include "data/cuserset.h"

#include <QCoreApplication>

namespace {
QString Tr(const char* szText) {
    return QCoreApplication::translate("CUserAdmin", szText);
}

int Length(const QString& str) {
    return int(str.toUcs4().size());
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
    if (strUser.isEmpty())
        return Tr("用户名不能为空!");
    if (Length(strUser) > CDatabase::MaxTextLength)
        return Tr("用户名不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
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
        return Tr("帐号名不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (Length(account.strCardNote) > CDatabase::MaxTextLength)
        return Tr("帐号备注不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (!CMoney::IsValid(account.dCardCash))
        return Tr("帐号金额必须在 -1000000000000 与 1000000000000 之间！");
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
    // Encrypt first: a password that cannot be remembered is refused before the row changes.
    const QString strStored = bSave ? CSavedPwd::Encrypt(strPwd) : QString(QLatin1String(""));
    CUserSet set(strConnection);
    OpenUser(set, strUser);
    if (set.IsEOF())
        return false;
    set.Edit();
    set.m_IsSavePwd = bSave;
    set.m_SavePwd = strStored;
    set.Update();
    return true;
}

bool CUserAdmin::CheckPassword(const QString& strUser, const QString& strPwd,
                               const QString& strConnection) {
    try {
        CUserSet set(strConnection);
        OpenUser(set, strUser);
        if (set.IsEOF() || !CPasswordHash::Verify(set.m_UserPwd, strPwd))
            return false;
        if (CPasswordHash::NeedsRehash(set.m_UserPwd)) {
            // The login stands even if this write fails; the next login tries again.
            try {
                set.Edit();
                set.m_UserPwd = CPasswordHash::Hash(strPwd);
                set.Update();
            } catch (const CDBException&) {
            }
        }
        return true;
    } catch (const CDBException&) {
        return false;
    }
}

CUserAdmin::ECreate CUserAdmin::CreateUser(const QString& strUser, const QString& strPwd,
                                           const QList<SAccount>& accounts, const QDate& firstDay,
                                           const QString& strConnection) {
    QString strError = CheckUserName(strUser);
    if (strError.isEmpty() && strPwd.isEmpty())
        strError = Tr("用户密码不能为空!");
    if (strError.isEmpty())
        strError = CheckPasswordText(strPwd);
    if (strError.isEmpty() && accounts.isEmpty())
        strError = Tr("至少有一个账号信息！");
    for (int i = 0; strError.isEmpty() && i < accounts.size(); ++i)
        strError = CheckAccount(accounts[i]);
    if (strError.isEmpty() && !firstDay.isValid())
        strError = Tr("新用户的第一天日期无效。");
    if (!strError.isEmpty())
        throw CDBException(strError);

    // Hashing takes a noticeable moment: do it before the write lock is taken.
    const QString strHash = CPasswordHash::Hash(strPwd);
    try {
        CTransaction transaction(strConnection);
        if (UserExists(strUser, strConnection))
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
            set.m_CardName = account.strCardName;
            set.m_CardSum = account.strCardNote;
            set.m_CardCash = CMoney::Round(account.dCardCash);
            set.Update();
        }
        AddFirstDay<CIncomeSet>(strUser, firstDay, strConnection);
        AddFirstDay<COutlaySet>(strUser, firstDay, strConnection);
        transaction.Commit();
    } catch (const CDBException&) {
        // Another copy of the program created the same name between our check and our
        // insert: the unique user name refused the row and everything was rolled back.
        if (UserExists(strUser, strConnection))
            return ECreate::NameTaken;
        throw;
    }
    return ECreate::Created;
}

bool CUserAdmin::DeleteUser(const QString& strUser, const QString& strConnection) {
    CTransaction transaction(strConnection);
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

bool CUserAdmin::ChangePassword(const QString& strUser, const QString& strNewPwd,
                                const QString& strConnection) {
    const QString strError = CheckPasswordText(strNewPwd);
    if (!strError.isEmpty())
        throw CDBException(strError);
    const QString strHash = CPasswordHash::Hash(strNewPwd);
    CUserSet set(strConnection);
    OpenUser(set, strUser);
    if (set.IsEOF())
        return false;
    set.Edit();
    set.m_UserPwd = strHash;
    set.Update();
    return true;
}
