#include "cpreviewrows.h"

#include <QCryptographicHash>
#include <cstring>

namespace {

QChar TypeLetter(SStatementRow::EType eType) {
    switch (eType) {
    case SStatementRow::EType::Income:
        return QLatin1Char('I');
    case SStatementRow::EType::Outlay:
        return QLatin1Char('O');
    case SStatementRow::EType::Transfer:
        return QLatin1Char('T');
    }
    return QLatin1Char('?');
}

QString SourcePrefix(EStatementFormat eFormat) {
    switch (eFormat) {
    case EStatementFormat::Alipay:
        return QStringLiteral("alipay");
    case EStatementFormat::Wechat:
        return QStringLiteral("wechat");
    case EStatementFormat::Ofx:
        return QStringLiteral("ofx");
    case EStatementFormat::Qif:
        return QStringLiteral("qif");
    case EStatementFormat::Csv:
        return QStringLiteral("csv");
    }
    return QString();
}

} // namespace

QString SPreviewRow::Note() const {
    return StatementNote(src.strCounterpart, src.strGoods);
}

CPreviewRows::TDigest CPreviewRows::DigestOf(const QString& strKey) {
    const QByteArray hash = QCryptographicHash::hash(strKey.toUtf8(), QCryptographicHash::Sha1);
    TDigest d;
    std::memcpy(d.data(), hash.constData(), d.size());
    return d;
}

void CPreviewRows::Adopt(CStatementRows&& src, EStatementFormat eFormat) {
    m_src = std::move(src);
    m_eFormat = eFormat;
    m_blocks.clear();
    for (int n = m_src.size(); n > 0; n -= BlockRows)
        m_blocks.append(QVector<SFields>(std::min(n, BlockRows)));
}

void CPreviewRows::SetShared(CTextStore::THandle& h, const QString& str) {
    if (!m_src.Texts().Equals(h, str))
        h = Shared(str);
}

void CPreviewRows::SetTicked(int i, bool b) {
    SFields& f = Edit(i);
    f.nFlags = std::uint8_t(b ? f.nFlags | TickedFlag : f.nFlags & ~TickedFlag);
}

QString CPreviewRows::Note(int i) const {
    return StatementNote(m_src.Text(i, CStatementRows::Counterpart),
                         m_src.Text(i, CStatementRows::Goods));
}

// A row with an id is one trade by its id, day (and time, when the file prints one), amount,
// direction and counterpart: exports repeat ids for different trades (a refund keeps its
// payment's order number, merchants reuse theirs). Rows without an id: a hash of what they
// say, numbered when a file holds the same row twice, so an overlapping statement finds the
// same keys.
QString CPreviewRows::ContentBase(int i) const {
    const SFields& f = Fields(i);
    const QByteArray text =
        QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
            .arg(m_src.Date(i).toString(Qt::ISODate))
            .arg(TypeLetter(SStatementRow::EType(f.nKeyType)))
            .arg(m_src.Cents(i))
            .arg(m_src.Text(i, CStatementRows::Counterpart), m_src.Text(i, CStatementRows::Goods),
                 m_src.Text(i, CStatementRows::Account), m_src.Text(i, CStatementRows::TransferTo))
            .toUtf8();
    return QStringLiteral("row:") +
           QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
}

QString CPreviewRows::Key(int i) const {
    const SFields& f = Fields(i);
    switch (EKey(f.eKey)) {
    case EKey::Given:
        return Text(f.hGivenKey);
    case EKey::Content:
        return ContentBase(i) + QLatin1Char(':') + QString::number(f.nOccurrence);
    case EKey::Identity:
        break;
    }
    const QByteArray counterpart =
        QCryptographicHash::hash(m_src.Text(i, CStatementRows::Counterpart).trimmed().toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(10);
    QString strWhen = m_src.Date(i).toString(Qt::ISODate);
    const QString strTime = m_src.Text(i, CStatementRows::Time);
    if (!strTime.isEmpty())
        strWhen += QLatin1Char(' ') + strTime;
    return FitText(QStringLiteral("%1:%2:%3|%4|%5|%6")
                       .arg(SourcePrefix(m_eFormat), m_src.Text(i, CStatementRows::ExtId))
                       .arg(TypeLetter(SStatementRow::EType(f.nKeyType)))
                       .arg(strWhen)
                       .arg(m_src.Cents(i))
                       .arg(QString::fromLatin1(counterpart)));
}

QString CPreviewRows::LegacyKey(int i) const {
    return FitText(SourcePrefix(m_eFormat) + QLatin1Char(':') +
                   m_src.Text(i, CStatementRows::ExtId) + QLatin1Char(':') +
                   TypeLetter(m_src.Type(i)));
}

SPreviewRow CPreviewRows::at(int i) const {
    const SFields& f = Fields(i);
    SPreviewRow r;
    r.src = m_src.at(i);
    r.strSort = Text(f.hSort);
    r.strAccount = Text(f.hAccount);
    r.strTransferTo = Text(f.hTransferTo);
    r.strExtKey = Key(i);
    r.eState = SPreviewRow::EState(f.nState);
    r.eDuplicate = SPreviewRow::EDuplicate(f.nDuplicate);
    r.strReason = Text(f.hReason);
    r.strUnknownAccount = Text(f.hUnknownAccount);
    r.bTicked = f.nFlags & TickedFlag;
    r.bSortByHand = f.nFlags & SortByHandFlag;
    r.bKeyKnown = f.nFlags & KeyKnownFlag;
    return r;
}

void CPreviewRows::append(const SPreviewRow& row) {
    const int i = size();
    m_src.append(row.src);
    if ((i & (BlockRows - 1)) == 0) {
        m_blocks.append(QVector<SFields>());
        m_blocks.last().reserve(BlockRows);
    }
    m_blocks.last().append(SFields());
    SFields& f = Edit(i);
    f.eKey = std::uint8_t(EKey::Given);
    f.hGivenKey = m_src.Texts().Add(row.strExtKey);
    f.digest = DigestOf(row.strExtKey);
    Set(i, row);
}

void CPreviewRows::Set(int i, const SPreviewRow& row) {
    m_src.Set(i, row.src);
    if (row.strExtKey != Key(i)) {
        SFields& f = Edit(i);
        f.eKey = std::uint8_t(EKey::Given);
        f.hGivenKey = m_src.Texts().Add(row.strExtKey);
        f.digest = DigestOf(row.strExtKey);
    }
    SFields& f = Edit(i);
    SetShared(f.hSort, row.strSort);
    SetShared(f.hAccount, row.strAccount);
    SetShared(f.hTransferTo, row.strTransferTo);
    SetShared(f.hReason, row.strReason);
    SetShared(f.hUnknownAccount, row.strUnknownAccount);
    f.nState = std::uint8_t(row.eState);
    f.nDuplicate = std::uint8_t(row.eDuplicate);
    f.nFlags =
        std::uint8_t((row.bTicked ? TickedFlag : 0) | (row.bSortByHand ? SortByHandFlag : 0) |
                     (row.bKeyKnown ? KeyKnownFlag : 0));
}
