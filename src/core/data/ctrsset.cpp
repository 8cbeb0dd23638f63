#include "ctrsset.h"

CTrsSet::CTrsSet(const QString& strConnection) : CRecordset(strConnection) {}

void CTrsSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Long("编号", m_编号);
    fx.Text("UserName", m_UserName);
    fx.Date("TrsDate", m_TrsDate);
    fx.Text("TrsFrom", m_TrsFrom);
    fx.Text("TrsIn", m_TrsIn);
    fx.Double("TrsAmount", m_TrsAmount);
}
