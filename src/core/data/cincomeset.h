#pragma once

#include "crecordset.h"
#include "cschema.h"

// One row of the "Income" table; members named after its columns, in table order.
class CIncomeSet : public CRecordset {
public:
    explicit CIncomeSet(const QString& strConnection = CDatabase::DefaultConnection);

    int m_编号 = 0;
    QString m_UserName;
    QDateTime m_Date;
    QString m_Sort;
    QString m_Note;
    double m_Amount = 0;
    QString m_Bank;

protected:
    const char* GetDefaultSQL() const override { return CSchema::Income.data(); }
    void DoFieldExchange(CFieldExchange& fx) override;
};
