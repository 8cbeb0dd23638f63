#pragma once

#include <QPixmap>

// The pictures at the top left of the user and account dialogs, drawn here so they stay
// sharp at any scale: a person with a key (login), a person with a plus (new user), a
// bank card (accounts).
class CUserIcons {
public:
    enum EIcon { Login, NewUser, Accounts };
    static QPixmap Pixmap(EIcon eIcon, int nSize = 40, qreal dRatio = 1.0);
};
