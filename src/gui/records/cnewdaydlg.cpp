#include "records/cnewdaydlg.h"

#include "data/cdbexception.h"
#include "data/ctoday.h"
#include "records/cdaybook.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CNewDayDlg::CNewDayDlg(ERecordKind eKind, const CSession* pSession, QWidget* pParent)
    : QDialog(pParent), m_eKind(eKind), m_pSession(pSession) {
    const bool bIncome = eKind == ERecordKind::Income;
    setWindowTitle(bIncome ? tr("添加收入记录") : tr("添加支出记录"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* pIcon = new QLabel(this);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    pIcon->setPixmap(icon.pixmap(40, 40));
    pIcon->setFixedSize(44, 44);
    auto* pTitle =
        new QLabel(bIncome ? tr("添加新的一天收入财务记录") : tr("添加新的一天支出财务记录"), this);
    auto* pWarn = new QLabel(tr("请注意不要添加已有记录的日期"), this);
    auto* pTexts = new QVBoxLayout;
    pTexts->addWidget(pTitle);
    pTexts->addWidget(pWarn);
    auto* pHead = new QHBoxLayout;
    pHead->addWidget(pIcon, 0, Qt::AlignTop);
    pHead->addSpacing(12);
    pHead->addLayout(pTexts, 1);

    m_ctlCalendar = new QCalendarWidget(this);
    m_ctlCalendar->setObjectName(QString::number(IDC_CALENDAR));
    m_ctlCalendar->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    m_ctlCalendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_ctlCalendar->setGridVisible(false);
    m_ctlCalendar->setMinimumSize(360, 240);
    auto* pFrame = new QGroupBox(this);
    auto* pFrameLayout = new QVBoxLayout(pFrame);
    pFrameLayout->addWidget(m_ctlCalendar);

    auto* pOk = new QPushButton(tr("确定"), this);
    pOk->setObjectName(QStringLiteral("1"));
    pOk->setDefault(true);
    auto* pCancel = new QPushButton(tr("取消"), this);
    pCancel->setObjectName(QStringLiteral("2"));
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(pOk);
    pButtons->addStretch(1);
    pButtons->addWidget(pCancel);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pHead);
    pLayout->addWidget(pFrame, 1);
    pLayout->addLayout(pButtons);

    connect(pOk, &QPushButton::clicked, this, &CNewDayDlg::OnOK);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Double-clicking a day is the same as choosing it and pressing OK.
    connect(m_ctlCalendar, &QCalendarWidget::activated, this, &CNewDayDlg::OnOK);
}

void CNewDayDlg::setVisible(bool bVisible) {
    // Every showing starts on today, also the second use of the same dialog.
    if (bVisible && !isVisible())
        OnInitDialog();
    QDialog::setVisible(bVisible);
}

void CNewDayDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_Date = m_ctlCalendar->selectedDate();
    } else {
        m_ctlCalendar->setSelectedDate(m_Date);
        m_ctlCalendar->setCurrentPage(m_Date.year(), m_Date.month());
    }
}

void CNewDayDlg::OnInitDialog() {
    m_Date = CToday::Get();
    UpdateData(false);
    m_ctlCalendar->setFocus();
}

void CNewDayDlg::OnOK() {
    UpdateData(true);
    const QString strUser = m_pSession ? m_pSession->UserName() : QString();
    if (strUser.isEmpty()) {
        CMessageBox::ShowMessage(tr("请先登录。"), this);
        return;
    }
    // A refused step leaves the dialog open: try again or cancel.
    if (CMessageBox::Guarded(
            this, [&] { CDayBook(m_eKind, strUser).OpenDay(m_Date, m_pSession->UserId()); }))
        accept();
}
