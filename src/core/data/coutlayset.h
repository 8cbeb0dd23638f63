#pragma once

#include "crecordset.h"
#include "cschema.h"

// One row of the "Outlay" table; members named after its columns, in table order.
class COutlaySet : public CRecordset {
public:
    explicit COutlaySet(const QString& strConnection = CDatabase::DefaultConnection);

    int m_编号 = 0;
    QString m_UserName;
    QDateTime m_Date;
    QString m_Sort;
    QString m_Note;
    double m_Amount = 0;
    QString m_Bank;

protected:
    const char* GetDefaultSQL() const override { return CSchema::Outlay.data(); }
    void DoFieldExchange(CFieldExchange& fx) override;
};
