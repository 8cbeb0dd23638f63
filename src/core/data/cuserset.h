#pragma once

#include "crecordset.h"
#include "cschema.h"

// One row of the "User" table; members named after its columns, in table order.
class CUserSet : public CRecordset {
public:
    explicit CUserSet(const QString& strConnection = CDatabase::DefaultConnection);

    int m_UserID = 0;
    QString m_UserName;
    QString m_UserPwd;
    bool m_IsSavePwd = false;
    QString m_SavePwd;

protected:
    const char* GetDefaultSQL() const override { return CSchema::User.data(); }
    void DoFieldExchange(CFieldExchange& fx) override;
};
