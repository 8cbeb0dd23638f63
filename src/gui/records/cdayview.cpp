#include "records/cdayview.h"

#include "accounts/caccountlist.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "plans/cbudget.h"
#include "records/ccategorybook.h"
#include "records/cdaybook.h"
#include "records/cdayconflict.h"
#include "records/cemptyday.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QString g_strLocked = QStringLiteral("※"); // a row that cannot be edited now
const QString g_strOpen = QStringLiteral("￥");  // a row that can
const QString g_strBoth = QStringLiteral("！");  // a row both copies changed: chosen above
// The other copy's rows after a conflict: those both changed, and those only it wrote.
const QColor g_colorBoth(0xff, 0xcc, 0x80);
const QColor g_colorOther(0xff, 0xf3, 0xc4);

QString Id(int nId) {
    return QString::number(nId);
}

QLineEdit* ReadOnlyBox(int nId, QWidget* pParent) {
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(Id(nId));
    pEdit->setReadOnly(true);
    return pEdit;
}

QGroupBox* Framed(const QString& strTitle, QWidget* pControl, QWidget* pParent) {
    auto* pBox = new QGroupBox(strTitle, pParent);
    auto* pLayout = new QVBoxLayout(pBox);
    pLayout->addWidget(pControl);
    pBox->setMinimumWidth(160);
    return pBox;
}
} // namespace

CDayView::CDayView(ERecordKind eKind, const CSession* pSession, QWidget* pParent)
    : CFormView(pSession, pParent), m_eKind(eKind) {
    const bool bIncome = eKind == ERecordKind::Income;
    QWidget* pForm = Form();

    m_pEditUser = ReadOnlyBox(IDC_EDIT_USER, pForm);
    m_pEditDate = ReadOnlyBox(IDC_EDIT_DATE, pForm);
    m_pEditTotal = ReadOnlyBox(IDC_EDIT_TOTAL, pForm);
    m_comboBank = new QComboBox(pForm);
    m_comboBank->setObjectName(Id(IDC_COMBO_BANK));
    m_comboBank->setMaxVisibleItems(10);
    m_pTotalBox = Framed(bIncome ? tr("总收入金额") : tr("总支出金额"), m_pEditTotal, pForm);
    // Under the total, the accounts it sums; never widens the box (a long name is elided,
    // its tip tells it whole).
    m_pTotalAccounts = new QLabel(m_pTotalBox);
    m_pTotalAccounts->setObjectName(Id(IDC_TOTAL_ACCOUNTS));
    m_pTotalAccounts->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_pTotalBox->layout()->addWidget(m_pTotalAccounts);
    m_pTotalAccounts->installEventFilter(this);

    auto* pBoxes = new QGridLayout;
    pBoxes->addWidget(Framed(tr("用户名"), m_pEditUser, pForm), 0, 0);
    pBoxes->addWidget(Framed(tr("日期"), m_pEditDate, pForm), 0, 1);
    pBoxes->addWidget(Framed(tr("账号"), m_comboBank, pForm), 1, 0);
    pBoxes->addWidget(m_pTotalBox, 1, 1);

    auto button = [pForm](int nId, const QString& strText) {
        auto* pButton = new QPushButton(strText, pForm);
        pButton->setObjectName(Id(nId));
        pButton->setMinimumSize(80, 40);
        pButton->setAutoDefault(false);
        return pButton;
    };
    m_pNav[0] = button(IDC_PREV_DAY, tr("前一日"));
    m_pNav[1] = button(IDC_NEXT_DAY, tr("后一日"));
    m_pNav[2] = button(IDC_FIRST_DAY, tr("第一日"));
    m_pNav[3] = button(IDC_LAST_DAY, tr("最后日"));
    m_pAdd = button(IDC_ADD, tr("新增"));
    m_pModify = button(IDC_MODIFY, tr("修改"));
    m_pConfirm = button(IDC_CONFIRM, tr("确定"));
    m_pCancel = button(IDC_CANCEL, tr("取消"));
    m_pDeleteRow = button(IDC_DELETE_ROW, tr("删除"));
    m_pDeleteRow->setToolTip(tr("删除选中的一行（按“确定”后才写入账本）"));
    m_pDeleteDay = button(IDC_DELETE_DAY, tr("删除此日"));
    m_pDeleteDay->setToolTip(tr("删除没有任何记录的这一天"));
    auto* pButtons = new QGridLayout;
    pButtons->setHorizontalSpacing(6); // five buttons a row still fit a 1024 pixels wide window
    for (int i = 0; i < 4; ++i)
        pButtons->addWidget(m_pNav[i], 0, i);
    pButtons->addWidget(m_pAdd, 1, 0);
    pButtons->addWidget(m_pModify, 1, 1);
    pButtons->addWidget(m_pConfirm, 1, 2);
    pButtons->addWidget(m_pCancel, 1, 3);
    pButtons->addWidget(m_pDeleteRow, 1, 4);
    pButtons->addWidget(m_pDeleteDay, 0, 4);

    auto* pTop = new QHBoxLayout;
    pTop->addLayout(pBoxes);
    pTop->addSpacing(8);
    pTop->addLayout(pButtons);
    pTop->addStretch(1);

    m_gridRecords = new CMsflexgrid1(pForm);
    m_gridRecords->setObjectName(Id(IDC_GRID_RECORDS));
    m_gridRecords->SetCols(CGridCellEditor::ColLast + 1);
    m_gridSummary = new CMsflexgrid1(pForm);
    m_gridSummary->setObjectName(Id(IDC_GRID_SUMMARY));
    m_gridSummary->SetCols(3);
    m_gridSummary->SetRows(2);
    auto* pGrids = new QHBoxLayout;
    pGrids->addWidget(m_gridRecords, 2);
    pGrids->addWidget(m_gridSummary, 1);

    // Only after a conflict: the rows both copies changed, one choice each.
    m_pConflictBox = new QGroupBox(tr("与另一个窗口或另一台电脑的改动冲突"), pForm);
    m_pConflictBox->setObjectName(Id(IDC_CONFLICT));
    m_pConflictBox->hide();

    auto* pLayout = new QVBoxLayout(pForm);
    pLayout->addLayout(pTop);
    pLayout->addWidget(m_pConflictBox);
    pLayout->addLayout(pGrids, 1);

    m_pCellEditor = new CGridCellEditor(eKind, m_gridRecords);
    connect(m_pCellEditor, &CGridCellEditor::MoveAsked, this, &CDayView::OnEditorMove);
    connect(m_pCellEditor, &CGridCellEditor::StatusText, this, &CFormView::StatusText);

    connect(m_pNav[0], &QPushButton::clicked, this, &CDayView::GoPrevDay);
    connect(m_pNav[1], &QPushButton::clicked, this, &CDayView::GoNextDay);
    connect(m_pNav[2], &QPushButton::clicked, this, &CDayView::GoFirstDay);
    connect(m_pNav[3], &QPushButton::clicked, this, &CDayView::GoLastDay);
    connect(m_pAdd, &QPushButton::clicked, this, &CDayView::OnAdd);
    connect(m_pModify, &QPushButton::clicked, this, &CDayView::OnModify);
    connect(m_pConfirm, &QPushButton::clicked, this, &CDayView::OnConfirm);
    connect(m_pCancel, &QPushButton::clicked, this, &CDayView::OnCancel);
    connect(m_pDeleteRow, &QPushButton::clicked, this, &CDayView::OnDeleteRow);
    connect(m_pDeleteDay, &QPushButton::clicked, this, &CDayView::OnDeleteDay);
    // The Delete key and a right click on a row remove it too.
    m_gridRecords->installEventFilter(this);
    m_gridRecords->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_gridRecords, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int nRow = m_gridRecords->rowAt(pos.y()) + 1;
        if (!IsEditing() || nRow < 1 || nRow >= m_nRows)
            return;
        QMenu menu(this);
        QAction* pDelete = menu.addAction(tr("删除此行"));
        if (menu.exec(m_gridRecords->viewport()->mapToGlobal(pos)) == pDelete) {
            m_nClickRow = nRow;
            OnDeleteRow();
        }
    });
    connect(m_comboBank, qOverload<int>(&QComboBox::activated), this, &CDayView::OnAccountChange);
    connect(m_gridRecords, &CMsflexgrid1::Click, this, &CDayView::PlaceEditor);
    SetEditingButtons(false, false);
}

QString CDayView::CategoryMessage() const {
    return m_eKind == ERecordKind::Income ? tr("请保证收入类型栏不为空!")
                                          : tr("请保证支出类型栏不为空!");
}

QString CDayView::AmountMessage(int nRow) const {
    return (m_eKind == ERecordKind::Income
                ? tr("第 %1 行的收入金额是 0，请填写这笔收入的金额，例如 12.50。"
                     "不要的行请按“删除”。")
                : tr("第 %1 行的支出金额是 0，请填写这笔支出的金额，例如 12.50。"
                     "不要的行请按“删除”。"))
        .arg(nRow);
}

void CDayView::OnInitialUpdate() {
    const bool bIncome = m_eKind == ERecordKind::Income;
    m_gridRecords->hide();
    m_gridSummary->hide();
    FillAccountList();
    FillCategoryList();
    if (m_comboBank->count() > 0) {
        m_comboBank->setCurrentIndex(0);
        m_strBank = m_comboBank->itemText(0);
    }
    m_strDate = QStringLiteral("2004-3-2");
    m_strTotal = QStringLiteral("￥2000");

    const QStringList headers = {bIncome ? tr("收入类型") : tr("支出类型"), tr("摘要"),
                                 bIncome ? tr("收入金额") : tr("支出金额"), tr("账号")};
    m_gridRecords->SetRow(0);
    for (int nCol = 1; nCol <= CGridCellEditor::ColLast; ++nCol) {
        m_gridRecords->SetCol(nCol);
        m_gridRecords->SetText(headers[nCol - 1]);
    }
    const int recordWidths[] = {500, 1700, 2000, 1500, 1400};
    for (int nCol = 0; nCol <= CGridCellEditor::ColLast; ++nCol)
        m_gridRecords->SetColWidth(nCol, recordWidths[nCol]);
    m_gridSummary->SetRow(0);
    m_gridSummary->SetCol(1);
    m_gridSummary->SetText(tr("账号"));
    m_gridSummary->SetCol(2);
    m_gridSummary->SetText(bIncome ? tr("收入") : tr("支出"));
    const int summaryWidths[] = {500, 1600, 1600};
    for (int nCol = 0; nCol < 3; ++nCol)
        m_gridSummary->SetColWidth(nCol, summaryWidths[nCol]);
    // Wide enough for every column without a horizontal scroll bar, and both grids together
    // still fit beside the tree in a 1024 pixels wide window.
    const int nScroll = m_gridRecords->verticalScrollBar()->sizeHint().width() + 4;
    m_gridRecords->setMinimumWidth(m_gridRecords->CellRect(0, CGridCellEditor::ColLast).right() +
                                   nScroll);
    // The summary has nothing to show beyond its columns; the records grid takes the rest.
    m_gridSummary->setFixedWidth(m_gridSummary->CellRect(0, 2).right() + nScroll);

    m_pCellEditor->Close();
    m_gridRecords->show();
    m_gridSummary->show();
    // The outlay view opens on the latest day; the income view waits to be told a day.
    if (!bIncome)
        GoLastDay();
    UpdateData(false);
}

void CDayView::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate)
        return; // the boxes are read-only
    m_pEditUser->setText(SessionUser());
    m_pEditDate->setText(m_strDate);
    m_pEditTotal->setText(m_strTotal);
}

// The user's categories offered for new rows, read again as an edit begins, so a list
// another copy changed is offered without waiting for a refresh.
void CDayView::FillCategoryList() {
    QStringList names;
    if (CMessageBox::Guarded(this, [&] { names = CCategoryBook(m_eKind, SessionUser()).Names(); }))
        m_pCellEditor->SetCategories(names);
}

void CDayView::FillAccountList() {
    m_comboBank->clear();
    CMessageBox::Guarded(
        this, [&] { m_comboBank->addItems(CDayBook(m_eKind, SessionUser()).Accounts()); });
    QStringList accounts;
    for (int i = 0; i < m_comboBank->count(); ++i)
        accounts << m_comboBank->itemText(i);
    m_pCellEditor->SetAccounts(accounts);
}

// ---------------------------------------------------------------- showing a day

void CDayView::ShowScope(const CScope& scope) {
    if (scope.eLevel != CScope::Day)
        return;
    if (!LeaveEdit()) {
        // The edit stays open on its day: the tree goes back to it.
        Q_EMIT DayShown(m_editDay);
        return;
    }
    m_nYear = scope.date.year();
    m_nMonth = scope.date.month();
    m_nDay = scope.date.day();
    ShowCurrentDay();
}

bool CDayView::ShowRecord(const QDate& day, const QString& strBank, qint64 nId) {
    if (!LeaveEdit())
        return false;
    const int nBank = m_comboBank->findText(strBank, Qt::MatchExactly);
    if (nBank < 0)
        return false;
    {
        const QSignalBlocker blocker(m_comboBank);
        m_comboBank->setCurrentIndex(nBank);
    }
    m_strBank = strBank;
    MoveToDay(day);
    const int nRow = m_edit.RowOf(nId);
    if (nRow < 0)
        return false;
    m_nClickRow = nRow + 1;
    m_gridRecords->setCurrentIndex(m_gridRecords->model()->index(nRow, 0));
    m_gridRecords->scrollTo(m_gridRecords->currentIndex());
    m_gridRecords->setFocus();
    return true;
}

void CDayView::ShowCurrentDay() {
    if (IsEditing()) {
        // The rows being typed belong to the day on screen; never move them to another one.
        m_nYear = m_editDay.year();
        m_nMonth = m_editDay.month();
        m_nDay = m_editDay.day();
        Q_EMIT StatusText(tr("正在编辑记录，请先确定或取消后再选择其他日期"));
        Q_EMIT DayShown(m_editDay);
        return;
    }
    if (m_comboBank->count() == 0) {
        // The accounts could not be read when the view opened (the server was away): the
        // summary lists them, so read them now.
        const QSignalBlocker blocker(m_comboBank);
        FillAccountList();
        if (m_comboBank->count() > 0) {
            m_comboBank->setCurrentIndex(0);
            m_strBank = m_comboBank->itemText(0);
        }
    }
    m_strDate = QString::asprintf("%d-%d-%d", m_nYear, m_nMonth, m_nDay);
    UpdateData(false);
    // A day is shown whole or empty under its heading, never with another day's rows: when
    // its totals cannot be read (the server went away), its rows are not read either.
    if (ShowDaySummary(m_nYear, m_nMonth, m_nDay)) {
        // A day without records in the account shown opens on one that has some.
        if (!m_dayAccounts.isEmpty() && !m_dayAccounts.contains(m_strBank)) {
            m_strBank = m_dayAccounts.first();
            const QSignalBlocker blocker(m_comboBank);
            m_comboBank->setCurrentIndex(m_comboBank->findText(m_strBank, Qt::MatchExactly));
        }
        LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
    } else {
        m_nRows = 1;
        m_gridRecords->SetRows(1);
        m_edit.Clear();
    }
    m_bDayShown = true;
    Q_EMIT DayShown(CurrentDay());
}

void CDayView::LoadDay(int nYear, int nMonth, int nDay, const QString& strBank) {
    m_nRows = 1;
    m_gridRecords->SetRows(1);
    m_edit.Clear();
    QVector<SDayRecord> rows;
    if (!CMessageBox::Guarded(this, [&] {
            rows = CDayBook(m_eKind, SessionUser()).LoadDay(QDate(nYear, nMonth, nDay), strBank);
        }))
        return;
    for (const SDayRecord& r : rows)
        AppendGridRow(r);
    m_edit.Load(rows);
}

void CDayView::AppendGridRow(const SDayRecord& r) {
    ++m_nRows;
    m_gridRecords->SetRows(m_nRows);
    m_gridRecords->SetTextMatrix(m_nRows - 1, 1, r.strSort);
    m_gridRecords->SetTextMatrix(m_nRows - 1, 2, r.strNote);
    m_gridRecords->SetTextMatrix(m_nRows - 1, 3, CMoney::Format(r.dAmount));
    m_gridRecords->SetTextMatrix(m_nRows - 1, CGridCellEditor::ColBank,
                                 r.strBank.isEmpty() ? m_strBank : r.strBank);
}

bool CDayView::ShowDaySummary(int nYear, int nMonth, int nDay) {
    m_gridSummary->SetRows(1);
    std::int64_t nTotal = 0;
    QHash<QString, std::int64_t> totals;
    if (!CMessageBox::Guarded(this, [&] {
            totals = CDayBook(m_eKind, SessionUser()).DayTotals(QDate(nYear, nMonth, nDay));
        })) {
        m_strTotal.clear();
        UpdateData(false);
        return false;
    }
    m_dayAccounts.clear();
    for (int i = 0; i < m_comboBank->count(); ++i) {
        const QString strName = m_comboBank->itemText(i);
        const std::int64_t nCents = totals.value(strName);
        nTotal += nCents;
        if (totals.contains(strName))
            m_dayAccounts << strName;
        m_gridSummary->SetRows(i + 2);
        m_gridSummary->SetTextMatrix(i + 1, 1, strName);
        m_gridSummary->SetTextMatrix(i + 1, 2, CMoney::FormatSign(CMoney::FromCents(nCents)));
    }
    m_strTotal = CMoney::FormatYuan(CMoney::FromCents(nTotal));
    // The total is of every account of the day, not only the one in the grid: say which.
    m_pTotalAccounts->setToolTip(
        m_dayAccounts.isEmpty() ? QString() : tr("合计：%1").arg(m_dayAccounts.join(tr("、"))));
    ElideTotalAccounts();
    UpdateData(false);
    return true;
}

void CDayView::OnAccountChange(int nIndex) {
    if (!LeaveEdit()) {
        // The edit stays with its account.
        m_comboBank->setCurrentIndex(m_comboBank->findText(m_strBank, Qt::MatchExactly));
        return;
    }
    m_strBank = m_comboBank->itemText(nIndex);
    UpdateData(false);
    LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
}

// ---------------------------------------------------------------- navigation

void CDayView::MoveToDay(const QDate& day) {
    m_nYear = day.year();
    m_nMonth = day.month();
    m_nDay = day.day();
    ShowCurrentDay();
}

void CDayView::StepTo(int eStep) {
    if (!LeaveEdit())
        return;
    const auto step = CDayBook::EStep(eStep);
    QDate target;
    if (!CMessageBox::Guarded(
            this, [&] { target = CDayBook(m_eKind, SessionUser()).Step(step, CurrentDay()); }))
        return;
    switch (step) {
    case CDayBook::EStep::First:
    case CDayBook::EStep::Last:
        // Already there: nothing to do, unless the boxes still hold their stand-in texts.
        if (target.isValid() && (target != CurrentDay() || !m_bDayShown))
            MoveToDay(target);
        break;
    case CDayBook::EStep::Next:
        if (target.isValid())
            MoveToDay(target);
        else
            CMessageBox::ShowMessage(tr("已经是最后一天了!"), this);
        break;
    case CDayBook::EStep::Prev:
        if (target.isValid())
            MoveToDay(target);
        else
            CMessageBox::ShowMessage(tr("已经是第一天了!"), this);
        break;
    }
}

void CDayView::GoFirstDay() {
    StepTo(int(CDayBook::EStep::First));
}
void CDayView::GoLastDay() {
    StepTo(int(CDayBook::EStep::Last));
}
void CDayView::GoPrevDay() {
    StepTo(int(CDayBook::EStep::Prev));
}
void CDayView::GoNextDay() {
    StepTo(int(CDayBook::EStep::Next));
}

// ---------------------------------------------------------------- editing

void CDayView::SetEditingButtons(bool bAdding, bool bModifying) {
    const bool bBrowsing = !bAdding && !bModifying;
    m_pAdd->setEnabled(bBrowsing);
    m_pModify->setEnabled(bBrowsing);
    m_pConfirm->setEnabled(!bBrowsing);
    m_pCancel->setEnabled(!bBrowsing);
    m_pDeleteRow->setEnabled(!bBrowsing);
    m_pDeleteDay->setEnabled(bBrowsing);
    // Moving to another day or account stays possible: it asks first about the open edit.
    for (QPushButton* pNav : m_pNav)
        pNav->setEnabled(true);
    m_comboBank->setEnabled(true);
}

void CDayView::MarkRows(int nFirst, int nLast, const QString& strMark) {
    for (int nRow = nFirst; nRow <= nLast; ++nRow)
        m_gridRecords->SetTextMatrix(nRow, 0, strMark);
    MarkOtherCopysRows();
}

void CDayView::OnAdd() {
    if (IsEditing())
        return;
    // An edit offers the list as it stands now (another copy may have changed it).
    FillCategoryList();
    SetEditingButtons(true, false);
    m_bAdding = true;
    m_editDay = CurrentDay();
    AddEmptyRow();
    m_nFirstNewRow = m_nRows - 1;
    MarkRows(0, m_nRows - 2, g_strLocked);
    m_gridRecords->SetRow(m_nRows - 1);
    m_gridRecords->SetCol(0);
    m_gridRecords->SetText(g_strOpen);
    m_gridRecords->scrollToBottom();
    // Typing can start at once, in the new row's category.
    EditCell(m_nRows - 1, 1);
}

void CDayView::OnModify() {
    if (IsEditing() || (m_eKind == ERecordKind::Income && m_nRows < 2))
        return;
    FillCategoryList();
    SetEditingButtons(false, true);
    m_bModifying = true;
    m_editDay = CurrentDay();
    MarkRows(1, m_nRows - 1, g_strOpen);
    // The keys go on in the grid: arrows choose a cell, typing, F2 or Enter open it.
    if (CurrentRow() < 1)
        Highlight(1, 1);
    m_gridRecords->setFocus();
}

bool CDayView::IsRowOpen(int nRow) const {
    return (m_bAdding && nRow >= m_nFirstNewRow && nRow < m_nRows) ||
           (m_bModifying && nRow >= 1 && nRow < m_nRows && !IsConflictRow(nRow));
}

void CDayView::PlaceEditor() {
    EditCell(m_gridRecords->GetMouseRow(), m_gridRecords->GetMouseCol());
}

void CDayView::EditCell(int nRow, int nCol) {
    if (!IsRowOpen(nRow) || nCol < 1 || nCol > CGridCellEditor::ColLast)
        return;
    m_nClickRow = nRow;
    Highlight(nRow, nCol);
    m_pCellEditor->Open(nRow, nCol);
}

void CDayView::ElideTotalAccounts() {
    const QString strFull = m_pTotalAccounts->toolTip();
    m_pTotalAccounts->setText(m_pTotalAccounts->fontMetrics().elidedText(
        strFull, Qt::ElideRight, std::max(0, m_pTotalAccounts->width())));
}

bool CDayView::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (pObject == m_pTotalAccounts && pEvent->type() == QEvent::Resize)
        ElideTotalAccounts();
    // The scroll area filters its form too, from before the grid exists.
    if (m_gridRecords && pObject == m_gridRecords && pEvent->type() == QEvent::KeyPress &&
        GridKey(static_cast<QKeyEvent*>(pEvent)))
        return true;
    return CFormView::eventFilter(pObject, pEvent);
}

bool CDayView::GridKey(QKeyEvent* pKey) {
    if (!IsEditing())
        return false;
    const int nRow = CurrentRow();
    const Qt::KeyboardModifiers eMods = pKey->modifiers() & ~Qt::KeypadModifier;
    if (pKey->key() == Qt::Key_Delete && eMods == Qt::NoModifier) {
        DeleteCurrentRow();
        return true;
    }
    if (!IsRowOpen(nRow))
        return false;
    if ((pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter) &&
        eMods == Qt::NoModifier) {
        EditCell(nRow, CurrentCol());
        return true;
    }
    // Typing on a highlighted cell opens it with what was typed, as a spreadsheet does.
    const QString strText = pKey->text();
    if (!strText.isEmpty() && strText.at(0).isPrint() &&
        !(eMods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        m_nClickRow = nRow;
        Highlight(nRow, CurrentCol());
        m_pCellEditor->OpenTyping(nRow, CurrentCol(), strText);
        return true;
    }
    return false;
}

int CDayView::CurrentRow() const {
    const QModelIndex index = m_gridRecords->currentIndex();
    return index.isValid() ? index.row() + 1 : 0;
}

int CDayView::CurrentCol() const {
    const QModelIndex index = m_gridRecords->currentIndex();
    return index.isValid() ? std::clamp(index.column() + 1, 1, int(CGridCellEditor::ColLast)) : 1;
}

void CDayView::Highlight(int nRow, int nCol) {
    if (nRow >= 1 && nRow < m_nRows)
        m_gridRecords->setCurrentIndex(m_gridRecords->model()->index(nRow - 1, nCol - 1));
}

void CDayView::StartAdding() {
    if (!IsEditing())
        OnAdd();
}

void CDayView::StartModifying() {
    if (!IsEditing()) {
        OnModify();
        return;
    }
    if (!m_pCellEditor->IsOpen())
        EditCell(CurrentRow(), CurrentCol());
}

void CDayView::DeleteCurrentRow() {
    if (!IsEditing())
        OnModify();
    if (!IsEditing())
        return;
    const int nRow = m_pCellEditor->IsOpen() ? m_pCellEditor->Row() : CurrentRow();
    if (nRow < 1)
        return;
    m_nClickRow = nRow;
    OnDeleteRow();
}

void CDayView::ConfirmTyped() {
    if (!IsEditing())
        return;
    m_pCellEditor->Commit();
    DropEmptyNewRows();
    m_pCellEditor->Close();
    OnConfirm();
}

void CDayView::OnEditorMove(CGridCellEditor::EMove eMove) {
    using EMove = CGridCellEditor::EMove;
    switch (eMove) {
    case EMove::Escape:
        // Nothing typed yet: simply back to browsing; otherwise the unsaved-edit question.
        if (HasChanges())
            LeaveEdit();
        else
            OnCancel();
        break;
    case EMove::Next:
        StepCell(1, false);
        break;
    case EMove::Prev:
        StepCell(-1, false);
        break;
    case EMove::NextOrNew:
        StepCell(1, true);
        break;
    case EMove::Up:
    case EMove::Down:
        EditCell(m_pCellEditor->Row() + (eMove == EMove::Up ? -1 : 1), m_pCellEditor->Col());
        break;
    }
}

void CDayView::DropEmptyNewRows() {
    while (m_bAdding && m_nRows - 1 > m_nFirstNewRow) {
        const SDayRecord last = GridRow(m_nRows - 1);
        if (!last.strSort.isEmpty() || !last.strNote.isEmpty() || last.dAmount != 0.0)
            break;
        RemoveRow(m_nRows - 1);
    }
}

bool CDayView::HasChanges() const {
    if (!IsEditing())
        return false;
    const SDayEdit edit = EditToSend();
    if (!edit.changed.isEmpty() || !edit.removed.isEmpty())
        return true;
    for (int nRow = 1; nRow < m_nRows; ++nRow) {
        if (m_edit.IsRead(nRow - 1))
            continue;
        // An amount typed and wiped again shows 0.00: not a change; text that is no amount is.
        std::int64_t nCents = 0;
        const CMoney::EParse eParse = CMoney::Parse(m_gridRecords->GetTextMatrix(nRow, 3), nCents);
        if (!m_gridRecords->GetTextMatrix(nRow, 1).isEmpty() ||
            !m_gridRecords->GetTextMatrix(nRow, 2).isEmpty() ||
            (eParse != CMoney::EParse::Empty && (eParse != CMoney::EParse::Ok || nCents != 0)))
            return true;
    }
    return false;
}

void CDayView::StepCell(int nStep, bool bNewRowAtEnd) {
    int nRow = m_pCellEditor->Row();
    int nCol = m_pCellEditor->Col() + nStep;
    // Enter leaves a row from its amount: the account cell is reached by Tab or a click.
    const int nLast = bNewRowAtEnd ? int(CGridCellEditor::ColAmount) : CGridCellEditor::ColLast;
    if (nCol > nLast) {
        nCol = 1;
        ++nRow;
    } else if (nCol < 1) {
        nCol = CGridCellEditor::ColLast;
        --nRow;
    }
    if (!IsRowOpen(nRow) && nRow == m_nRows && bNewRowAtEnd && IsEditing()) {
        // Enter on the last cell: the next record's row.
        AddEmptyRow();
        MarkRows(nRow, nRow, g_strOpen);
    }
    EditCell(nRow, nCol);
}

double CDayView::CellAmount(const QString& strCell) {
    std::int64_t nCents = 0;
    return CMoney::Parse(strCell, nCents) == CMoney::EParse::Ok ? CMoney::FromCents(nCents) : 0.0;
}

SDayRecord CDayView::GridRow(int nRow) const {
    return {m_gridRecords->GetTextMatrix(nRow, CGridCellEditor::ColSort),
            m_gridRecords->GetTextMatrix(nRow, CGridCellEditor::ColNote),
            CellAmount(m_gridRecords->GetTextMatrix(nRow, CGridCellEditor::ColAmount)), 0,
            m_gridRecords->GetTextMatrix(nRow, CGridCellEditor::ColBank)};
}

void CDayView::AddEmptyRow() {
    ++m_nRows;
    m_gridRecords->SetRows(m_nRows);
    // A new record goes into the account shown unless its account cell says otherwise.
    m_gridRecords->SetTextMatrix(m_nRows - 1, CGridCellEditor::ColBank, m_strBank);
}

SDayEdit CDayView::GridEdit() const {
    QVector<SDayRecord> rows;
    for (int nRow = 1; nRow < m_nRows; ++nRow)
        rows.append(GridRow(nRow));
    return m_edit.Edit(rows);
}

void CDayView::RemoveRow(int nRow) {
    if (nRow < 1 || nRow >= m_nRows)
        return;
    m_edit.Remove(nRow - 1);
    for (int n = nRow; n + 1 < m_nRows; ++n)
        for (int nCol = 0; nCol <= CGridCellEditor::ColLast; ++nCol)
            m_gridRecords->SetTextMatrix(n, nCol, m_gridRecords->GetTextMatrix(n + 1, nCol));
    --m_nRows;
    m_gridRecords->SetRows(m_nRows);
    MarkOtherCopysRows();
}

bool CDayView::SaveGridRows(const SDayEdit& edit) {
    // Outlay that takes a budget of the month past 100 % is said in the status bar.
    const bool bBudgets = m_eKind == ERecordKind::Outlay;
    QVector<CBudget::SLine> before;
    if (bBudgets)
        before = BudgetLines();
    bool bConflict = false;
    QVector<SDayConflictRow> conflict;
    const bool bSaved = CMessageBox::Guarded(this, [&] {
        try {
            CDayBook(m_eKind, SessionUser())
                .Confirm(CurrentDay(), m_strBank, edit, Session() ? Session()->UserId() : 0);
        } catch (const CDayConflict& e) {
            bConflict = true; // shown below, with the day as it is now
            conflict = e.m_rows;
        }
    });
    if (bConflict) {
        ShowConflict(edit, conflict);
        CMessageBox::ShowMessage(
            tr("在您编辑期间，这一天的记录已被另一个窗口或另一台电脑改动，您的修改没有保存。\n"
               "表格里现在是这一天最新的记录，您其余的修改已放回表格。"
               "两边都改过的行标有“！”：请在表格上方逐行选择保留对方的还是您的，"
               "再按“确定”；按“取消”则保留对方改好的这一天。"),
            this);
        return false;
    }
    if (bSaved && bBudgets && !before.isEmpty()) {
        const QString strCrossed = CBudget::CrossedText(before, BudgetLines());
        if (!strCrossed.isEmpty())
            Q_EMIT StatusText(strCrossed);
    }
    return bSaved;
}

QVector<CBudget::SLine> CDayView::BudgetLines() const {
    try {
        return CBudget::MonthLines(SessionUser(), CurrentDay());
    } catch (const CDBException&) {
        return {}; // only a hint depends on them: the records are what must be saved
    }
}

// After a refused confirm: the day as it is now, then the rest of what was typed here on top
// of it — a changed row still there takes the typed values again, a removed one goes again,
// everything else comes back as a new row — all open for editing, so nothing typed is lost.
// The rows both copies changed keep the other copy's values until a choice says otherwise.
void CDayView::ShowConflict(const SDayEdit& sent, const QVector<SDayConflictRow>& rows) {
    const QVector<SDayRecord> before = m_edit.Read();
    m_pCellEditor->Close();
    LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
    ShowDaySummary(m_nYear, m_nMonth, m_nDay);
    m_conflict = rows;
    const auto inConflict = [&rows](qint64 nId) {
        return std::any_of(rows.cbegin(), rows.cend(),
                           [nId](const SDayConflictRow& row) { return row.read.nId == nId; });
    };
    // The rows only the other copy added or changed, told by their tips.
    m_otherRows.clear();
    for (const SDayRecord& now : m_edit.Read()) {
        if (inConflict(now.nId))
            continue;
        const auto it = std::find_if(before.cbegin(), before.cend(),
                                     [&now](const SDayRecord& r) { return r.nId == now.nId; });
        if (it == before.cend())
            m_otherRows.insert(now.nId, tr("这一行是另一个窗口或另一台电脑新增的。"));
        else if (it->strSort != now.strSort || it->strNote != now.strNote ||
                 it->strBank != now.strBank ||
                 CMoney::ToCents(it->dAmount) != CMoney::ToCents(now.dAmount))
            m_otherRows.insert(
                now.nId, tr("另一个窗口或另一台电脑改动了这一行，原来是：%1").arg(RowText(*it)));
    }
    QVector<SDayRecord> extra = sent.added;
    for (const SDayEdit::SChange& change : sent.changed) {
        if (inConflict(change.loaded.nId))
            continue;
        const int nRow = m_edit.RowOf(change.loaded.nId) + 1;
        if (nRow == 0) {
            extra.append(change.now);
            continue;
        }
        m_gridRecords->SetTextMatrix(nRow, 1, change.now.strSort);
        m_gridRecords->SetTextMatrix(nRow, 2, change.now.strNote);
        m_gridRecords->SetTextMatrix(nRow, 3, CMoney::Format(change.now.dAmount));
        m_gridRecords->SetTextMatrix(nRow, CGridCellEditor::ColBank, change.now.strBank);
    }
    for (const SDayRecord& r : sent.removed)
        if (!inConflict(r.nId))
            RemoveRow(m_edit.RowOf(r.nId) + 1);
    for (SDayRecord r : extra) {
        r.nId = 0;
        AppendGridRow(r);
    }
    m_bAdding = false;
    m_bModifying = true;
    SetEditingButtons(false, true);
    FillConflictBox();
    MarkRows(1, m_nRows - 1, g_strOpen);
}

void CDayView::FillConflictBox() {
    // Made anew for each conflict: it has a row for each row in it.
    qDeleteAll(m_pConflictBox->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
    delete m_pConflictBox->layout();
    m_keepMine.clear();
    auto* pGrid = new QGridLayout(m_pConflictBox);
    pGrid->setVerticalSpacing(2);
    auto* pHint = new QLabel(tr("标“！”的行两边都改过。请逐行选择保留哪一份，再按“确定”；"
                                "按“取消”则全部保留对方的。"),
                             m_pConflictBox);
    pHint->setWordWrap(true);
    pGrid->addWidget(pHint, 0, 0, 1, 4);
    const QStringList headers = {tr("原来的记录"), tr("另一个窗口或另一台电脑改为"),
                                 tr("您输入的")};
    for (int nCol = 0; nCol < headers.size(); ++nCol) {
        auto* pHeader = new QLabel(QStringLiteral("<b>%1</b>").arg(headers[nCol].toHtmlEscaped()),
                                   m_pConflictBox);
        pGrid->addWidget(pHeader, 1, nCol);
    }
    // A long note is cut short, never the amount; the tip tells the row whole.
    const auto cell = [this](const SDayRecord& r, bool bGone, const QString& strGone) {
        auto* pLabel = new QLabel(m_pConflictBox);
        pLabel->setTextFormat(Qt::PlainText);
        if (bGone) {
            pLabel->setText(strGone);
            return pLabel;
        }
        // Three of them and the choice still fit a 1024 pixels wide window.
        constexpr int nWidth = 190;
        SDayRecord shortened = r;
        shortened.strNote.clear();
        const int nRoom = nWidth - pLabel->fontMetrics().horizontalAdvance(RowText(shortened) +
                                                                           QStringLiteral(" · "));
        shortened.strNote =
            pLabel->fontMetrics().elidedText(r.strNote, Qt::ElideRight, std::max(nRoom, 24));
        pLabel->setText(RowText(shortened));
        if (shortened.strNote != r.strNote)
            pLabel->setToolTip(RowText(r));
        return pLabel;
    };
    for (int i = 0; i < m_conflict.size(); ++i) {
        const SDayConflictRow& row = m_conflict[i];
        pGrid->addWidget(cell(row.read, false, QString()), i + 2, 0);
        pGrid->addWidget(cell(row.stored, row.bRemovedThere, tr("（已删除）")), i + 2, 1);
        pGrid->addWidget(cell(row.typed, row.bRemovedHere, tr("（删除）")), i + 2, 2);
        auto* pTheirs = new QRadioButton(tr("保留对方的"), m_pConflictBox);
        pTheirs->setObjectName(Id(IDC_KEEP_THEIRS));
        auto* pMine = new QRadioButton(tr("保留我的"), m_pConflictBox);
        pMine->setObjectName(Id(IDC_KEEP_MINE));
        auto* pGroup = new QButtonGroup(pTheirs);
        pGroup->addButton(pTheirs);
        pGroup->addButton(pMine);
        (row.bKeepMine ? pMine : pTheirs)->setChecked(true);
        auto* pChoice = new QHBoxLayout;
        pChoice->addWidget(pTheirs);
        pChoice->addWidget(pMine);
        pChoice->addStretch(1);
        pGrid->addLayout(pChoice, i + 2, 3);
        m_keepMine.append(pMine);
    }
    pGrid->setColumnStretch(3, 1);
    m_pConflictBox->show();
}

void CDayView::EndConflict() {
    m_conflict.clear();
    m_otherRows.clear();
    m_keepMine.clear();
    m_pConflictBox->hide();
}

void CDayView::MarkOtherCopysRows() {
    if (m_conflict.isEmpty() && m_otherRows.isEmpty())
        return;
    for (int nRow = 1; nRow < m_nRows; ++nRow) {
        const qint64 nId = m_edit.IdOf(nRow - 1);
        const auto it =
            std::find_if(m_conflict.cbegin(), m_conflict.cend(), [nId](const SDayConflictRow& row) {
                return nId != 0 && row.read.nId == nId && !row.bRemovedThere;
            });
        if (it != m_conflict.cend()) {
            m_gridRecords->SetTextMatrix(nRow, 0, g_strBoth);
            m_gridRecords->SetRowMark(nRow, g_colorBoth,
                                      tr("另一个窗口或另一台电脑已把这一行改成表格里的样子。\n%1\n"
                                         "请在表格上方选择保留哪一份。")
                                          .arg(it->bRemovedHere
                                                   ? tr("您删除了这一行。")
                                                   : tr("您输入的是：%1").arg(RowText(it->typed))));
        } else if (nId != 0 && m_otherRows.contains(nId)) {
            m_gridRecords->SetRowMark(nRow, g_colorOther, m_otherRows.value(nId));
        } else {
            m_gridRecords->SetRowMark(nRow, QColor(), QString());
        }
    }
}

bool CDayView::IsConflictRow(int nRow) const {
    const qint64 nId = m_edit.IdOf(nRow - 1);
    return nId != 0 &&
           std::any_of(m_conflict.cbegin(), m_conflict.cend(), [nId](const SDayConflictRow& row) {
               return row.read.nId == nId && !row.bRemovedThere;
           });
}

SDayEdit CDayView::EditToSend() const {
    QVector<SDayConflictRow> rows = m_conflict;
    for (int i = 0; i < rows.size(); ++i)
        rows[i].bKeepMine = m_keepMine.value(i) && m_keepMine[i]->isChecked();
    return GridEdit().Resolved(rows);
}

QString CDayView::RowText(const SDayRecord& r) const {
    QStringList parts{r.strSort};
    if (!r.strNote.isEmpty())
        parts << r.strNote;
    parts << CMoney::Format(r.dAmount);
    if (!r.strBank.isEmpty() && r.strBank != m_strBank)
        parts << r.strBank;
    return parts.join(QStringLiteral(" · "));
}

void CDayView::OnConfirm() {
    if (!IsEditing())
        return;
    for (int nRow = 1; nRow < m_nRows; ++nRow) {
        std::int64_t nCents = 0;
        const QString strCell = m_gridRecords->GetTextMatrix(nRow, 3);
        const CMoney::EParse eParse = CMoney::Parse(strCell, nCents);
        if (eParse != CMoney::EParse::Ok && eParse != CMoney::EParse::Empty) {
            CMessageBox::ShowMessage(
                tr("第 %1 行的金额：%2").arg(nRow).arg(CMoney::ParseMessage(eParse, strCell)),
                this);
            ShowProblemCell(nRow, 3);
            return;
        }
    }
    // Every row of the grid is checked, top to bottom, as the user sees them.
    QVector<SDayRecord> rows;
    for (int nRow = 1; nRow < m_nRows; ++nRow)
        rows.append(GridRow(nRow));
    const CDayBook::SProblem problem = CDayBook::Validate(rows);
    if (problem.eProblem == CDayBook::EProblem::NoCategory) {
        CMessageBox::ShowMessage(CategoryMessage(), this);
        ShowProblemCell(problem.nIndex + 1, 1);
        return;
    }
    if (problem.eProblem == CDayBook::EProblem::BadAmount) {
        CMessageBox::ShowMessage(AmountMessage(problem.nIndex + 1), this);
        ShowProblemCell(problem.nIndex + 1, 3);
        return;
    }
    if (!ConfirmAmounts(rows))
        return;
    // A failed store leaves the grid as typed and the edit open, so nothing is lost.
    if (!SaveGridRows(EditToSend()))
        return;
    EndConflict();
    m_pCellEditor->Close();
    LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
    ShowDaySummary(m_nYear, m_nMonth, m_nDay);
    SetEditingButtons(false, false);
    m_bAdding = m_bModifying = false;
    MarkRows(1, m_nRows - 1, g_strLocked);
    m_gridRecords->setFocus(); // F2 corrects what was just stored
}

bool CDayView::ConfirmAmounts(const QVector<SDayRecord>& rows) {
    // A negative amount is asked about, not refused: it books a refund (an outlay given back)
    // or the correction of an income, which a careful user does want; a stray minus sign is
    // caught by the question. Only amounts typed now are asked about, not stored ones.
    const bool bIncome = m_eKind == ERecordKind::Income;
    for (int i = 0; i < rows.size(); ++i) {
        if (CMoney::ToCents(rows[i].dAmount) >= 0 || !m_edit.IsTypedAmount(i, rows[i].dAmount))
            continue;
        ShowProblemCell(i + 1, 3);
        const QString strAmount = CMoney::Format(rows[i].dAmount);
        if (!CMessageBox::AskOkCancel(
                (bIncome ? tr("第 %1 行的收入金额是负数（%2），账号余额会因此减少。\n"
                              "确定要记一笔负的收入吗？")
                         : tr("第 %1 行的支出金额是负数（%2），账号余额会因此增加，"
                              "例如一笔退款。\n确定要记一笔负的支出吗？"))
                    .arg(i + 1)
                    .arg(strAmount),
                tr("金额为负数"), this))
            return false;
    }
    // The same question as a transfer's when an account would end below zero (a row moved
    // to another account lowers the one it leaves, or the other's).
    const QHash<QString, std::int64_t> changes = EditToSend().ChangeByAccount(m_strBank);
    QVector<CAccountList::SAccount> accounts;
    bool bRead = false;
    for (int i = 0; i < m_comboBank->count(); ++i) {
        const QString strName = m_comboBank->itemText(i);
        const std::int64_t nDelta = (bIncome ? 1 : -1) * changes.value(strName);
        if (nDelta >= 0)
            continue;
        if (!bRead &&
            !CMessageBox::Guarded(this, [&] { accounts = CAccountList::Load(SessionUser()); }))
            return false;
        bRead = true;
        // With two accounts of one name the first one entered moves, as storing does.
        const auto it = std::find_if(accounts.cbegin(), accounts.cend(), [&](const auto& account) {
            return account.strName == strName;
        });
        if (it == accounts.cend())
            continue; // storing says the account is missing
        const std::int64_t nAfter = CMoney::ToCents(it->dCash) + nDelta;
        if (nAfter >= 0)
            continue;
        if (!CMessageBox::AskOkCancel(
                (bIncome ? tr("保存后账号“%1”的余额将是 %2，低于零。\n确定要保存吗？")
                         : tr("支出后账号“%1”的余额将是 %2，低于零。\n确定要支出吗？"))
                    .arg(strName, CMoney::FormatSign(CMoney::FromCents(nAfter))),
                tr("余额不足"), this))
            return false;
    }
    return true;
}

void CDayView::ShowProblemCell(int nRow, int nCol) {
    if (nRow < 1 || nRow >= m_nRows)
        return;
    m_gridRecords->setCurrentIndex(m_gridRecords->model()->index(nRow - 1, nCol - 1));
    if (IsRowOpen(nRow))
        EditCell(nRow, nCol);
    else
        m_gridRecords->scrollTo(m_gridRecords->currentIndex());
}

void CDayView::OnCancel() {
    // Added, changed and removed rows alike go back to the day as stored.
    if (!IsEditing())
        return;
    SetEditingButtons(false, false);
    m_bAdding = m_bModifying = false;
    EndConflict();
    m_pCellEditor->Close();
    LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
    ShowDaySummary(m_nYear, m_nMonth, m_nDay);
    MarkRows(1, m_nRows - 1, g_strLocked);
}

bool CDayView::LeaveEdit() {
    if (!IsEditing())
        return true;
    switch (CMessageBox::AskSaveDiscardCancel(tr("当前记录尚未保存，是否保存？"), tr("保存记录"),
                                              this)) {
    case CMessageBox::EChoice::Save:
        m_pCellEditor->Close();
        DropEmptyNewRows();
        OnConfirm(); // a refused or failed confirm keeps the edit open, and the view stays
        return !IsEditing();
    case CMessageBox::EChoice::Discard:
        OnCancel();
        return true;
    case CMessageBox::EChoice::Cancel:
        break;
    }
    return false;
}

void CDayView::OnDeleteRow() {
    const int nRow = m_nClickRow;
    if (!IsRowOpen(nRow))
        return;
    // In an add only the new rows are open; taking the last one away is the same as 取消.
    if (m_bAdding && m_nRows - 1 == m_nFirstNewRow) {
        OnCancel();
        return;
    }
    const int nCol = m_pCellEditor->IsOpen() ? m_pCellEditor->Col() : CurrentCol();
    m_pCellEditor->Close();
    m_pCellEditor->Forget();
    RemoveRow(nRow);
    if (m_bModifying)
        MarkRows(1, m_nRows - 1, g_strOpen);
    // The highlight stays where the row was, on the row that took its place.
    Highlight(std::min(nRow, m_nRows - 1), nCol);
    m_gridRecords->setFocus();
}

void CDayView::OnDeleteDay() {
    if (IsEditing())
        return;
    const QDate day = CurrentDay();
    if (!day.isValid())
        return;
    if (!CMessageBox::AskOkCancel(
            tr("确定删除 %1年%2月%3日 这一天吗？").arg(day.year()).arg(day.month()).arg(day.day()),
            tr("删除此日"), this))
        return;
    CEmptyDay::ERemove eResult = CEmptyDay::ERemove::Removed;
    if (!CMessageBox::Guarded(this,
                              [&] { eResult = CEmptyDay::Remove(m_eKind, SessionUser(), day); }))
        return;
    if (eResult != CEmptyDay::ERemove::Removed) {
        CMessageBox::ShowMessage(CEmptyDay::Message(eResult), this);
        return;
    }
    // The tree loses the day; the view goes to the last day left.
    Q_EMIT TreeOutdated();
    GoLastDay();
}
