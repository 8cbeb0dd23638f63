#include "app/cmainframe.h"

#include "data/ctoday.h"
#include "plans/cbudgetdlg.h"
#include "plans/cduedlg.h"
#include "plans/crecurringdlg.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QApplication>
#include <QTimer>

void CMainFrame::OnBudget() {
    if (!LeaveEdit())
        return;
    CBudgetDlg dlg(m_pSession, this);
    if (!dlg.OnInitDialog() || dlg.exec() != QDialog::Accepted)
        return;
    // The summary shows the budgets: it reads them again.
    if (ShownView() == EView::SumList)
        OpenView(EView::SumList, true);
    SetStatusText(tr("预算已保存。"));
}

void CMainFrame::OnRecurring() {
    CRecurringDlg dlg(m_pSession, this);
    dlg.OnInitDialog();
    dlg.exec();
    // A template added or resumed may owe something already.
    CheckDueRecurring();
}

void CMainFrame::StartDayWatch() {
    // A copy left running over midnight lists what the new day brings; a minute late is soon
    // enough, and a pinned "today" (CToday) is followed the same way.
    auto* pTimer = new QTimer(this);
    pTimer->setObjectName(QStringLiteral("dayWatch"));
    pTimer->setInterval(60 * 1000);
    connect(pTimer, &QTimer::timeout, this, [this] {
        if (m_pSession->IsLoggedIn() && CToday::Get() != m_dueCheckedOn &&
            !QApplication::activeModalWidget())
            CheckDueRecurring();
    });
    pTimer->start();
}

void CMainFrame::CheckDueRecurring() {
    if (!m_pSession->IsLoggedIn())
        return;
    const QDate today = CToday::Get();
    m_dueCheckedOn = today;
    QVector<CRecurring::SDue> due;
    if (!CMessageBox::Guarded(this,
                              [&] { due = CRecurring::Due(m_pSession->UserName(), today); }) ||
        due.isEmpty())
        return;
    CDueDlg dlg(m_pSession, due, this);
    dlg.exec();
    if (dlg.HasWritten()) {
        OnReload();
        SetStatusText(tr("到期的周期记录已记入。"));
    }
}
