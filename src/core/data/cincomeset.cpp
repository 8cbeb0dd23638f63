#include "cincomeset.h"

CIncomeSet::CIncomeSet(const QString& strConnection) : CRecordset(strConnection) {}

void CIncomeSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Long("编号", m_编号);
    fx.Text("UserName", m_UserName);
    fx.Date("Date", m_Date);
    fx.Text("Sort", m_Sort);
    fx.Text("Note", m_Note);
    fx.Double("Amount", m_Amount);
    fx.Text("Bank", m_Bank);
}
