#include "app/cmainview.h"

#include "data/ctoday.h"
#include "widgets/cpicture.h"

#include <QCalendarWidget>
#include <QGridLayout>

CMainView::CMainView(const CSession* pSession, QWidget* pParent)
    : CFormView(pSession, pParent), m_Date(CToday::Get()),
      m_pCalendar(new QCalendarWidget(Form())) {
    setObjectName(QStringLiteral("CMainView"));
    Form()->setAutoFillBackground(true);
    Form()->setBackgroundRole(QPalette::Base);

    auto* pPicture =
        new CPicture(QStringLiteral(":/res/pictures/mainview.svg"), QSize(801, 362), Form());
    pPicture->setObjectName(QString::number(IDC_PICTURE));

    m_pCalendar->setObjectName(QString::number(IDC_CALENDAR));
    m_pCalendar->hide();

    auto* pLayout = new QGridLayout(Form());
    pLayout->setContentsMargins(12, 12, 12, 12);
    pLayout->addWidget(pPicture, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    pLayout->setRowStretch(1, 1);
    pLayout->setColumnStretch(1, 1);
    UpdateData(false);
}

void CMainView::OnInitialUpdate() {
    m_Date = CToday::Get();
    UpdateData(false);
}

void CMainView::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate)
        m_Date = m_pCalendar->selectedDate();
    else
        m_pCalendar->setSelectedDate(m_Date);
}
