#include "records/cgridcelleditor.h"

#include "data/cmoney.h"
#include "records/ccategories.h"
#include "widgets/cmsflexgrid1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

CGridCellEditor::CGridCellEditor(ERecordKind eKind, CMsflexgrid1* pGrid)
    : QObject(pGrid), m_eKind(eKind), m_pGrid(pGrid), m_categories(CCategories::Of(eKind)) {
    // The floating controls live on the grid's viewport: they scroll and clip with the cells
    // they are laid over.
    QWidget* pViewport = pGrid->viewport();
    m_pEditText = new QLineEdit(pViewport);
    m_pEditText->setObjectName(QString::number(IDC_EDIT_TEXT));
    m_comboSort = new QComboBox(pViewport);
    m_comboSort->setObjectName(QString::number(IDC_COMBO_SORT));
    m_comboSort->addItems(Matching(QString()));
    m_comboSort->setMaxVisibleItems(12);
    // Typing in the category cell filters the list below it; only listed names are taken.
    m_comboSort->setEditable(true);
    m_comboSort->setInsertPolicy(QComboBox::NoInsert);
    m_comboSort->setCompleter(nullptr);
    m_comboRowBank = new QComboBox(pViewport);
    m_comboRowBank->setObjectName(QString::number(IDC_COMBO_ROW_BANK));
    connect(m_comboRowBank, qOverload<int>(&QComboBox::activated), this, [this](int nIndex) {
        if (m_nRow >= 1 && m_nRow < m_pGrid->GetRows() && m_nCol == ColBank)
            m_pGrid->SetTextMatrix(m_nRow, ColBank, m_comboRowBank->itemText(nIndex));
    });
    m_pSortList = new QListWidget(pViewport);
    m_pSortList->setObjectName(QString::number(IDC_LIST_SORT));
    m_pSortList->setFocusPolicy(Qt::NoFocus);
    m_pSortList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_comboSort->lineEdit(), &QLineEdit::textEdited, this,
            &CGridCellEditor::OnCategoryTyped);
    connect(m_pSortList, &QListWidget::itemClicked, this, [this](QListWidgetItem* pItem) {
        m_pSortList->setCurrentItem(pItem);
        CloseCategoryFilter(true);
        m_comboSort->setFocus();
    });
    connect(m_comboSort, qOverload<int>(&QComboBox::activated), this,
            &CGridCellEditor::OnCategoryChosen);
    // Only what the person types: filling the editor from its cell must not rewrite the cell.
    connect(m_pEditText, &QLineEdit::textEdited, this, &CGridCellEditor::OnTextEdited);
    connect(pGrid, &CMsflexgrid1::Scroll, this, &CGridCellEditor::KeepOnCell);
    pViewport->installEventFilter(this);
    m_pEditText->installEventFilter(this);
    m_comboSort->installEventFilter(this);
    m_comboRowBank->installEventFilter(this);
    Close();
}

void CGridCellEditor::SetAccounts(const QStringList& accounts) {
    m_comboRowBank->clear();
    m_comboRowBank->addItems(accounts);
}

void CGridCellEditor::SetCategories(const QStringList& names) {
    if (names == m_categories)
        return;
    m_categories = names;
    const QSignalBlocker blocker(m_comboSort);
    m_comboSort->clear();
    m_comboSort->addItems(m_categories);
}

// Pinyin initials for the built-in names; names of the user's own match by their text.
QStringList CGridCellEditor::Matching(const QString& strTyped) const {
    return CCategories::Matching(m_categories, strTyped);
}

void CGridCellEditor::Close() {
    // The grid takes the focus back itself (see Open): its highlight stays where it is.
    if (IsOpen() && QApplication::focusWidget() &&
        m_pGrid->viewport()->isAncestorOf(QApplication::focusWidget()))
        m_pGrid->setFocus();
    m_pEditText->setGeometry(0, 0, 0, 0);
    m_pEditText->hide();
    m_comboSort->setGeometry(0, 0, 0, 0);
    m_comboSort->hide();
    m_comboRowBank->setGeometry(0, 0, 0, 0);
    m_comboRowBank->hide();
    m_pSortList->hide();
}

bool CGridCellEditor::IsOpen() const {
    return m_pEditText->isVisible() || m_comboSort->isVisible() || m_comboRowBank->isVisible();
}

QWidget* CGridCellEditor::Floating(int nCol) const {
    switch (nCol) {
    case ColSort:
        return m_comboSort;
    case ColBank:
        return m_comboRowBank;
    default:
        return m_pEditText;
    }
}

void CGridCellEditor::Open(int nRow, int nCol) {
    m_pGrid->scrollTo(m_pGrid->model()->index(nRow - 1, nCol - 1));
    const QRect rect = m_pGrid->CellRect(nRow, nCol, m_pGrid->viewport());
    const QString strCell = m_pGrid->GetTextMatrix(nRow, nCol);
    m_nRow = nRow;
    m_nCol = nCol;
    QWidget* pFloating = Floating(nCol);
    // The new editor takes the focus before the others hide: a focused widget that hides hands
    // the focus on, and the grid takes that as Tab and moves its highlight a cell further.
    pFloating->setGeometry(rect);
    pFloating->show();
    pFloating->raise();
    pFloating->setEnabled(true);
    pFloating->setFocus();
    for (QWidget* pOther : {static_cast<QWidget*>(m_pEditText), static_cast<QWidget*>(m_comboSort),
                            static_cast<QWidget*>(m_comboRowBank)}) {
        if (pOther != pFloating) {
            pOther->setGeometry(0, 0, 0, 0);
            pOther->hide();
        }
    }
    if (nCol != ColSort)
        m_pSortList->hide();
    if (nCol == ColSort) {
        // The list shows the cell's category, or nothing while the cell has none, so an entry
        // left over from another row never looks chosen.
        m_comboSort->setCurrentIndex(m_comboSort->findText(strCell, Qt::MatchExactly));
        // Characters typed in the cell before belong to that cell's search, not to this one.
        m_comboSort->view()->keyboardSearch(QString());
        // Typing replaces the category shown, as in the other cells.
        m_comboSort->lineEdit()->selectAll();
    } else if (nCol == ColBank) {
        m_comboRowBank->setCurrentIndex(m_comboRowBank->findText(strCell, Qt::MatchExactly));
    } else {
        m_pEditText->setText(strCell);
        m_pEditText->selectAll();
    }
}

void CGridCellEditor::OpenTyping(int nRow, int nCol, const QString& strTyped) {
    Open(nRow, nCol);
    if (nCol == ColBank) {
        // The first account whose name starts with what was typed, as the list's own search.
        const int nIndex = m_comboRowBank->findText(strTyped, Qt::MatchStartsWith);
        if (nIndex >= 0) {
            m_comboRowBank->setCurrentIndex(nIndex);
            Q_EMIT m_comboRowBank->activated(nIndex);
        }
        return;
    }
    QLineEdit* pEdit = nCol == ColSort ? m_comboSort->lineEdit() : m_pEditText;
    pEdit->insert(strTyped); // replaces the selected cell text and tells textEdited
    if (nCol == ColSort)
        OnCategoryTyped(pEdit->text());
    else
        OnTextEdited(pEdit->text());
}

void CGridCellEditor::KeepOnCell() {
    if (m_nRow < 1 || m_nRow >= m_pGrid->GetRows())
        return;
    QWidget* pFloating = Floating(m_nCol);
    if (pFloating->isVisible())
        pFloating->setGeometry(m_pGrid->CellRect(m_nRow, m_nCol, m_pGrid->viewport()));
}

bool CGridCellEditor::eventFilter(QObject* pObject, QEvent* pEvent) {
    // The type first: the editors' events still come while the grid is being destroyed, when
    // it is no scroll area any more.
    if (pEvent->type() == QEvent::Resize && pObject == m_pGrid->viewport())
        KeepOnCell();
    // Ctrl+Delete (which a text box would take as "delete the word") and Ctrl+Enter are the
    // window's keys for removing the row and confirming: let them through to it.
    const bool bFloating =
        pObject == m_pEditText || pObject == m_comboSort || pObject == m_comboRowBank;
    if (pEvent->type() == QEvent::ShortcutOverride && bFloating) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if ((pKey->modifiers() & Qt::ControlModifier) &&
            (pKey->key() == Qt::Key_Delete || pKey->key() == Qt::Key_Return ||
             pKey->key() == Qt::Key_Enter)) {
            pEvent->ignore();
            return true;
        }
    }
    if (pEvent->type() == QEvent::KeyPress && bFloating &&
        EditorKey(static_cast<QKeyEvent*>(pEvent)))
        return true;
    return QObject::eventFilter(pObject, pEvent);
}

void CGridCellEditor::Commit() {
    if (m_nCol == ColBank && m_comboRowBank->isVisible() && m_comboRowBank->currentIndex() >= 0)
        m_pGrid->SetTextMatrix(m_nRow, ColBank, m_comboRowBank->currentText());
    if (m_nCol != ColSort || !m_comboSort->isVisible())
        return;
    if (m_pSortList->isVisible())
        CloseCategoryFilter(true);
    else if (m_comboSort->currentIndex() >= 0)
        OnCategoryChosen(m_comboSort->currentIndex());
}

bool CGridCellEditor::EditorKey(QKeyEvent* pKey) {
    const bool bEnter = pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter;
    const bool bAlt = pKey->modifiers() & Qt::AltModifier;
    const bool bInCategory = m_nCol == ColSort && m_comboSort->isVisible();
    const bool bLeaving = bEnter || pKey->key() == Qt::Key_Tab || pKey->key() == Qt::Key_Backtab;
    if (bInCategory && m_pSortList->isVisible()) {
        // While filtering, Up / Down walk the matches and Esc drops the typed text only.
        if ((pKey->key() == Qt::Key_Up || pKey->key() == Qt::Key_Down) && !bAlt) {
            int nRow = m_pSortList->currentRow() + (pKey->key() == Qt::Key_Up ? -1 : 1);
            if (m_pSortList->currentRow() < 0 && pKey->key() == Qt::Key_Up)
                nRow = m_pSortList->count() - 1;
            if (nRow >= 0 && nRow < m_pSortList->count() &&
                (m_pSortList->item(nRow)->flags() & Qt::ItemIsEnabled))
                m_pSortList->setCurrentRow(nRow);
            return true;
        }
        if (pKey->key() == Qt::Key_Escape) {
            CloseCategoryFilter(false);
            return true;
        }
        // Several matches and none picked yet: leaving would have to guess, so the list stays.
        if (bLeaving && !m_pSortList->currentItem() && m_pSortList->count() > 1) {
            Q_EMIT StatusText(ChooseMatchHint());
            return true;
        }
        if (bLeaving)
            CloseCategoryFilter(true);
    }
    // The entry shown in a list is taken on leaving the cell, as a click on it would.
    const bool bMoving = bLeaving || pKey->key() == Qt::Key_Up || pKey->key() == Qt::Key_Down;
    if (bInCategory && bMoving && m_comboSort->currentIndex() >= 0 && !bAlt)
        OnCategoryChosen(m_comboSort->currentIndex());
    if (m_nCol == ColBank && bMoving && !bAlt)
        Commit();
    switch (pKey->key()) {
    case Qt::Key_Escape:
        Q_EMIT MoveAsked(EMove::Escape);
        return true;
    case Qt::Key_Tab:
        Q_EMIT MoveAsked(EMove::Next);
        return true;
    case Qt::Key_Backtab:
        Q_EMIT MoveAsked(EMove::Prev);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT MoveAsked(EMove::NextOrNew);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (bAlt)
            return false; // Alt+Down opens the category list
        Q_EMIT MoveAsked(pKey->key() == Qt::Key_Up ? EMove::Up : EMove::Down);
        return true;
    default:
        return false;
    }
}

void CGridCellEditor::OnCategoryTyped(const QString& strTyped) {
    if (strTyped.trimmed().isEmpty()) {
        m_pSortList->hide();
        return;
    }
    m_pSortList->clear();
    const QStringList matches = Matching(strTyped);
    m_pSortList->addItems(matches);
    if (matches.isEmpty()) {
        auto* pNone = new QListWidgetItem(tr("没有相符的类型"), m_pSortList);
        pNone->setFlags(Qt::NoItemFlags);
    } else if (matches.size() == 1) {
        m_pSortList->setCurrentRow(0);
    } else {
        // Initials shared by several names ("fzzc": 服装支出 and 房租支出) pick none of them:
        // the user chooses with the arrows or a click.
        m_pSortList->setCurrentRow(-1);
        Q_EMIT StatusText(ChooseMatchHint());
    }
    // Below the cell, or above it when the grid has no room left underneath.
    const QRect cell = m_pGrid->CellRect(m_nRow, ColSort, m_pGrid->viewport());
    const int nFrame = 2 * m_pSortList->frameWidth();
    const int nRows = std::min(m_pSortList->count(), 8);
    const int nHeight = nRows * m_pSortList->sizeHintForRow(0) + nFrame;
    const int nWidth =
        std::max(cell.width(), m_pSortList->sizeHintForColumn(0) + nFrame +
                                   m_pSortList->verticalScrollBar()->sizeHint().width());
    int nTop = cell.bottom() + 1;
    if (nTop + nHeight > m_pGrid->viewport()->height() && cell.top() - nHeight >= 0)
        nTop = cell.top() - nHeight;
    m_pSortList->setGeometry(cell.left(), nTop, nWidth, nHeight);
    m_pSortList->show();
    m_pSortList->raise();
}

QString CGridCellEditor::ChooseMatchHint() const {
    return tr("有 %1 个相符的类型，请用 ↑ ↓ 选中一个再按 Enter 或 Tab，或用鼠标点选")
        .arg(m_pSortList->count());
}

void CGridCellEditor::CloseCategoryFilter(bool bTake) {
    const QListWidgetItem* pItem = m_pSortList->currentItem();
    const int nIndex = bTake && pItem ? m_comboSort->findText(pItem->text(), Qt::MatchExactly) : -1;
    m_pSortList->hide();
    if (nIndex >= 0) {
        m_comboSort->setCurrentIndex(nIndex);
        OnCategoryChosen(nIndex);
        return;
    }
    // Back to the cell's own category (or none), also in the box.
    const QString strCell = m_pGrid->GetTextMatrix(m_nRow, ColSort);
    m_comboSort->setCurrentIndex(m_comboSort->findText(strCell, Qt::MatchExactly));
    m_comboSort->setEditText(strCell);
}

void CGridCellEditor::OnTextEdited(const QString& strText) {
    if (m_nRow < 1 || m_nRow >= m_pGrid->GetRows() || m_nCol < ColNote)
        return;
    // The cell shows the amount as it will be stored, or the text itself while it is not an
    // amount (confirming then says why); the editor keeps what was typed.
    m_pGrid->SetTextMatrix(m_nRow, m_nCol, m_nCol == ColAmount ? AmountCell(strText) : strText);
}

void CGridCellEditor::OnCategoryChosen(int nIndex) {
    if (m_nRow < 1 || m_nRow >= m_pGrid->GetRows() || m_nCol != ColSort)
        return;
    m_pGrid->SetTextMatrix(m_nRow, m_nCol, m_comboSort->itemText(nIndex));
}

QString CGridCellEditor::AmountCell(const QString& strTyped) {
    std::int64_t nCents = 0;
    const CMoney::EParse eParse = CMoney::Parse(strTyped, nCents);
    if (eParse == CMoney::EParse::Ok || eParse == CMoney::EParse::Empty)
        return CMoney::Format(CMoney::FromCents(nCents));
    return strTyped;
}
