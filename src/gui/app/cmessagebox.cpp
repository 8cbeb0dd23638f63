#include "cmessagebox.h"

#include "data/cdbexception.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QTimer>

namespace CMessageBox {
namespace {
struct SState {
    bool bCapture = false;
    QQueue<bool> answers;
    QList<SShown> shown;
};
SState& State() {
    static SState s_state;
    return s_state;
}
QWidget* Owner(QWidget* pParent) { return pParent ? pParent : QApplication::activeWindow(); }
} // namespace

void ShowMessage(const QString& strText, QWidget* pParent) {
    const QString strTitle = QStringLiteral("Ledgerkin");
    if (State().bCapture) {
        State().shown.append({strText, strTitle, false});
        return;
    }
    QMessageBox box(QMessageBox::Warning, strTitle, strText, QMessageBox::Ok, Owner(pParent));
    box.button(QMessageBox::Ok)->setText(QApplication::translate("CMessageBox", "确定"));
    box.exec();
}

bool AskOkCancel(const QString& strText, const QString& strCaption, QWidget* pParent) {
    if (State().bCapture) {
        State().shown.append({strText, strCaption, true});
        return State().answers.isEmpty() ? true : State().answers.dequeue();
    }
    QMessageBox box(QMessageBox::Information, strCaption, strText,
                    QMessageBox::Ok | QMessageBox::Cancel, Owner(pParent));
    box.button(QMessageBox::Ok)->setText(QApplication::translate("CMessageBox", "确定"));
    box.button(QMessageBox::Cancel)->setText(QApplication::translate("CMessageBox", "取消"));
    return box.exec() == QMessageBox::Ok;
}

namespace {
std::function<void()>& ReopenHandler() {
    static std::function<void()> s_handler;
    return s_handler;
}
} // namespace

void ShowDBError(const CDBException& e, QWidget* pParent) {
    if (e.m_eKind == CDBException::EKind::BookReplaced && ReopenHandler()) {
        if (AskOkCancel(e.m_strError + QStringLiteral("\n\n") +
                            QApplication::translate("CMessageBox", "现在在原位置重新打开帐本吗？"),
                        QStringLiteral("Ledgerkin"), pParent))
            // Not under the caller's feet: the view or dialog that failed finishes first.
            QTimer::singleShot(0, qApp, ReopenHandler());
        return;
    }
    ShowMessage(e.m_strError, pParent);
}

void SetReopenHandler(std::function<void()> handler) { ReopenHandler() = std::move(handler); }

void SetCapture(bool bCapture) { State().bCapture = bCapture; }
bool IsCapturing() { return State().bCapture; }
void SetNextAnswer(bool bOk) { State().answers.enqueue(bOk); }
QList<SShown> Shown() { return State().shown; }
QStringList ShownTexts() {
    QStringList list;
    for (const SShown& s : State().shown)
        list << s.strText;
    return list;
}
void ClearShown() {
    State().shown.clear();
    State().answers.clear();
}
} // namespace CMessageBox
