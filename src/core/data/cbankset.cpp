#include "cbankset.h"

CBankSet::CBankSet(const QString& strConnection) : CRecordset(strConnection) {}

void CBankSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Long("编号", m_编号);
    fx.Text("UserName", m_UserName);
    fx.Text("CardName", m_CardName);
    fx.Text("CardSum", m_CardSum);
    fx.Double("CardCash", m_CardCash);
}
