#pragma once

#include "data/cdbexception.h"

#include <QString>
#include <QStringList>
#include <functional>

class QMessageBox;
class QWidget;

// Every message box of the program goes through here, so tests can capture the texts and
// answer the questions instead of a person.
namespace CMessageBox {
// A notice or refusal: title "Ledgerkin", an OK button, the exclamation icon.
void ShowMessage(const QString& strText, QWidget* pParent = nullptr);
// A success or other good news: title "Ledgerkin", an OK button, the information icon.
void ShowInfo(const QString& strText, QWidget* pParent = nullptr);
// A question with its own caption, OK and Cancel, the information icon. true only for OK.
bool AskOkCancel(const QString& strText, const QString& strCaption, QWidget* pParent = nullptr);
// 保存 / 不保存 / 取消, for leaving something typed but not yet stored.
enum class EChoice { Save, Discard, Cancel };
EChoice AskSaveDiscardCancel(const QString& strText, const QString& strCaption,
                             QWidget* pParent = nullptr);
// The driver's text of a failed database step. When the step was refused because the
// session's user row is gone (CSessionGone), the session-gone handler runs afterwards.
void ShowDBError(const CDBException& e, QWidget* pParent = nullptr);
// Runs fn; a failed database step in it is shown (ShowDBError) instead of going further.
// true when fn ran through. The one place the GUI catches what core throws.
template <class TFunc> bool Guarded(QWidget* pParent, TFunc&& fn) {
    try {
        fn();
        return true;
    } catch (const CDBException& e) {
        ShowDBError(e, pParent);
        return false;
    }
}
// Set by the main frame: ends the session. nullptr: none.
void SetSessionGoneHandler(std::function<void()> fn);
// When the book's file was replaced, ShowDBError asks whether to reopen it and, on OK, calls
// this handler (after the current step).
void SetReopenHandler(std::function<void()> handler);

// ---- for tests
struct SShown {
    QString strText;
    QString strCaption;
    bool bQuestion = false;
    bool bInfo = false; // shown with the information icon rather than the warning
};
// While capturing, nothing is shown: texts are recorded and questions get the queued answers
// (OK when the queue is empty).
void SetCapture(bool bCapture);
bool IsCapturing();
void SetNextAnswer(bool bOk);
// The next 保存 / 不保存 / 取消 answer (取消 when nothing is queued: nothing is lost).
void SetNextChoice(EChoice eChoice);
// The box AskSaveDiscardCancel shows, unshown (for pictures of it).
QMessageBox* SaveQuestionBox(const QString& strText, const QString& strCaption, QWidget* pParent);
QList<SShown> Shown();
QStringList ShownTexts();
void ClearShown();
} // namespace CMessageBox
