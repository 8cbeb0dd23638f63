#pragma once

#include "crecordset.h"
#include "cschema.h"

// One row of the "Trs" table; members named after its columns, in table order.
class CTrsSet : public CRecordset {
public:
    explicit CTrsSet(const QString& strConnection = CDatabase::DefaultConnection);

    int m_编号 = 0;
    QString m_UserName;
    QDateTime m_TrsDate;
    QString m_TrsFrom;
    QString m_TrsIn;
    double m_TrsAmount = 0;

protected:
    const char* GetDefaultSQL() const override { return CSchema::Trs.data(); }
    void DoFieldExchange(CFieldExchange& fx) override;
};
