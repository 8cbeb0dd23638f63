#include "crecordset.h"

#include "cdbexception.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

// ---------------------------------------------------------------- CFieldExchange

namespace {
// How a person knows a text column, for the messages.
QString ColumnLabel(const char* szColumn) {
    static const struct {
        const char* szColumn;
        const char* szLabel;
    } s_labels[] = {
        {"UserName", QT_TRANSLATE_NOOP("CRecordset", "用户名")},
        {"UserPwd", QT_TRANSLATE_NOOP("CRecordset", "密码")},
        {"SavePwd", QT_TRANSLATE_NOOP("CRecordset", "保存的密码")},
        {"CardName", QT_TRANSLATE_NOOP("CRecordset", "账号名")},
        {"CardSum", QT_TRANSLATE_NOOP("CRecordset", "账号备注")},
        {"Sort", QT_TRANSLATE_NOOP("CRecordset", "类型")},
        {"Note", QT_TRANSLATE_NOOP("CRecordset", "摘要")},
        {"Bank", QT_TRANSLATE_NOOP("CRecordset", "账号")},
        {"TrsFrom", QT_TRANSLATE_NOOP("CRecordset", "转出账号")},
        {"TrsIn", QT_TRANSLATE_NOOP("CRecordset", "转入账号")},
    };
    for (const auto& l : s_labels) {
        if (qstrcmp(l.szColumn, szColumn) == 0)
            return QCoreApplication::translate("CRecordset", l.szLabel);
    }
    return QString::fromUtf8(szColumn);
}
} // namespace

void CFieldExchange::Field(const char* szColumn, QVariant value, bool bKey) {
    const QString strColumn = QString::fromUtf8(szColumn);
    if (bKey) {
        m_strKeyColumn = strColumn;
        m_key = value;
    } else {
        m_columns << strColumn;
        m_values << value;
    }
}

void CFieldExchange::Long(const char* szColumn, int& value) {
    const bool bKey = m_nIndex == 0;
    switch (m_eOp) {
    case Load:
        value = (*m_pRow)[m_nIndex].toInt();
        break;
    case Reset:
        value = 0;
        break;
    case Store:
        Field(szColumn, value, bKey);
        break;
    case Names:
        Field(szColumn, QVariant(), bKey);
        break;
    }
    ++m_nIndex;
}

void CFieldExchange::Text(const char* szColumn, QString& value) {
    switch (m_eOp) {
    case Load:
        value = (*m_pRow)[m_nIndex].toString();
        break;
    case Reset:
        value.clear();
        break;
    case Store:
        // SQLite does not enforce VARCHAR(255); refuse here so both backends agree.
        if (value.toUcs4().size() > CDatabase::MaxTextLength)
            throw CDBException(
                QCoreApplication::translate("CRecordset", "“%1”的内容超过 %2 个字符，无法保存。")
                    .arg(ColumnLabel(szColumn))
                    .arg(CDatabase::MaxTextLength));
        Field(szColumn, value.isNull() ? QString(QLatin1String("")) : value, false);
        break;
    case Names:
        Field(szColumn, QVariant(), false);
        break;
    }
    ++m_nIndex;
}

void CFieldExchange::Double(const char* szColumn, double& value) {
    switch (m_eOp) {
    case Load:
        value = (*m_pRow)[m_nIndex].toDouble();
        break;
    case Reset:
        value = 0;
        break;
    case Store:
        Field(szColumn, value, false);
        break;
    case Names:
        Field(szColumn, QVariant(), false);
        break;
    }
    ++m_nIndex;
}

void CFieldExchange::Date(const char* szColumn, QDateTime& value) {
    switch (m_eOp) {
    case Load:
        value = m_dialect.ReadDateTime((*m_pRow)[m_nIndex]);
        break;
    case Reset:
        value = QDateTime();
        break;
    case Store:
        Field(szColumn, m_dialect.BindDateTime(value), false);
        break;
    case Names:
        Field(szColumn, QVariant(), false);
        break;
    }
    ++m_nIndex;
}

void CFieldExchange::Bool(const char* szColumn, bool& value) {
    switch (m_eOp) {
    case Load:
        value = (*m_pRow)[m_nIndex].toBool();
        break;
    case Reset:
        value = false;
        break;
    case Store:
        Field(szColumn, value, false);
        break;
    case Names:
        Field(szColumn, QVariant(), false);
        break;
    }
    ++m_nIndex;
}

// ---------------------------------------------------------------- CRecordset

namespace {
QString Quote(const QString& str) {
    return QLatin1Char('"') + str + QLatin1Char('"');
}
} // namespace

CRecordset::CRecordset(const QString& strConnection) : m_strConnection(strConnection) {}

CRecordset::~CRecordset() = default;

void CRecordset::SetFilter(EFilter eFilter, const QStringList& values) {
    m_eFilter = eFilter;
    m_filterValues = values;
}

QString CRecordset::WhereClause() const {
    switch (m_eFilter) {
    case EFilter::None:
        return QString();
    case EFilter::User:
        return QStringLiteral("\"UserName\" = ?");
    case EFilter::UserBank:
        return QStringLiteral("\"UserName\" = ? AND \"Bank\" = ?");
    case EFilter::UserCard:
        return QStringLiteral("\"UserName\" = ? AND \"CardName\" = ?");
    case EFilter::UserSort:
        return QStringLiteral("\"UserName\" = ? AND \"Sort\" = ?");
    }
    return QString();
}

QString CRecordset::GetSQL() const {
    CFieldExchange fx(CFieldExchange::Names, CDatabase::Dialect(m_strConnection));
    const_cast<CRecordset*>(this)->DoFieldExchange(fx);
    QStringList columns;
    columns << Quote(fx.m_strKeyColumn);
    for (const QString& c : fx.m_columns)
        columns << Quote(c);
    QString sql = QStringLiteral("SELECT %1 FROM %2")
                      .arg(columns.join(QStringLiteral(", ")), QString::fromUtf8(GetDefaultSQL()));
    const QString where = WhereClause();
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    if (m_eSort == ESort::Date)
        sql += QStringLiteral(" ORDER BY \"Date\", ") + Quote(fx.m_strKeyColumn);
    else
        sql += QStringLiteral(" ORDER BY ") + Quote(fx.m_strKeyColumn);
    return sql;
}

void CRecordset::Open() {
    if (m_bOpen)
        Close();
    const QString sql = GetSQL();
    QSqlQuery query = CDatabase::Exec(
        sql, QVariantList(m_filterValues.cbegin(), m_filterValues.cend()), m_strConnection);
    m_rows.clear();
    const int nCols = query.record().count();
    while (query.next()) {
        std::vector<QVariant> row;
        row.reserve(nCols);
        for (int i = 0; i < nCols; ++i)
            row.push_back(query.value(i));
        m_rows.push_back(std::move(row));
    }
    m_bOpen = true;
    m_eMode = EMode::None;
    m_nPos = 0;
    LoadCurrent();
}

void CRecordset::Close() {
    m_bOpen = false;
    m_rows.clear();
    m_nPos = 0;
    m_eMode = EMode::None;
}

bool CRecordset::IsEOF() const {
    return m_nPos >= int(m_rows.size());
}
bool CRecordset::IsBOF() const {
    return m_rows.empty() || m_nPos < 0;
}

void CRecordset::LoadCurrent() {
    if (m_nPos < 0 || m_nPos >= int(m_rows.size()))
        return;
    CFieldExchange fx(CFieldExchange::Load, CDatabase::Dialect(m_strConnection));
    fx.m_pRow = &m_rows[size_t(m_nPos)];
    DoFieldExchange(fx);
}

void CRecordset::MoveNext() {
    if (m_nPos < int(m_rows.size()))
        ++m_nPos;
    LoadCurrent();
}

void CRecordset::MovePrev() {
    if (m_nPos >= 0)
        --m_nPos;
    LoadCurrent();
}

void CRecordset::MoveFirst() {
    m_nPos = 0;
    LoadCurrent();
}

void CRecordset::MoveLast() {
    m_nPos = int(m_rows.size()) - 1;
    if (m_nPos < 0)
        m_nPos = 0;
    LoadCurrent();
}

void CRecordset::AddNew() {
    CFieldExchange fx(CFieldExchange::Reset, CDatabase::Dialect(m_strConnection));
    DoFieldExchange(fx);
    m_eMode = EMode::Add;
}

void CRecordset::Edit() {
    if (IsEOF() || IsBOF())
        throw CDBException(QCoreApplication::translate("CRecordset", "没有可修改的记录。"));
    m_eMode = EMode::Edit;
}

void CRecordset::Update() {
    if (m_eMode == EMode::None)
        throw CDBException(QCoreApplication::translate("CRecordset", "没有待保存的修改。"));
    CFieldExchange fx(CFieldExchange::Store, CDatabase::Dialect(m_strConnection));
    DoFieldExchange(fx); // validates text lengths before anything is written
    const QString table = QString::fromUtf8(GetDefaultSQL());
    QStringList quoted;
    for (const QString& c : fx.m_columns)
        quoted << Quote(c);
    if (m_eMode == EMode::Add) {
        QStringList marks;
        for (int i = 0; i < quoted.size(); ++i)
            marks << QStringLiteral("?");
        const QString strSql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, quoted.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        // Exec keeps the insert prepared, so many rows added in a row compile it (and the
        // triggers on the table) once.
        CDatabase::Exec(strSql, fx.m_values, m_strConnection);
    } else {
        QStringList sets;
        for (const QString& c : quoted)
            sets << c + QStringLiteral(" = ?");
        QVariantList values = fx.m_values;
        values << fx.m_key;
        CDatabase::Exec(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                            .arg(table, sets.join(QStringLiteral(", ")), Quote(fx.m_strKeyColumn)),
                        values, m_strConnection);
        // Keep the snapshot in step with what was written.
        auto& row = m_rows[size_t(m_nPos)];
        for (int i = 0; i < fx.m_values.size() && i + 1 < int(row.size()); ++i)
            row[size_t(i) + 1] = fx.m_values[i];
    }
    m_eMode = EMode::None;
}

void CRecordset::Delete() {
    if (IsEOF() || IsBOF())
        throw CDBException(QCoreApplication::translate("CRecordset", "没有可删除的记录。"));
    const QVariant key = m_rows[size_t(m_nPos)].front();
    CFieldExchange names(CFieldExchange::Names, CDatabase::Dialect(m_strConnection));
    DoFieldExchange(names);
    const QString keyColumn = names.m_strKeyColumn;
    CDatabase::Exec(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                        .arg(QString::fromUtf8(GetDefaultSQL()), Quote(keyColumn)),
                    {key}, m_strConnection);
}

void CRecordset::Requery() {
    Open();
}
