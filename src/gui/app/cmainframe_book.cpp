// The book itself: following what other copies of the program write, reopening a book whose
// file was replaced, and restoring one of the daily backups.
#include "app/cleftview.h"
#include "app/cmainframe.h"
#include "data/cbackup.h"
#include "data/cchangewatcher.h"
#include "data/cdbexception.h"
#include "records/cdayview.h"
#include "users/csession.h"
#include "widgets/cmessagebox.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

void CMainFrame::StartChangeWatcher() {
    m_pChangeWatcher = new CChangeWatcher(CDatabase::DefaultConnection, this);
    connect(m_pChangeWatcher, &CChangeWatcher::Changed, this, &CMainFrame::OnBookChanged);
    connect(m_pChangeWatcher, &CChangeWatcher::BookReplaced, this, &CMainFrame::OnBookReplaced);
    m_pChangeWatcher->Start();
    CMessageBox::SetReopenHandler([this] { ReopenBook(); });
}

void CMainFrame::TryServerBook() {
    if (!CDatabase::IsPostgresUrl(CDatabase::Url()))
        return;
    try {
        CDatabase::Open();
    } catch (const CDBException& e) {
        // Deliberate: the reason also stays in the status bar once the box is gone.
        SetStatusText(e.m_strError);
        CMessageBox::ShowDBError(e, this);
    }
}

void CMainFrame::OnBookChanged() {
    if (!m_pSession->IsLoggedIn())
        return;
    auto* pDayView = View<CDayView>();
    if (!pDayView) {
        // The summary or a chart view as it opened, nothing chosen in the tree (an item only
        // opened or closed is not chosen): opened again from the book, so its figures include
        // the other copy's rows.
        const EView eShown = ShownView();
        if (m_pLeftView->selectedItems().isEmpty() &&
            (eShown == EView::SumList || eShown == EView::InChart || eShown == EView::OutChart))
            OpenView(eShown, true);
        else
            m_pLeftView->ReapplySelection();
        return;
    }
    // Rows being typed are never replaced under the person typing them.
    const QString strDeferred =
        tr("另一个程序修改了账本；正在编辑的这一天在确定或取消后显示最新内容。");
    if (pDayView->IsEditing()) {
        SetStatusText(strDeferred);
        m_pChangeWatcher->Defer();
        return;
    }
    // The edit has ended: the latest content is shown now.
    if (statusBar()->currentMessage() == strDeferred)
        SetStatusText(QString());
    // Days another copy added (an import brings many) join the tree; the day shown is
    // selected in it again as the view shows it.
    {
        const QSignalBlocker blocker(m_pLeftView);
        RebuildTree();
    }
    pDayView->ShowCurrentDay();
}

void CMainFrame::OnBookReplaced() {
    const QString strPath = QDir::toNativeSeparators(CDatabase::Url());
    SetStatusText(tr("账本文件“%1”已被删除、移动或替换，不再写入。").arg(strPath));
    if (CMessageBox::AskOkCancel(
            tr("账本文件“%1”已被删除、移动或替换为另一个文件。程序不会再写入它。\n\n"
               "现在在原位置重新打开账本吗？")
                .arg(strPath),
            tr("账本文件已改变"), this))
        ReopenBook();
}

void CMainFrame::ReopenBook() {
    // A dialog still open works on the old connection: reopen once it has closed.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(300, this, &CMainFrame::ReopenBook);
        return;
    }
    const QString strUrl = CDatabase::Url();
    SetLoggedOut();
    CDatabase::SetUrl(strUrl); // closes; the next step opens the file now at the path
    SetStatusText(tr("已在原位置重新打开账本，请重新登录。"));
}

void CMainFrame::OnRestoreBackup() {
    const QString strBook = CDatabase::Url();
    if (CDatabase::IsPostgresUrl(strBook)) {
        CMessageBox::ShowMessage(tr("这是 PostgreSQL 账本，程序不为它做每日备份；请用 pg_dump 和 "
                                    "pg_restore 备份和恢复。"),
                                 this);
        return;
    }
    const QStringList backups = CBackup::List(strBook);
    if (backups.isEmpty()) {
        CMessageBox::ShowMessage(tr("还没有账本的备份（备份文件夹“%1”）。")
                                     .arg(QDir::toNativeSeparators(CBackup::FolderFor(strBook))),
                                 this);
        return;
    }
    if (CurrentView()->IsEditing()) {
        CMessageBox::ShowMessage(tr("正在编辑记录，请先确定或取消，再从备份恢复。"), this);
        return;
    }

    QStringList labels;
    for (const QString& strBackup : backups)
        labels << tr("%1 的备份（%2 KB）")
                      .arg(CBackup::DayOf(strBackup).toString(QStringLiteral("yyyy-MM-dd")))
                      .arg((QFileInfo(strBackup).size() + 1023) / 1024);
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CRestoreDlg"));
    dialog.setWindowTitle(tr("从备份恢复"));
    dialog.setLabelText(
        tr("选择要恢复的备份（每天第一次启动时备份，保留最近 %1 份）：").arg(CBackup::KeepCount));
    dialog.setComboBoxItems(labels);
    dialog.setOkButtonText(tr("确定"));
    dialog.setCancelButtonText(tr("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int nChosen = labels.indexOf(dialog.textValue());
    if (nChosen < 0)
        return;
    const QString strBackup = backups.at(nChosen);
    const QString strDay = CBackup::DayOf(strBackup).toString(QStringLiteral("yyyy年M月d日"));
    if (!CMessageBox::AskOkCancel(
            tr("要把账本恢复成 %1 的备份吗？\n\n那以后记下的内容会从账本中消失（程序先把现在的账本"
               "另存一份在备份文件夹中）。其他正在使用这个账本的程序会随之显示恢复后的账本。")
                .arg(strDay),
            tr("从备份恢复"), this))
        return;

    QString strKept;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        if (!CMessageBox::Guarded(this, [&] { strKept = CBackup::Restore(strBackup); }))
            return;
    }
    // The user logged in may not exist in the restored book, or have another password.
    SetLoggedOut();
    CMessageBox::ShowInfo(tr("已把账本恢复成 %1 的备份，请重新登录。\n\n恢复前的账本另存为“%2”。")
                              .arg(strDay, QDir::toNativeSeparators(strKept)),
                          this);
    SetStatusText(tr("已从 %1 的备份恢复账本。").arg(strDay));
}
