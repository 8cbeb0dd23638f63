#include "csecretedit.h"

#include "users/csecret.h"

CSecretEdit::CSecretEdit(QWidget* pParent) : QLineEdit(pParent) {
    setEchoMode(QLineEdit::Password);
}

CSecretEdit::~CSecretEdit() {
    Wipe();
}

void CSecretEdit::Wipe() {
    // text() shares the field's own buffer: wiping it wipes the field's text.
    QString str = text();
    CSecret::Wipe(str);
    setText(QString());
}
