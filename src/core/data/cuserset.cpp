#include "cuserset.h"

CUserSet::CUserSet(const QString& strConnection) : CRecordset(strConnection) {}

void CUserSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Long("UserID", m_UserID);
    fx.Text("UserName", m_UserName);
    fx.Text("UserPwd", m_UserPwd);
    fx.Bool("IsSavePwd", m_IsSavePwd);
    fx.Text("SavePwd", m_SavePwd);
}
