#include "cstatementrows.h"

#include "cimporterror.h"

#include <QCoreApplication>
#include <array>

// Texts that come again and again (who was paid, the categories, the time of day, why a row
// moves no money) are stored once; goods and order numbers are one per row.
CTextStore::THandle CStatementRows::Store(EText e, const QString& str) {
    switch (e) {
    case Goods:
    case ExtId:
    case OrderId:
        return m_texts.Add(str);
    default:
        return m_texts.AddShared(str);
    }
}

namespace {

// A row's texts in the order of CStatementRows::EText.
template <class TRow> auto TextsOf(TRow& row) {
    return std::array{&row.strTime,        &row.strCounterpart, &row.strGoods,   &row.strCategory,
                      &row.strAppCategory, &row.strExtId,       &row.strOrderId, &row.strAccount,
                      &row.strTransferTo,  &row.strNotMoney,    &row.strRemark};
}

} // namespace

void CStatementRows::SetFixed(SFields& f, const SStatementRow& row) {
    f.nCents = row.nCents;
    f.nDay = row.date.isValid() ? row.date.toJulianDay() : InvalidDay;
    f.nLine = row.nLine;
    f.nType = std::uint8_t(row.eType);
    f.nNotMoney = std::uint8_t(row.eNotMoney);
    f.nFlags = std::uint8_t((row.bRefund ? RefundFlag : 0) | (row.bNeutral ? NeutralFlag : 0) |
                            (row.bTransferOut ? TransferOutFlag : 0));
}

void CStatementRows::append(const SStatementRow& row) {
    if (m_nRows == std::numeric_limits<int>::max())
        throw CImportError(QCoreApplication::translate("CStatementRows", "文件的行数太多。"));
    if ((m_nRows & (BlockRows - 1)) == 0) {
        m_blocks.append(QVector<SFields>());
        m_blocks.last().reserve(BlockRows);
    }
    SFields f;
    SetFixed(f, row);
    const auto texts = TextsOf(row);
    for (int e = 0; e < TextCount; ++e)
        f.texts[e] = Store(EText(e), *texts[e]);
    m_blocks.last().append(f);
    ++m_nRows;
}

QDate CStatementRows::Date(int i) const {
    const std::int64_t nDay = Fields(i).nDay;
    return nDay == InvalidDay ? QDate() : QDate::fromJulianDay(nDay);
}

SStatementRow CStatementRows::at(int i) const {
    const SFields& f = Fields(i);
    SStatementRow r;
    r.nLine = f.nLine;
    r.date = Date(i);
    r.eType = SStatementRow::EType(f.nType);
    r.nCents = f.nCents;
    r.eNotMoney = ENotMoney(f.nNotMoney);
    r.bRefund = f.nFlags & RefundFlag;
    r.bNeutral = f.nFlags & NeutralFlag;
    r.bTransferOut = f.nFlags & TransferOutFlag;
    const auto texts = TextsOf(r);
    for (int e = 0; e < TextCount; ++e)
        *texts[e] = m_texts.Text(f.texts[e]);
    return r;
}

void CStatementRows::Set(int i, const SStatementRow& row) {
    SetFixed(Edit(i), row);
    const auto texts = TextsOf(row);
    for (int e = 0; e < TextCount; ++e)
        SetText(i, EText(e), *texts[e]);
}

void CStatementRows::SetNeutral(int i, bool b) {
    SFields& f = Edit(i);
    f.nFlags = std::uint8_t(b ? f.nFlags | NeutralFlag : f.nFlags & ~NeutralFlag);
}

void CStatementRows::SetNotMoney(int i, ENotMoney e, const QString& strWhy) {
    Edit(i).nNotMoney = std::uint8_t(e);
    SetText(i, NotMoneyText, strWhy);
}

void CStatementRows::SetText(int i, EText e, const QString& str) {
    if (m_texts.Equals(Fields(i).texts[e], str))
        return;
    const CTextStore::THandle h = Store(e, str);
    Edit(i).texts[e] = h;
}
