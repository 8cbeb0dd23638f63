#include "ccategorybook.h"

#include "data/cdbexception.h"
#include "data/ckepttotals.h"
#include "data/cnamerule.h"
#include "data/cschema.h"
#include "data/ctransaction.h"
#include "records/ccategories.h"
#include "users/cuseradmin.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace {

QString Tr(const char* sz) {
    return QCoreApplication::translate("CCategoryBook", sz);
}

int KindValue(ERecordKind eKind) {
    return eKind == ERecordKind::Income ? 0 : 1;
}

QString RecordTable(ERecordKind eKind) {
    return eKind == ERecordKind::Income ? CSchema::Income : CSchema::Outlay;
}

QStringList CreateStatements(const CSqlDialect& d) {
    const QString strText = QStringLiteral("%1 NOT NULL DEFAULT ''").arg(d.TextType());
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS \"Category\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, "
                           "\"Kind\" INTEGER NOT NULL, \"Name\" %2, \"NameKey\" %2, "
                           "\"Short\" %2, \"Hidden\" INTEGER NOT NULL DEFAULT 0, "
                           "\"Position\" INTEGER NOT NULL DEFAULT 0)")
                .arg(d.AutoKey(), strText),
            // Two names of one key (case, width) can never both be in a list, even when two
            // copies add them at the same moment.
            QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"IX_Category_User_Kind_Key\" ON "
                           "\"Category\" (\"UserID\", \"Kind\", \"NameKey\")"),
            // Names renamed or merged away, and the name each now goes by: a copy that still
            // offered the old name writes its records under the new one.
            QStringLiteral("CREATE TABLE IF NOT EXISTS \"CategoryRename\" ("
                           "\"编号\" %1, \"UserID\" INTEGER NOT NULL, "
                           "\"Kind\" INTEGER NOT NULL, \"OldName\" %2, \"NewName\" %2)")
                .arg(d.AutoKey(), strText),
            QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"IX_CategoryRename_User_Old\" ON "
                           "\"CategoryRename\" (\"UserID\", \"Kind\", \"OldName\")")};
}

void Ensure(QSqlDatabase db, const CSqlDialect& dialect) {
    CSchema::Create(db, dialect, CreateStatements(dialect));
}

std::vector<CCategoryBook::FFollow>& Followers() {
    static std::vector<CCategoryBook::FFollow> s_followers;
    return s_followers;
}

} // namespace

CCategoryBook::CCategoryBook(ERecordKind eKind, const QString& strUser, qint64 nSessionUser,
                             const QString& strConnection)
    : m_eKind(eKind), m_strUser(strUser), m_nSessionUser(nSessionUser),
      m_strConnection(strConnection) {
    Ready(m_strConnection);
}

void CCategoryBook::Install() {
    CSchema::AddTables(&Ensure);
}

void CCategoryBook::Ready(const QString& strConnection) {
    CSchema::MakeReady(&Ensure, strConnection);
}

void CCategoryBook::AddFollower(FFollow pfnFollow) {
    std::vector<FFollow>& followers = Followers();
    if (std::find(followers.begin(), followers.end(), pfnFollow) == followers.end())
        followers.push_back(pfnFollow);
}

QString CCategoryBook::Label(const SCategory& category) {
    return category.strShort.isEmpty() ? category.strName : category.strShort;
}

// ---- reading

qint64 CCategoryBook::UserId() const {
    if (m_nSessionUser != 0)
        return m_nSessionUser;
    return CUserAdmin::UserId(m_strUser, m_strConnection);
}

QList<CCategoryBook::SRow> CCategoryBook::Rows(qint64 nUserId) const {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"编号\", \"Name\", \"Short\", \"Hidden\" FROM \"Category\" "
                       "WHERE \"UserID\" = ? AND \"Kind\" = ? ORDER BY \"Position\", \"编号\""),
        {nUserId, KindValue(m_eKind)}, m_strConnection);
    QList<SRow> rows;
    while (query.next())
        rows.append({query.value(0).toLongLong(),
                     {query.value(1).toString(), query.value(2).toString(),
                      query.value(3).toInt() != 0, 0}});
    return rows;
}

QList<CCategoryBook::SCategory> CCategoryBook::List() const {
    QList<SCategory> list = Listed();
    QHash<QString, int> counts;
    for (const auto& [strSort, nRows] :
         CKeptTotals::SortRows(m_eKind == ERecordKind::Outlay, m_strUser, m_strConnection))
        counts.insert(strSort, nRows);
    for (SCategory& c : list)
        c.nRecords = counts.value(c.strName);
    return list;
}

QList<CCategoryBook::SCategory> CCategoryBook::Listed() const {
    QList<SCategory> list;
    const qint64 nUserId = UserId();
    if (nUserId != 0) {
        for (const SRow& r : Rows(nUserId))
            list.append(r.category);
    }
    // A user who never changed the list has the built-in one.
    if (list.isEmpty()) {
        for (const QString& strName : CCategories::Of(m_eKind))
            list.append({strName, QString(), false, 0});
    }
    return list;
}

QStringList CCategoryBook::Names() const {
    QStringList names;
    for (const SCategory& c : Listed())
        if (!c.bHidden)
            names << c.strName;
    return names;
}

QStringList CCategoryBook::AllNames() const {
    QStringList names;
    for (const SCategory& c : Listed())
        names << c.strName;
    return names;
}

QList<CCategoryBook::SCategory> CCategoryBook::Found() const {
    const QStringList names = AllNames();
    QList<SCategory> found;
    for (const auto& [strSort, nRows] :
         CKeptTotals::SortRows(m_eKind == ERecordKind::Outlay, m_strUser, m_strConnection)) {
        // An empty text is a day's placeholder row, not a category.
        if (!strSort.isEmpty() && !names.contains(strSort))
            found.append({strSort, QString(), false, nRows});
    }
    std::sort(found.begin(), found.end(),
              [](const SCategory& a, const SCategory& b) { return a.strName < b.strName; });
    return found;
}

// ---- changing

qint64 CCategoryBook::BeginChange() const {
    // The user row locked for the whole change: another copy's change of this list, or its
    // confirm of a day (which locks the row shared), waits until this one is written.
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"UserID\" FROM %1 WHERE \"UserName\" = ?").arg(CSchema::User) +
            CDatabase::Dialect(m_strConnection).LockSql(),
        {m_strUser}, m_strConnection);
    if (!query.next())
        throw CDBException(Tr("用户“%1”不存在。").arg(m_strUser));
    const qint64 nUserId = query.value(0).toLongLong();
    query.finish();
    CUserAdmin::CheckSession(m_strUser, m_nSessionUser, m_strConnection);

    QSqlQuery any =
        CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"Category\" WHERE \"UserID\" = ?"),
                        {nUserId}, m_strConnection);
    const bool bSeeded = any.next() && any.value(0).toInt() > 0;
    any.finish();
    if (bSeeded)
        return nUserId;
    // The first change: the built-in lists become the user's own, under the lock, so two
    // copies starting at once never write them twice.
    for (const ERecordKind eKind : {ERecordKind::Income, ERecordKind::Outlay}) {
        int nPosition = 0;
        for (const QString& strName : CCategories::Of(eKind))
            CDatabase::Exec(
                QStringLiteral("INSERT INTO \"Category\" (\"UserID\", \"Kind\", "
                               "\"Name\", \"NameKey\", \"Position\") "
                               "VALUES (?, ?, ?, ?, ?)"),
                {nUserId, KindValue(eKind), strName, CNameRule::Key(strName), ++nPosition},
                m_strConnection);
    }
    return nUserId;
}

int CCategoryBook::RecordCount(const QString& strSort) const {
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT COUNT(*) FROM %1 WHERE \"UserName\" = ? AND \"Sort\" = ?")
            .arg(RecordTable(m_eKind)),
        {m_strUser, strSort}, m_strConnection);
    return query.next() ? query.value(0).toInt() : 0;
}

void CCategoryBook::RewriteSort(qint64 nUserId, const QString& strOld,
                                const QString& strNew) const {
    // The kept totals follow by their triggers, in this same transaction.
    CDatabase::Exec(QStringLiteral("UPDATE %1 SET \"Sort\" = ? WHERE \"UserName\" = ? AND "
                                   "\"Sort\" = ?")
                        .arg(RecordTable(m_eKind)),
                    {strNew, m_strUser, strOld}, m_strConnection);
    Redirect(nUserId, strOld, strNew);
    for (const FFollow pfnFollow : Followers())
        pfnFollow(nUserId, m_eKind, strOld, strNew, m_strConnection);
}

void CCategoryBook::Redirect(qint64 nUserId, const QString& strOld, const QString& strNew) const {
    const QVariantList user{nUserId, KindValue(m_eKind)};
    // Earlier names of the old one now lead to the new one; the new one is live, so it is
    // nobody's former name any more.
    CDatabase::Exec(QStringLiteral("UPDATE \"CategoryRename\" SET \"NewName\" = ? WHERE "
                                   "\"UserID\" = ? AND \"Kind\" = ? AND \"NewName\" = ?"),
                    QVariantList{strNew} + user + QVariantList{strOld}, m_strConnection);
    Unredirect(nUserId, strNew);
    Unredirect(nUserId, strOld);
    CDatabase::Exec(QStringLiteral("INSERT INTO \"CategoryRename\" (\"UserID\", \"Kind\", "
                                   "\"OldName\", \"NewName\") VALUES (?, ?, ?, ?)"),
                    user + QVariantList{strOld, strNew}, m_strConnection);
}

void CCategoryBook::Unredirect(qint64 nUserId, const QString& strName) const {
    CDatabase::Exec(QStringLiteral("DELETE FROM \"CategoryRename\" WHERE \"UserID\" = ? AND "
                                   "\"Kind\" = ? AND \"OldName\" = ?"),
                    {nUserId, KindValue(m_eKind), strName}, m_strConnection);
}

QHash<QString, QString> CCategoryBook::Renamed() const {
    QHash<QString, QString> renamed;
    // Inside a write the user row is locked shared: a rename (which locks it for update)
    // is then either wholly before this write, and read here, or wholly after it, and
    // catches the rows this write adds.
    QSqlQuery user = CDatabase::Exec(
        QStringLiteral("SELECT \"UserID\" FROM %1 WHERE \"UserName\" = ?").arg(CSchema::User) +
            (CTransaction::IsActive(m_strConnection)
                 ? CDatabase::Dialect(m_strConnection).LockSql(true)
                 : QString()),
        {m_strUser}, m_strConnection);
    if (!user.next())
        return renamed;
    const qint64 nUserId = user.value(0).toLongLong();
    user.finish();
    QSqlQuery query = CDatabase::Exec(
        QStringLiteral("SELECT \"OldName\", \"NewName\" FROM \"CategoryRename\" WHERE "
                       "\"UserID\" = ? AND \"Kind\" = ?"),
        {nUserId, KindValue(m_eKind)}, m_strConnection);
    while (query.next())
        renamed.insert(query.value(0).toString(), query.value(1).toString());
    return renamed;
}

QString CCategoryBook::CheckName(const QString& strName, const QList<SRow>& rows,
                                 qint64 nSkipId) const {
    if (strName.isEmpty())
        return Tr("类别名称不能为空！");
    if (strName.toUcs4().size() > CDatabase::MaxTextLength)
        return Tr("类别名称不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (CNameRule::HasFormatCharacters(strName))
        return Tr("类别名称中不能有看不见的格式字符（如零宽空格、文字方向符号）！");
    for (const SRow& r : rows)
        if (r.nId != nSkipId && CNameRule::Same(r.category.strName, strName))
            return Tr("已有名为“%1”的类别，请换一个名字。").arg(r.category.strName);
    return QString();
}

const CCategoryBook::SRow* CCategoryBook::Find(const QList<SRow>& rows, const QString& strName) {
    for (const SRow& r : rows)
        if (r.category.strName == strName)
            return &r;
    return nullptr;
}

QString CCategoryBook::Gone(const QString& strName) {
    return Tr("类别“%1”已不在列表中（可能已在别处改名或删除），请刷新后再试。").arg(strName);
}

// Each change below: one transaction, the user row locked, and the list as it stands now read
// under the lock (another copy may have changed it since this one showed it).

QString CCategoryBook::Add(const QString& strTyped) {
    const QString strName = CNameRule::Normal(strTyped);
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    const QList<SRow> rows = Rows(nUserId);
    const QString strError = CheckName(strName, rows, 0);
    if (!strError.isEmpty())
        return strError;
    CDatabase::Exec(QStringLiteral("INSERT INTO \"Category\" (\"UserID\", \"Kind\", \"Name\", "
                                   "\"NameKey\", \"Position\") VALUES (?, ?, ?, ?, "
                                   "(SELECT COALESCE(MAX(\"Position\"), 0) + 1 FROM \"Category\" "
                                   "WHERE \"UserID\" = ? AND \"Kind\" = ?))"),
                    {nUserId, KindValue(m_eKind), strName, CNameRule::Key(strName), nUserId,
                     KindValue(m_eKind)},
                    m_strConnection);
    Unredirect(nUserId, strName);
    transaction.Commit();
    return QString();
}

QString CCategoryBook::Rename(const QString& strOld, const QString& strTyped) {
    const QString strNew = CNameRule::Normal(strTyped);
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    const QList<SRow> rows = Rows(nUserId);
    const SRow* pRow = Find(rows, strOld);
    if (!pRow)
        return Gone(strOld);
    if (strNew == strOld)
        return QString();
    const QString strError = CheckName(strNew, rows, pRow->nId);
    if (!strError.isEmpty())
        return strError;
    CDatabase::Exec(
        QStringLiteral("UPDATE \"Category\" SET \"Name\" = ?, \"NameKey\" = ? WHERE \"编号\" = ?"),
        {strNew, CNameRule::Key(strNew), pRow->nId}, m_strConnection);
    RewriteSort(nUserId, strOld, strNew);
    transaction.Commit();
    return QString();
}

QString CCategoryBook::Merge(const QString& strFrom, const QString& strInto) {
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    const QList<SRow> rows = Rows(nUserId);
    const SRow* pFrom = Find(rows, strFrom);
    const SRow* pInto = Find(rows, strInto);
    if (!pInto)
        return Gone(strInto);
    if (strFrom == strInto)
        return Tr("请选择另一个类别来合并。");
    if (!pFrom && RecordCount(strFrom) == 0)
        return Tr("账本中已没有类别为“%1”的记录。").arg(strFrom);
    if (pFrom)
        CDatabase::Exec(QStringLiteral("DELETE FROM \"Category\" WHERE \"编号\" = ?"), {pFrom->nId},
                        m_strConnection);
    RewriteSort(nUserId, strFrom, strInto);
    transaction.Commit();
    return QString();
}

QString CCategoryBook::SetHidden(const QString& strName, bool bHidden) {
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    const QList<SRow> rows = Rows(nUserId);
    const SRow* pRow = Find(rows, strName);
    int nShown = 0;
    for (const SRow& r : rows)
        nShown += r.category.bHidden ? 0 : 1;
    if (!pRow)
        return Gone(strName);
    if (bHidden && !pRow->category.bHidden && nShown <= 1)
        return Tr("至少要留一个不隐藏的类别，记账时才有类别可选。");
    CDatabase::Exec(QStringLiteral("UPDATE \"Category\" SET \"Hidden\" = ? WHERE \"编号\" = ?"),
                    {bHidden ? 1 : 0, pRow->nId}, m_strConnection);
    transaction.Commit();
    return QString();
}

QString CCategoryBook::Move(const QString& strName, int nSteps) {
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    QList<SRow> rows = Rows(nUserId);
    int nFrom = -1;
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].category.strName == strName)
            nFrom = i;
    if (nFrom < 0)
        return Gone(strName);
    const int nTo = std::clamp(nFrom + nSteps, 0, int(rows.size()) - 1);
    if (nTo == nFrom)
        return QString();
    rows.move(nFrom, nTo);
    // Positions written afresh as 1, 2, 3 …: the order read is the order kept.
    for (int i = 0; i < rows.size(); ++i)
        CDatabase::Exec(
            QStringLiteral("UPDATE \"Category\" SET \"Position\" = ? WHERE \"编号\" = ?"),
            {i + 1, rows[i].nId}, m_strConnection);
    transaction.Commit();
    return QString();
}

QString CCategoryBook::SetShort(const QString& strName, const QString& strTyped) {
    const QString strShort = CNameRule::Normal(strTyped);
    if (strShort.toUcs4().size() > CDatabase::MaxTextLength)
        return Tr("简称不能超过 %1 个字符！").arg(CDatabase::MaxTextLength);
    if (CNameRule::HasFormatCharacters(strShort))
        return Tr("简称中不能有看不见的格式字符（如零宽空格、文字方向符号）！");
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    const QList<SRow> rows = Rows(nUserId);
    const SRow* pRow = Find(rows, strName);
    if (!pRow)
        return Gone(strName);
    CDatabase::Exec(QStringLiteral("UPDATE \"Category\" SET \"Short\" = ? WHERE \"编号\" = ?"),
                    {strShort, pRow->nId}, m_strConnection);
    transaction.Commit();
    return QString();
}

QString CCategoryBook::Remove(const QString& strName) {
    CTransaction transaction(m_strConnection);
    const qint64 nUserId = BeginChange();
    const QList<SRow> rows = Rows(nUserId);
    const SRow* pRow = Find(rows, strName);
    if (!pRow)
        return Gone(strName);
    const int nRecords = RecordCount(strName);
    if (nRecords > 0)
        return Tr("有 %1 条记录使用类别“%2”，不能删除。可以把它合并到另一个类别，或者隐藏它。")
            .arg(nRecords)
            .arg(strName);
    int nShown = 0;
    for (const SRow& r : rows)
        nShown += r.category.bHidden || r.nId == pRow->nId ? 0 : 1;
    if (nShown == 0)
        return Tr("至少要留一个不隐藏的类别，记账时才有类别可选。");
    CDatabase::Exec(QStringLiteral("DELETE FROM \"Category\" WHERE \"编号\" = ?"), {pRow->nId},
                    m_strConnection);
    transaction.Commit();
    return QString();
}
