#include "cmessagebox.h"

#include "data/cdbexception.h"
#include "users/csessiongone.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>

namespace CMessageBox {
namespace {
struct SState {
    bool bCapture = false;
    QQueue<bool> answers;
    QList<SShown> shown;
    std::function<void()> sessionGone;
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

void ShowDBError(const CDBException& e, QWidget* pParent) {
    ShowMessage(e.m_strError, pParent);
    if (dynamic_cast<const CSessionGone*>(&e) && State().sessionGone)
        State().sessionGone();
}

void SetSessionGoneHandler(std::function<void()> fn) { State().sessionGone = std::move(fn); }

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
