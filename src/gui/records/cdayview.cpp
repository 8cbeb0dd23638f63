#include "records/cdayview.h"

#include "accounts/caccountlist.h"
#include "data/cdbexception.h"
#include "data/cmoney.h"
#include "records/ccategories.h"
#include "records/ccategorybook.h"
#include "records/cdaybook.h"
#include "records/cdayconflict.h"
#include "records/cemptyday.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"
#include "widgets/cmsflexgrid1.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QString g_strLocked = QStringLiteral("※"); // a row that cannot be edited now
const QString g_strOpen = QStringLiteral("￥");  // a row that can

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

CDayView::CDayView(ERecordKind eKind, CSession* pSession, QWidget* pParent)
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
    m_gridRecords->SetCols(4);
    m_gridSummary = new CMsflexgrid1(pForm);
    m_gridSummary->setObjectName(Id(IDC_GRID_SUMMARY));
    m_gridSummary->SetCols(3);
    m_gridSummary->SetRows(2);
    auto* pGrids = new QHBoxLayout;
    pGrids->addWidget(m_gridRecords, 2);
    pGrids->addWidget(m_gridSummary, 1);

    auto* pLayout = new QVBoxLayout(pForm);
    pLayout->addLayout(pTop);
    pLayout->addLayout(pGrids, 1);

    // The floating controls live on the grid's viewport: they scroll and clip with the cells
    // they are laid over.
    m_pEditText = new QLineEdit(m_gridRecords->viewport());
    m_pEditText->setObjectName(Id(IDC_EDIT_TEXT));
    m_comboSort = new QComboBox(m_gridRecords->viewport());
    m_comboSort->setObjectName(Id(IDC_COMBO_SORT));
    m_comboSort->setMaxVisibleItems(12);
    // Typing in the category cell filters the list below it; only listed names are taken.
    m_comboSort->setEditable(true);
    m_comboSort->setInsertPolicy(QComboBox::NoInsert);
    m_comboSort->setCompleter(nullptr);
    m_pSortList = new QListWidget(m_gridRecords->viewport());
    m_pSortList->setObjectName(Id(IDC_LIST_SORT));
    m_pSortList->setFocusPolicy(Qt::NoFocus);
    m_pSortList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_comboSort->lineEdit(), &QLineEdit::textEdited, this, &CDayView::OnCategoryTyped);
    connect(m_pSortList, &QListWidget::itemClicked, this, [this](QListWidgetItem* pItem) {
        m_pSortList->setCurrentItem(pItem);
        CloseCategoryFilter(true);
        m_comboSort->setFocus();
    });
    CollapseFloating();
    m_gridRecords->viewport()->installEventFilter(this);
    m_pEditText->installEventFilter(this);
    m_comboSort->installEventFilter(this);

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
    connect(m_comboSort, qOverload<int>(&QComboBox::activated), this, &CDayView::OnCategoryChosen);
    // Only what the person types: filling the editor from its cell must not rewrite the cell.
    connect(m_pEditText, &QLineEdit::textEdited, this, &CDayView::OnEditChange);
    connect(m_gridRecords, &CMsflexgrid1::Click, this, &CDayView::PlaceEditor);
    connect(m_gridRecords, &CMsflexgrid1::Scroll, this, &CDayView::OnGridScroll);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int n) { m_nScrollY = n; });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int n) { m_nScrollX = n; });
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
    m_strUserName = SessionUser();
    FillAccountList();
    FillCategoryList();
    if (m_comboBank->count() > 0) {
        m_comboBank->setCurrentIndex(0);
        m_strBank = m_comboBank->itemText(0);
    }
    m_strDate = QStringLiteral("2004-3-2");
    m_strTotal = QStringLiteral("￥2000");

    const QStringList headers = {bIncome ? tr("收入类型") : tr("支出类型"), tr("摘要"),
                                 bIncome ? tr("收入金额") : tr("支出金额")};
    m_gridRecords->SetRow(0);
    for (int nCol = 1; nCol <= 3; ++nCol) {
        m_gridRecords->SetCol(nCol);
        m_gridRecords->SetText(headers[nCol - 1]);
    }
    const int recordWidths[] = {500, 2000, 2600, 2000};
    for (int nCol = 0; nCol < 4; ++nCol)
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
    m_gridRecords->setMinimumWidth(m_gridRecords->CellRect(0, 3).right() + nScroll);
    // The summary has nothing to show beyond its columns; the records grid takes the rest.
    m_gridSummary->setFixedWidth(m_gridSummary->CellRect(0, 2).right() + nScroll);

    CollapseFloating();
    m_gridRecords->show();
    m_gridSummary->show();
    // The outlay view opens on the latest day; the income view waits to be told a day.
    if (!bIncome)
        GoLastDay();
    UpdateData(false);
}

void CDayView::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strEditText = m_pEditText->text();
        return;
    }
    m_pEditUser->setText(m_strUserName);
    m_pEditDate->setText(m_strDate);
    m_pEditTotal->setText(m_strTotal);
    if (m_pEditText->text() != m_strEditText)
        m_pEditText->setText(m_strEditText);
}

// The user's categories offered for new rows, read again with each day shown, so a list
// another copy changed is offered after its refresh.
void CDayView::FillCategoryList() {
    QStringList names;
    if (!CMessageBox::Guarded(this, [&] { names = CCategoryBook(m_eKind, m_strUserName).Names(); }))
        return;
    QStringList now;
    for (int i = 0; i < m_comboSort->count(); ++i)
        now << m_comboSort->itemText(i);
    if (now == names)
        return;
    const QSignalBlocker blocker(m_comboSort);
    m_comboSort->clear();
    m_comboSort->addItems(names);
}

void CDayView::FillAccountList() {
    m_comboBank->clear();
    CMessageBox::Guarded(
        this, [&] { m_comboBank->addItems(CDayBook(m_eKind, m_strUserName).Accounts()); });
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
    FillCategoryList();
    m_strDate = QString::asprintf("%d-%d-%d", m_nYear, m_nMonth, m_nDay);
    UpdateData(false);
    // A day is shown whole or empty under its heading, never with another day's rows: when
    // its totals cannot be read (the server went away), its rows are not read either.
    if (ShowDaySummary(m_nYear, m_nMonth, m_nDay)) {
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
            rows = CDayBook(m_eKind, m_strUserName).LoadDay(QDate(nYear, nMonth, nDay), strBank);
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
}

bool CDayView::ShowDaySummary(int nYear, int nMonth, int nDay) {
    m_gridSummary->SetRows(1);
    std::int64_t nTotal = 0;
    QHash<QString, std::int64_t> totals;
    if (!CMessageBox::Guarded(this, [&] {
            totals = CDayBook(m_eKind, m_strUserName).DayTotals(QDate(nYear, nMonth, nDay));
        })) {
        m_strTotal.clear();
        UpdateData(false);
        return false;
    }
    for (int i = 0; i < m_comboBank->count(); ++i) {
        const QString strName = m_comboBank->itemText(i);
        const std::int64_t nCents = totals.value(strName);
        nTotal += nCents;
        m_gridSummary->SetRows(i + 2);
        m_gridSummary->SetTextMatrix(i + 1, 1, strName);
        m_gridSummary->SetTextMatrix(i + 1, 2, CMoney::FormatSign(CMoney::FromCents(nCents)));
    }
    m_strTotal = CMoney::FormatYuan(CMoney::FromCents(nTotal));
    UpdateData(false);
    return true;
}

double CDayView::SumAccountDay(int nYear, int nMonth, int nDay, const QString& strBank) {
    double dSum = 0;
    CMessageBox::Guarded(this, [&] {
        dSum = CMoney::FromCents(
            CDayBook(m_eKind, m_strUserName).SumAccountDay(QDate(nYear, nMonth, nDay), strBank));
    });
    return dSum;
}

void CDayView::OnAccountChange(int nIndex) {
    if (!LeaveEdit()) {
        // The edit stays with its account.
        m_comboBank->setCurrentIndex(m_comboBank->findText(m_strBank, Qt::MatchExactly));
        return;
    }
    UpdateData(true);
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
            this, [&] { target = CDayBook(m_eKind, m_strUserName).Step(step, CurrentDay()); }))
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
}

void CDayView::CollapseFloating() {
    m_pEditText->setGeometry(0, 0, 0, 0);
    m_pEditText->hide();
    m_comboSort->setGeometry(0, 0, 0, 0);
    m_comboSort->hide();
    m_pSortList->hide();
}

void CDayView::OnAdd() {
    SetEditingButtons(true, false);
    m_bAdding = true;
    m_editDay = CurrentDay();
    ++m_nRows;
    m_nFirstNewRow = m_nRows - 1;
    MarkRows(0, m_nRows - 2, g_strLocked);
    m_gridRecords->SetRows(m_nRows);
    m_gridRecords->SetRow(m_nRows - 1);
    m_gridRecords->SetCol(0);
    m_gridRecords->SetText(g_strOpen);
    m_gridRecords->scrollToBottom();
    // Typing can start at once, in the new row's category.
    EditCell(m_nRows - 1, 1);
}

void CDayView::OnModify() {
    if (m_eKind == ERecordKind::Income && m_nRows < 2)
        return;
    SetEditingButtons(false, true);
    m_bModifying = true;
    m_editDay = CurrentDay();
    MarkRows(1, m_nRows - 1, g_strOpen);
}

bool CDayView::IsRowOpen(int nRow) const {
    return (m_bAdding && nRow >= m_nFirstNewRow && nRow < m_nRows) ||
           (m_bModifying && nRow >= 1 && nRow < m_nRows);
}

void CDayView::PlaceEditor() {
    EditCell(m_gridRecords->GetMouseRow(), m_gridRecords->GetMouseCol());
}

void CDayView::EditCell(int nRow, int nCol) {
    if (!IsRowOpen(nRow) || nCol < 1 || nCol > 3)
        return;
    m_nClickCol = nCol;
    m_nClickRow = nRow;
    m_gridRecords->scrollTo(m_gridRecords->model()->index(nRow - 1, nCol - 1));
    const QRect rect = m_gridRecords->CellRect(m_nClickRow, m_nClickCol, m_gridRecords->viewport());
    const QString strCell = m_gridRecords->GetTextMatrix(m_nClickRow, m_nClickCol);
    if (m_nClickCol == 1) {
        m_pEditText->setGeometry(0, 0, 0, 0);
        m_pEditText->hide();
        m_comboSort->setGeometry(rect);
        m_comboSort->show();
        m_comboSort->raise();
        m_comboSort->setEnabled(true);
        m_comboSort->setFocus();
        // The list shows the cell's category, or nothing while the cell has none, so an entry
        // left over from another row never looks chosen.
        m_comboSort->setCurrentIndex(m_comboSort->findText(strCell, Qt::MatchExactly));
        // Characters typed in the cell before belong to that cell's search, not to this one.
        m_comboSort->view()->keyboardSearch(QString());
        // Typing replaces the category shown, as in the other cells.
        m_comboSort->lineEdit()->selectAll();
    } else {
        m_comboSort->hide();
        m_pSortList->hide();
        m_pEditText->setGeometry(rect);
        m_pEditText->show();
        m_pEditText->raise();
        m_pEditText->setEnabled(true);
        m_pEditText->setFocus();
        m_strEditText = strCell;
    }
    m_nEditCol = m_nClickCol;
    m_nEditRow = m_nClickRow;
    UpdateData(false);
    if (m_nEditCol != 1)
        m_pEditText->selectAll();
}

void CDayView::KeepFloatingOnCell() {
    if (m_nEditRow < 1 || m_nEditRow >= m_nRows)
        return;
    QWidget* pFloating = m_nEditCol == 1 ? static_cast<QWidget*>(m_comboSort) : m_pEditText;
    if (pFloating->isVisible())
        pFloating->setGeometry(
            m_gridRecords->CellRect(m_nEditRow, m_nEditCol, m_gridRecords->viewport()));
}

void CDayView::OnGridScroll() {
    m_nGridTop = m_gridRecords->GetTopRow() - 1;
    KeepFloatingOnCell();
}

bool CDayView::eventFilter(QObject* pObject, QEvent* pEvent) {
    // The scroll area filters its form too, from before the grid exists.
    if (m_gridRecords && pObject == m_gridRecords->viewport() && pEvent->type() == QEvent::Resize)
        KeepFloatingOnCell();
    if (pEvent->type() == QEvent::KeyPress && m_pEditText &&
        (pObject == m_pEditText || pObject == m_comboSort) &&
        EditorKey(static_cast<QKeyEvent*>(pEvent)))
        return true;
    if (m_gridRecords && pObject == m_gridRecords && pEvent->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Delete && IsEditing()) {
        const int nRow = m_gridRecords->currentIndex().row() + 1;
        if (nRow >= 1)
            m_nClickRow = nRow;
        OnDeleteRow();
        return true;
    }
    return CFormView::eventFilter(pObject, pEvent);
}

bool CDayView::EditorKey(QKeyEvent* pKey) {
    const bool bEnter = pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter;
    const bool bCtrl = pKey->modifiers() & Qt::ControlModifier;
    const bool bAlt = pKey->modifiers() & Qt::AltModifier;
    const bool bInCategory = m_nEditCol == 1 && m_comboSort->isVisible();
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
    // The category shown in the list is taken on leaving the cell, as a click on it would.
    if (bInCategory && (bLeaving || pKey->key() == Qt::Key_Up || pKey->key() == Qt::Key_Down) &&
        m_comboSort->currentIndex() >= 0 && !bAlt)
        OnCategoryChosen(m_comboSort->currentIndex());
    if (bEnter && bCtrl) {
        DropEmptyNewRows();
        CollapseFloating();
        OnConfirm();
        return true;
    }
    switch (pKey->key()) {
    case Qt::Key_Escape:
        // Nothing typed yet: simply back to browsing; otherwise the unsaved-edit question.
        if (HasChanges())
            LeaveEdit();
        else
            OnCancel();
        return true;
    case Qt::Key_Tab:
        StepCell(1, false);
        return true;
    case Qt::Key_Backtab:
        StepCell(-1, false);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        StepCell(1, true);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (bAlt)
            return false; // Alt+Down opens the category list
        EditCell(m_nEditRow + (pKey->key() == Qt::Key_Up ? -1 : 1), m_nEditCol);
        return true;
    default:
        return false;
    }
}

void CDayView::OnCategoryTyped(const QString& strTyped) {
    if (strTyped.trimmed().isEmpty()) {
        m_pSortList->hide();
        return;
    }
    m_pSortList->clear();
    QStringList names;
    for (int i = 0; i < m_comboSort->count(); ++i)
        names << m_comboSort->itemText(i);
    const QStringList matches = CCategories::Matching(names, strTyped);
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
    const QRect cell = m_gridRecords->CellRect(m_nEditRow, 1, m_gridRecords->viewport());
    const int nFrame = 2 * m_pSortList->frameWidth();
    const int nRows = std::min(m_pSortList->count(), 8);
    const int nHeight = nRows * m_pSortList->sizeHintForRow(0) + nFrame;
    const int nWidth =
        std::max(cell.width(), m_pSortList->sizeHintForColumn(0) + nFrame +
                                   m_pSortList->verticalScrollBar()->sizeHint().width());
    int nTop = cell.bottom() + 1;
    if (nTop + nHeight > m_gridRecords->viewport()->height() && cell.top() - nHeight >= 0)
        nTop = cell.top() - nHeight;
    m_pSortList->setGeometry(cell.left(), nTop, nWidth, nHeight);
    m_pSortList->show();
    m_pSortList->raise();
}

QString CDayView::ChooseMatchHint() const {
    return tr("有 %1 个相符的类型，请用 ↑ ↓ 选中一个再按 Enter 或 Tab，或用鼠标点选")
        .arg(m_pSortList->count());
}

void CDayView::CloseCategoryFilter(bool bTake) {
    const QListWidgetItem* pItem = m_pSortList->currentItem();
    const int nIndex = bTake && pItem ? m_comboSort->findText(pItem->text(), Qt::MatchExactly) : -1;
    m_pSortList->hide();
    if (nIndex >= 0) {
        m_comboSort->setCurrentIndex(nIndex);
        OnCategoryChosen(nIndex);
        return;
    }
    // Back to the cell's own category (or none), also in the box.
    const QString strCell = m_gridRecords->GetTextMatrix(m_nEditRow, 1);
    m_comboSort->setCurrentIndex(m_comboSort->findText(strCell, Qt::MatchExactly));
    m_comboSort->setEditText(strCell);
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
    const SDayEdit edit = GridEdit();
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
    int nRow = m_nEditRow;
    int nCol = m_nEditCol + nStep;
    if (nCol > 3) {
        nCol = 1;
        ++nRow;
    } else if (nCol < 1) {
        nCol = 3;
        --nRow;
    }
    if (!IsRowOpen(nRow) && nRow == m_nRows && bNewRowAtEnd && IsEditing()) {
        // Enter on the last cell: the next record's row.
        ++m_nRows;
        m_gridRecords->SetRows(m_nRows);
        MarkRows(nRow, nRow, g_strOpen);
    }
    EditCell(nRow, nCol);
}

void CDayView::OnEditChange() {
    UpdateData(true);
    if (m_nEditRow < 1 || m_nEditRow >= m_nRows || m_nEditCol < 2)
        return;
    // The cell shows the amount as it will be stored, or the text itself while it is not an
    // amount (confirming then says why); the editor keeps what was typed.
    if (m_nEditCol == 3)
        m_gridRecords->SetTextMatrix(m_nEditRow, 3, AmountCell(m_strEditText));
    else
        m_gridRecords->SetTextMatrix(m_nEditRow, m_nEditCol, m_strEditText);
}

void CDayView::OnCategoryChosen(int nIndex) {
    UpdateData(true);
    if (m_nEditRow < 1 || m_nEditRow >= m_nRows || m_nEditCol != 1)
        return;
    m_strCategory = m_comboSort->itemText(nIndex);
    m_gridRecords->SetTextMatrix(m_nEditRow, m_nEditCol, m_strCategory);
}

QString CDayView::AmountCell(const QString& strTyped) {
    std::int64_t nCents = 0;
    const CMoney::EParse eParse = CMoney::Parse(strTyped, nCents);
    if (eParse == CMoney::EParse::Ok || eParse == CMoney::EParse::Empty)
        return CMoney::Format(CMoney::FromCents(nCents));
    return strTyped;
}

double CDayView::CellAmount(const QString& strCell) {
    std::int64_t nCents = 0;
    return CMoney::Parse(strCell, nCents) == CMoney::EParse::Ok ? CMoney::FromCents(nCents) : 0.0;
}

SDayRecord CDayView::GridRow(int nRow) const {
    return {m_gridRecords->GetTextMatrix(nRow, 1), m_gridRecords->GetTextMatrix(nRow, 2),
            CellAmount(m_gridRecords->GetTextMatrix(nRow, 3))};
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
        for (int nCol = 0; nCol < 4; ++nCol)
            m_gridRecords->SetTextMatrix(n, nCol, m_gridRecords->GetTextMatrix(n + 1, nCol));
    --m_nRows;
    m_gridRecords->SetRows(m_nRows);
}

bool CDayView::SaveGridRows(const SDayEdit& edit) {
    bool bConflict = false;
    const bool bSaved = CMessageBox::Guarded(this, [&] {
        try {
            CDayBook(m_eKind, m_strUserName)
                .Confirm(CurrentDay(), m_strBank, edit, Session() ? Session()->UserId() : 0);
        } catch (const CDayConflict&) {
            bConflict = true; // told below, with the day's rows put back
        }
    });
    if (bConflict) {
        CMessageBox::ShowMessage(
            tr("在您编辑期间，这一天的记录已被另一个窗口或另一台电脑改动，您的修改没有保存。\n"
               "表格里现在是这一天最新的记录，您输入的行已放回表格，请核对后再按“确定”。"),
            this);
        RestoreTyped(edit);
        return false;
    }
    return bSaved;
}

// After a refused confirm: the day as it is now, then what was typed here on top of it —
// a changed row still there takes the typed values again, everything else comes back as a
// new row — all open for editing, so nothing typed is lost.
void CDayView::RestoreTyped(const SDayEdit& edit) {
    CollapseFloating();
    LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
    ShowDaySummary(m_nYear, m_nMonth, m_nDay);
    QVector<SDayRecord> extra = edit.added;
    for (const SDayEdit::SChange& change : edit.changed) {
        const int nRow = m_edit.RowOf(change.loaded.nId) + 1;
        if (nRow == 0) {
            extra.append(change.now);
            continue;
        }
        m_gridRecords->SetTextMatrix(nRow, 1, change.now.strSort);
        m_gridRecords->SetTextMatrix(nRow, 2, change.now.strNote);
        m_gridRecords->SetTextMatrix(nRow, 3, CMoney::Format(change.now.dAmount));
    }
    for (SDayRecord r : extra) {
        r.nId = 0;
        AppendGridRow(r);
    }
    m_bAdding = false;
    m_bModifying = true;
    SetEditingButtons(false, true);
    MarkRows(1, m_nRows - 1, g_strOpen);
}

void CDayView::OnConfirm() {
    if (!IsEditing())
        return;
    UpdateData(true);
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
    if (!SaveGridRows(GridEdit()))
        return;
    CollapseFloating();
    LoadDay(m_nYear, m_nMonth, m_nDay, m_strBank);
    ShowDaySummary(m_nYear, m_nMonth, m_nDay);
    SetEditingButtons(false, false);
    m_bAdding = m_bModifying = false;
    MarkRows(1, m_nRows - 1, g_strLocked);
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
    // The same question as a transfer's when the account would end below zero.
    const std::int64_t nChange = GridEdit().TotalChange();
    const std::int64_t nDelta = bIncome ? nChange : -nChange;
    if (nDelta >= 0)
        return true;
    QVector<CAccountList::SAccount> accounts;
    if (!CMessageBox::Guarded(this, [&] { accounts = CAccountList::Load(m_strUserName); }))
        return false;
    for (const CAccountList::SAccount& account : accounts) {
        if (account.strName != m_strBank)
            continue;
        const std::int64_t nAfter = CMoney::ToCents(account.dCash) + nDelta;
        if (nAfter >= 0)
            return true;
        return CMessageBox::AskOkCancel(
            (bIncome ? tr("保存后账号“%1”的余额将是 %2，低于零。\n确定要保存吗？")
                     : tr("支出后账号“%1”的余额将是 %2，低于零。\n确定要支出吗？"))
                .arg(m_strBank, CMoney::FormatSign(CMoney::FromCents(nAfter))),
            tr("余额不足"), this);
    }
    return true; // storing says the account is missing
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
    CollapseFloating();
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
        CollapseFloating();
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
    // In an add only the new row is open; taking it away is the same as 取消.
    if (m_bAdding) {
        if (nRow == m_nRows - 1)
            OnCancel();
        return;
    }
    if (!m_bModifying || nRow < 1 || nRow >= m_nRows)
        return;
    CollapseFloating();
    m_nEditRow = 0;
    RemoveRow(nRow);
    MarkRows(1, m_nRows - 1, g_strOpen);
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
                              [&] { eResult = CEmptyDay::Remove(m_eKind, m_strUserName, day); }))
        return;
    if (eResult != CEmptyDay::ERemove::Removed) {
        CMessageBox::ShowMessage(CEmptyDay::Message(eResult), this);
        return;
    }
    // The tree loses the day; the view goes to the last day left.
    Q_EMIT TreeOutdated();
    GoLastDay();
}
