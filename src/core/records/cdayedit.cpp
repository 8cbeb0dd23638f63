#include "cdayedit.h"

#include "data/cmoney.h"

void CDayEdit::Load(const QVector<SDayRecord>& rows) {
    m_loaded = rows;
    m_removed.clear();
}

void CDayEdit::Clear() {
    Load({});
}

bool CDayEdit::IsRead(int nRow) const {
    return m_loaded.value(nRow).nId != 0;
}

void CDayEdit::Remove(int nRow) {
    if (nRow < 0 || nRow >= m_loaded.size())
        return;
    if (m_loaded[nRow].nId != 0)
        m_removed.append(m_loaded[nRow]);
    m_loaded.remove(nRow);
}

bool CDayEdit::IsTypedAmount(int nRow, double dAmount) const {
    return !IsRead(nRow) || CMoney::ToCents(m_loaded[nRow].dAmount) != CMoney::ToCents(dAmount);
}

int CDayEdit::RowOf(qint64 nId) const {
    for (int i = 0; i < m_loaded.size(); ++i)
        if (m_loaded[i].nId == nId)
            return i;
    return -1;
}

SDayEdit CDayEdit::Edit(const QVector<SDayRecord>& rows) const {
    SDayEdit edit;
    for (int nRow = 0; nRow < rows.size(); ++nRow) {
        SDayRecord now = rows[nRow];
        const SDayRecord loaded = m_loaded.value(nRow);
        if (loaded.nId == 0) {
            now.nId = 0;
            edit.added.append(now);
            continue;
        }
        // A row without an account stays in the one it was read from.
        if (now.strBank.isEmpty())
            now.strBank = loaded.strBank;
        if (now.strSort != loaded.strSort || now.strNote != loaded.strNote ||
            now.strBank != loaded.strBank ||
            CMoney::ToCents(now.dAmount) != CMoney::ToCents(loaded.dAmount)) {
            now.nId = loaded.nId;
            edit.changed.append({loaded, now});
        }
    }
    edit.removed = m_removed;
    return edit;
}
