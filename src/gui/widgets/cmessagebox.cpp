#include "widgets/cmessagebox.h"

#include "data/cdbexception.h"
#include "users/csessiongone.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QSpacerItem>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace CMessageBox {
namespace {
struct SState {
    bool bCapture = false;
    QQueue<bool> answers;
    QQueue<EChoice> choices;
    QList<SShown> shown;
    std::function<void()> sessionGone;
};
SState& State() {
    static SState s_state;
    return s_state;
}
QWidget* Owner(QWidget* pParent) {
    return pParent ? pParent : QApplication::activeWindow();
}

// A short text makes a narrow box, and the window manager then cuts its title ("Le…kin"):
// the box is kept wide enough for the title beside the title bar's buttons.
int Exec(QMessageBox& box) {
    if (auto* pGrid = qobject_cast<QGridLayout*>(box.layout())) {
        QFont font = QApplication::font();
        font.setBold(true);
        const QFontMetrics fm(font);
        const int nWidth = std::max(280, fm.horizontalAdvance(box.windowTitle()) + 160);
        pGrid->addItem(new QSpacerItem(nWidth, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                       pGrid->rowCount(), 0, 1, pGrid->columnCount());
    }
    return box.exec();
}

void Show(const QString& strText, QWidget* pParent, bool bInfo) {
    const QString strTitle = QStringLiteral("Ledgerkin");
    if (State().bCapture) {
        State().shown.append({strText, strTitle, false, bInfo});
        return;
    }
    QMessageBox box(bInfo ? QMessageBox::Information : QMessageBox::Warning, strTitle, strText,
                    QMessageBox::Ok, Owner(pParent));
    box.button(QMessageBox::Ok)->setText(QApplication::translate("CMessageBox", "确定"));
    Exec(box);
}
} // namespace

void ShowMessage(const QString& strText, QWidget* pParent) {
    Show(strText, pParent, false);
}

void ShowInfo(const QString& strText, QWidget* pParent) {
    Show(strText, pParent, true);
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
    return Exec(box) == QMessageBox::Ok;
}

namespace {
std::function<void()>& ReopenHandler() {
    static std::function<void()> s_handler;
    return s_handler;
}
} // namespace

QMessageBox* SaveQuestionBox(const QString& strText, const QString& strCaption, QWidget* pParent) {
    auto* pBox = new QMessageBox(QMessageBox::Question, strCaption, strText,
                                 QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                 Owner(pParent));
    pBox->button(QMessageBox::Save)->setText(QApplication::translate("CMessageBox", "保存"));
    pBox->button(QMessageBox::Discard)->setText(QApplication::translate("CMessageBox", "不保存"));
    pBox->button(QMessageBox::Cancel)->setText(QApplication::translate("CMessageBox", "取消"));
    pBox->setDefaultButton(QMessageBox::Save);
    return pBox;
}

EChoice AskSaveDiscardCancel(const QString& strText, const QString& strCaption, QWidget* pParent) {
    if (State().bCapture) {
        State().shown.append({strText, strCaption, true});
        return State().choices.isEmpty() ? EChoice::Cancel : State().choices.dequeue();
    }
    std::unique_ptr<QMessageBox> pBox(SaveQuestionBox(strText, strCaption, pParent));
    switch (Exec(*pBox)) {
    case QMessageBox::Save:
        return EChoice::Save;
    case QMessageBox::Discard:
        return EChoice::Discard;
    default:
        return EChoice::Cancel;
    }
}

void ShowDBError(const CDBException& e, QWidget* pParent) {
    if (e.m_eKind == CDBException::EKind::BookReplaced && ReopenHandler()) {
        if (AskOkCancel(e.m_strError + QStringLiteral("\n\n") +
                            QApplication::translate("CMessageBox", "现在在原位置重新打开账本吗？"),
                        QStringLiteral("Ledgerkin"), pParent))
            // Not under the caller's feet: the view or dialog that failed finishes first.
            QTimer::singleShot(0, qApp, ReopenHandler());
        return;
    }
    ShowMessage(e.m_strError, pParent);
    if (dynamic_cast<const CSessionGone*>(&e) && State().sessionGone)
        State().sessionGone();
}

void SetSessionGoneHandler(std::function<void()> fn) {
    State().sessionGone = std::move(fn);
}

void SetReopenHandler(std::function<void()> handler) {
    ReopenHandler() = std::move(handler);
}

void SetCapture(bool bCapture) {
    State().bCapture = bCapture;
}
bool IsCapturing() {
    return State().bCapture;
}
void SetNextAnswer(bool bOk) {
    State().answers.enqueue(bOk);
}
void SetNextChoice(EChoice eChoice) {
    State().choices.enqueue(eChoice);
}
QList<SShown> Shown() {
    return State().shown;
}
QStringList ShownTexts() {
    QStringList list;
    for (const SShown& s : State().shown)
        list << s.strText;
    return list;
}
void ClearShown() {
    State().shown.clear();
    State().answers.clear();
    State().choices.clear();
}
} // namespace CMessageBox
