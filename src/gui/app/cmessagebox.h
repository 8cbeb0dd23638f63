#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class CDBException;

// Every message box of the program goes through here, so tests can capture the texts and
// answer the questions instead of a person.
namespace CMessageBox {
// A notice or refusal: title "Ledgerkin", an OK button, the exclamation icon.
void ShowMessage(const QString& strText, QWidget* pParent = nullptr);
// A question with its own caption, OK and Cancel, the information icon. true only for OK.
bool AskOkCancel(const QString& strText, const QString& strCaption, QWidget* pParent = nullptr);
// The driver's text of a failed database step. When the book's file was replaced, asks
// whether to reopen it and, on OK, calls the handler set here (after the current step).
void ShowDBError(const CDBException& e, QWidget* pParent = nullptr);
void SetReopenHandler(std::function<void()> handler);

// ---- for tests
struct SShown {
    QString strText;
    QString strCaption;
    bool bQuestion = false;
};
// While capturing, nothing is shown: texts are recorded and questions get the queued answers
// (OK when the queue is empty).
void SetCapture(bool bCapture);
bool IsCapturing();
void SetNextAnswer(bool bOk);
QList<SShown> Shown();
QStringList ShownTexts();
void ClearShown();
} // namespace CMessageBox
