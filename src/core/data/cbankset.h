#pragma once

#include "crecordset.h"
#include "cschema.h"

// One row of the "Bank" table; members named after its columns, in table order.
class CBankSet : public CRecordset {
public:
    explicit CBankSet(const QString& strConnection = CDatabase::DefaultConnection);

    int m_编号 = 0;
    QString m_UserName;
    QString m_CardName;
    QString m_CardSum;
    double m_CardCash = 0;

protected:
    const char* GetDefaultSQL() const override { return CSchema::Bank.data(); }
    void DoFieldExchange(CFieldExchange& fx) override;
};
