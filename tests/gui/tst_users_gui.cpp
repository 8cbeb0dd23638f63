#include "accounts/cbankdlg.h"
#include "analysis/csumlistview.h"
#include "app/cmainframe.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "data/cdatabase.h"
#include "data/ctoday.h"
#include "data/ctrsset.h"
#include "data/cuserset.h"
#include "users/cchangpwddlg.h"
#include "users/cdeluserdlg.h"
#include "users/clinkdlg.h"
#include "users/cnewuserdlg.h"
#include "users/csavedpwd.h"
#include "users/csession.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

using CMessageBox::ShownTexts;

namespace {
const QDate s_today(2024, 3, 15);

template <class T> T* Ctl(QWidget* pDlg, int nId) {
    T* p = pDlg->findChild<T*>(QString::number(nId));
    if (!p)
        qFatal("control %d missing in %s", nId, qPrintable(pDlg->objectName()));
    return p;
}
void SetText(QWidget* pDlg, int nId, const QString& str) {
    Ctl<QLineEdit>(pDlg, nId)->setText(str);
}
QString Text(QWidget* pDlg, int nId) {
    return Ctl<QLineEdit>(pDlg, nId)->text();
}
void Click(QWidget* pDlg, int nId) {
    auto* pButton = Ctl<QAbstractButton>(pDlg, nId);
    // A check box reacts on its box and label only, which a wide layout leaves at the left.
    const QPoint pos = qobject_cast<QCheckBox*>(pButton) ? QPoint(6, pButton->height() / 2)
                                                         : pButton->rect().center();
    QTest::mouseClick(pButton, Qt::LeftButton, {}, pos);
}

// Runs fn once the dialog is up (inside the command's exec()). fn must close the dialog;
// one left open is a failure and is closed so the test goes on.
void WhenShown(QDialog* pDlg, std::function<void()> fn) {
    auto* pTimer = new QTimer(pDlg);
    pTimer->setInterval(5);
    QObject::connect(pTimer, &QTimer::timeout, pDlg, [pDlg, pTimer, fn] {
        if (!pDlg->isVisible())
            return;
        pTimer->stop();
        pTimer->deleteLater();
        fn();
        if (pDlg->isVisible()) {
            QTest::qFail("dialog left open", __FILE__, __LINE__);
            pDlg->reject();
        }
    });
    pTimer->start();
}

// Secrets of the memory check are kept masked, so the test itself never holds one: what is
// typed is unmasked one key at a time.
constexpr char kMask = 0x5A;
QByteArray Masked(const char* sz) {
    QByteArray masked(sz);
    for (char& c : masked)
        c = char(c ^ kMask);
    return masked;
}
void TypeMasked(QWidget* pEdit, const QByteArray& masked) {
    for (const char c : masked)
        QTest::keyClick(pEdit, char(c ^ kMask));
}

// Whether the masked bytes lie anywhere in the process's writable memory (heap, stacks, data),
// freed blocks included.
bool HasMaskedBytes(const QByteArray& needle) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    const int fd = ::open("/proc/self/mem", O_RDONLY);
    if (!maps.open(QIODevice::ReadOnly) || fd < 0)
        qFatal("cannot read this process's memory");
    std::vector<char> buffer(1 << 20);
    const auto same = [](char a, char b) { return char(a ^ kMask) == b; };
    bool bFound = false;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2 || !parts[1].startsWith("rw") || line.contains("[v"))
            continue;
        const QList<QByteArray> range = parts[0].split('-');
        const quint64 nEnd = range.value(1).toULongLong(nullptr, 16);
        for (quint64 n = range.value(0).toULongLong(nullptr, 16); n < nEnd && !bFound;
             n += buffer.size() - needle.size()) {
            const ssize_t nRead =
                ::pread(fd, buffer.data(), std::min<quint64>(buffer.size(), nEnd - n), off_t(n));
            if (nRead <= 0)
                break;
            bFound = std::search(buffer.begin(), buffer.begin() + nRead, needle.begin(),
                                 needle.end(), same) != buffer.begin() + nRead;
        }
    }
    ::close(fd);
    return bFound;
}

// True when a masked ASCII secret lies in writable memory as UTF-8, UTF-16 or UTF-32 text.
bool InWritableMemory(const QByteArray& masked) {
    for (const int nWidth : {1, 2, 4}) {
        QByteArray needle; // masked, little-endian
        for (const char c : masked)
            needle.append(c).append(QByteArray(nWidth - 1, char(0 ^ kMask)));
        if (HasMaskedBytes(needle))
            return true;
    }
    return false;
}

// Picks a name from the login list the way a person does: arrow keys in the combo box.
void ChooseUser(CLinkDlg* pDlg, const QString& strUser) {
    auto* pCombo = Ctl<QComboBox>(pDlg, CLinkDlg::IDC_USER);
    const int nIndex = pCombo->findText(strUser);
    QVERIFY(nIndex >= 0);
    while (pCombo->currentIndex() != nIndex)
        QTest::keyClick(pCombo, pCombo->currentIndex() < nIndex ? Qt::Key_Down : Qt::Key_Up);
}

void AddAccount(CBankDlg* pDlg, const QString& strName, const QString& strNote,
                const QString& strCash) {
    SetText(pDlg, CBankDlg::IDC_NAME, strName);
    SetText(pDlg, CBankDlg::IDC_NOTE, strNote);
    SetText(pDlg, CBankDlg::IDC_CASH, strCash);
    Click(pDlg, CBankDlg::IDC_ADD);
}

void ClickListRow(CBankDlg* pDlg, int nRow) {
    const QRect rect =
        Ctl<QTableWidget>(pDlg, CBankDlg::IDC_LIST)
            ->visualRect(Ctl<QTableWidget>(pDlg, CBankDlg::IDC_LIST)->model()->index(nRow, 0));
    QTest::mouseClick(Ctl<QTableWidget>(pDlg, CBankDlg::IDC_LIST)->viewport(), Qt::LeftButton, {},
                      rect.center());
}

QStringList ListRow(CBankDlg* pDlg, int nRow) {
    QStringList texts;
    for (int nCol = 0; nCol < 3; ++nCol)
        texts << Ctl<QTableWidget>(pDlg, CBankDlg::IDC_LIST)->item(nRow, nCol)->text();
    return texts;
}

QList<int> RowsOfAllTables(const QString& strUser) {
    QList<int> counts;
    for (const char* szTable : {"User", "Bank", "Income", "Outlay", "Trs"}) {
        QSqlQuery q =
            CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"UserName\" = ?")
                                .arg(QLatin1String(szTable)),
                            {strUser});
        q.next();
        counts << q.value(0).toInt();
    }
    return counts;
}

void AddUser(const QString& strUser, const QString& strPwd) {
    QCOMPARE(CUserAdmin::CreateUser(strUser, strPwd, {{QStringLiteral("现金"), QString(), 100}},
                                    s_today),
             CUserAdmin::ECreate::Created);
    CTrsSet set;
    set.AddNew();
    set.m_UserName = strUser;
    set.m_TrsDate = QDateTime(s_today, QTime(0, 0));
    set.m_TrsAmount = 1;
    set.Update();
}

// Every text of the dialog is shown whole: no label, button or box narrower than its text.
// Every text the object and its children hold in a property (line edits, labels, window
// titles, dynamic properties …) or in a list.
QString HeldTexts(QObject* pRoot) {
    QList<QObject*> objects = pRoot->findChildren<QObject*>();
    objects << pRoot;
    QStringList texts;
    for (QObject* p : objects) {
        const QMetaObject* pMeta = p->metaObject();
        for (int i = 0; i < pMeta->propertyCount(); ++i)
            texts << pMeta->property(i).read(p).toString();
        for (const QByteArray& name : p->dynamicPropertyNames())
            texts << p->property(name).toString();
        if (auto* pCombo = qobject_cast<QComboBox*>(p)) {
            for (int i = 0; i < pCombo->count(); ++i)
                texts << pCombo->itemText(i);
        }
    }
    return texts.join(QLatin1Char('\n'));
}

void CheckNothingClipped(QWidget* pDlg) {
    for (QWidget* pWidget : pDlg->findChildren<QWidget*>()) {
        if (!pWidget->isVisible() ||
            !(qobject_cast<QLabel*>(pWidget) || qobject_cast<QAbstractButton*>(pWidget)))
            continue;
        QVERIFY2(pWidget->width() >= pWidget->minimumSizeHint().width() &&
                     pWidget->height() >= pWidget->minimumSizeHint().height(),
                 qPrintable(pDlg->objectName() + QLatin1Char('/') + pWidget->objectName()));
    }
}
} // namespace

class TestUsersGui : public QObject {
    Q_OBJECT

    QTemporaryDir m_keyDir;
    std::unique_ptr<CGuiTest> m_pGui;
    CMainFrame* m_pFrame = nullptr;

    bool LoggedIn() const {
        return m_pFrame->Action(CMainFrame::ID_DISCONNECT)->isEnabled() &&
               m_pFrame->Action(CMainFrame::ID_LOGIN)->isEnabled() &&
               m_pFrame->Action(CMainFrame::ID_LOGIN)->text() == QStringLiteral("切换用户(&L)") &&
               m_pFrame->Action(CMainFrame::ID_NEW_USER)->isEnabled() &&
               m_pFrame->Session()->IsLoggedIn();
    }
    bool LoggedOut() const {
        return !m_pFrame->Action(CMainFrame::ID_DISCONNECT)->isEnabled() &&
               m_pFrame->Action(CMainFrame::ID_LOGIN)->isEnabled() &&
               m_pFrame->Action(CMainFrame::ID_LOGIN)->text() != QStringLiteral("切换用户(&L)") &&
               m_pFrame->Action(CMainFrame::ID_NEW_USER)->isEnabled() &&
               !m_pFrame->Session()->IsLoggedIn();
    }
    void Login(const QString& strUser, const QString& strPwd, bool bSave) {
        CLinkDlg* pDlg = m_pFrame->LinkDlg();
        WhenShown(pDlg, [=] {
            ChooseUser(pDlg, strUser);
            // The box first: unticking it empties the password field.
            if (Ctl<QCheckBox>(pDlg, CLinkDlg::IDC_SAVE_PWD)->isChecked() != bSave)
                Click(pDlg, CLinkDlg::IDC_SAVE_PWD);
            SetText(pDlg, CLinkDlg::IDC_PWD, strPwd);
            Click(pDlg, CLinkDlg::IDOK);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_LOGIN));
    }
    void CreateWithDialogs(const QString& strUser, const QString& strPwd) {
        CNewUserDlg* pNew = m_pFrame->NewUserDlg();
        WhenShown(pNew, [=] {
            SetText(pNew, CNewUserDlg::IDC_USER, strUser);
            SetText(pNew, CNewUserDlg::IDC_PWD, strPwd);
            SetText(pNew, CNewUserDlg::IDC_PWD2, strPwd);
            Click(pNew, CNewUserDlg::IDOK);
        });
        CBankDlg* pBank = m_pFrame->BankDlg();
        WhenShown(pBank, [=] {
            AddAccount(pBank, QStringLiteral("现金"), QStringLiteral("钱包"),
                       QStringLiteral("500"));
            AddAccount(pBank, QStringLiteral("工商银行"), QStringLiteral("6222 0001"),
                       QStringLiteral("12.345"));
            Click(pBank, CBankDlg::IDOK);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_NEW_USER));
    }

private Q_SLOTS:
    void init() {
        CSavedPwd::SetKeyFile(m_keyDir.filePath(QStringLiteral("savedpwd.key")));
        CToday::Set(s_today);
        m_pGui = std::make_unique<CGuiTest>();
        m_pFrame = m_pGui->Frame();
    }
    void cleanup() {
        m_pFrame = nullptr;
        m_pGui.reset();
    }

    void createUserWithTwoAccountsAndLogIn() {
        CreateWithDialogs(QStringLiteral("张三"), QStringLiteral("pw1"));
        QCOMPARE(ShownTexts(),
                 (QStringList{QStringLiteral("确定账号信息正确吗？(以后可以在“账号管理”中修改。)"),
                              QStringLiteral("创建用户成功!")}));
        QCOMPARE(CMessageBox::Shown().first().strCaption, QStringLiteral("注意"));
        QVERIFY(CMessageBox::Shown().last().bInfo); // good news, not a warning
        // No day is opened for the new member: the book holds the user and the accounts.
        QCOMPARE(RowsOfAllTables(QStringLiteral("张三")), (QList<int>{1, 2, 0, 0, 0}));
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"CardName\", \"CardSum\", \"CardCash\" FROM \"Bank\" "
                           "ORDER BY \"编号\""));
        QVERIFY(q.next());
        QCOMPARE(q.value(2).toDouble(), 500.0);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), QStringLiteral("6222 0001"));
        QCOMPARE(q.value(2).toDouble(), 12.35); // what the list showed, not what was typed
        QVERIFY(CTestAccess::NewUserName(m_pFrame->NewUserDlg()).isEmpty());
        // The new member is logged in at once.
        QVERIFY(LoggedIn());
        QCOMPARE(m_pFrame->Session()->UserName(), QStringLiteral("张三"));
        QCOMPARE(m_pFrame->Session()->UserId(), CUserAdmin::UserId(QStringLiteral("张三")));

        // The first day is the one the member opens (today's outlay); opened again, the book
        // keeps the one placeholder row it has.
        for (int i = 0; i < 2; ++i) {
            CGuiTest::OnNextModal([](QWidget* pDlg) {
                for (QPushButton* pButton : pDlg->findChildren<QPushButton*>())
                    if (pButton->text() == QStringLiteral("确定"))
                        pButton->click();
            });
            QVERIFY(m_pGui->Trigger(CMainFrame::ID_ADD_OUTLAY));
            QCOMPARE(RowsOfAllTables(QStringLiteral("张三")), (QList<int>{1, 2, 0, 1, 0}));
        }

        // Another member created meanwhile takes over the window.
        CMessageBox::ClearShown();
        CreateWithDialogs(QStringLiteral("李四"), QStringLiteral("pw2"));
        QCOMPARE(ShownTexts().last(), QStringLiteral("创建用户成功!"));
        QVERIFY(LoggedIn());
        QCOMPARE(m_pFrame->Session()->UserName(), QStringLiteral("李四"));
    }

    // 切换用户: logging in while someone is logged in switches in one step; a cancelled or
    // refused login leaves the member before logged in.
    void switchUserWhileLoggedIn() {
        AddUser(QStringLiteral("张三"), QStringLiteral("pw1"));
        AddUser(QStringLiteral("李四"), QStringLiteral("pw2"));
        m_pGui->LogIn(QStringLiteral("张三"));
        QVERIFY(LoggedIn());

        CLinkDlg* pDlg = m_pFrame->LinkDlg();
        WhenShown(pDlg, [=] { Click(pDlg, CLinkDlg::IDCANCEL); });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_LOGIN));
        QCOMPARE(m_pFrame->Session()->UserName(), QStringLiteral("张三"));
        Login(QStringLiteral("李四"), QStringLiteral("wrong"), false);
        QCOMPARE(ShownTexts().last(), QStringLiteral("用户名与密码不符！"));
        QCOMPARE(m_pFrame->Session()->UserName(), QStringLiteral("张三"));

        CMessageBox::ClearShown();
        Login(QStringLiteral("李四"), QStringLiteral("pw2"), false);
        QCOMPARE(ShownTexts(), QStringList());
        QVERIFY(LoggedIn());
        QCOMPARE(m_pFrame->Session()->UserName(), QStringLiteral("李四"));
        QCOMPARE(m_pFrame->Session()->UserId(), CUserAdmin::UserId(QStringLiteral("李四")));
        QCOMPARE(m_pFrame->ShownView(), CMainFrame::EView::SumList);
        // Nothing of the member before stays in sight.
        QCOMPARE(Text(m_pFrame->CurrentView(), CSumListView::IDC_USER_TITLE),
                 QStringLiteral("用户名:  李四"));
    }

    void newUserRefusalsWriteNothing() {
        AddUser(QStringLiteral("张三"), QStringLiteral("pw"));
        CNewUserDlg* pNew = m_pFrame->NewUserDlg();
        WhenShown(pNew, [=] {
            const struct {
                const char *szUser, *szPwd, *szPwd2, *szMessage;
            } cases[] = {{"", "a", "a", "用户名不能为空!"},
                         {"李四", "", "", "用户密码不能为空!"},
                         {"李四", "a", "b", " 新密码和确认密码不符！"},
                         {"张三", "a", "a", "用户名已存在！"}};
            for (const auto& c : cases) {
                CMessageBox::ClearShown();
                SetText(pNew, CNewUserDlg::IDC_USER, QString::fromUtf8(c.szUser));
                SetText(pNew, CNewUserDlg::IDC_PWD, QString::fromUtf8(c.szPwd));
                SetText(pNew, CNewUserDlg::IDC_PWD2, QString::fromUtf8(c.szPwd2));
                Click(pNew, CNewUserDlg::IDOK);
                QCOMPARE(ShownTexts(), QStringList{QString::fromUtf8(c.szMessage)});
                QVERIFY(pNew->isVisible());
                QCOMPARE(Text(pNew, CNewUserDlg::IDC_USER),
                         QString::fromUtf8(c.szUser)); // typed values stay
            }
            CMessageBox::ClearShown();
            SetText(pNew, CNewUserDlg::IDC_USER, QString(256, QLatin1Char('n')));
            SetText(pNew, CNewUserDlg::IDC_PWD, QStringLiteral("a"));
            SetText(pNew, CNewUserDlg::IDC_PWD2, QStringLiteral("a"));
            Click(pNew, CNewUserDlg::IDOK);
            QCOMPARE(ShownTexts(), QStringList{QStringLiteral("用户名不能超过 255 个字符！")});
            Click(pNew, CNewUserDlg::IDCANCEL);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_NEW_USER));
        QCOMPARE(CUserAdmin::UserNames(), QStringList{QStringLiteral("张三")});

        // The accounts are cancelled: no trace of the user.
        CMessageBox::ClearShown();
        WhenShown(pNew, [=] {
            SetText(pNew, CNewUserDlg::IDC_USER, QStringLiteral("王五"));
            SetText(pNew, CNewUserDlg::IDC_PWD, QStringLiteral("pw"));
            SetText(pNew, CNewUserDlg::IDC_PWD2, QStringLiteral("pw"));
            Click(pNew, CNewUserDlg::IDOK);
        });
        CBankDlg* pBank = m_pFrame->BankDlg();
        WhenShown(pBank, [=] {
            AddAccount(pBank, QStringLiteral("现金"), QString(), QStringLiteral("1"));
            Click(pBank, CBankDlg::IDCANCEL);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_NEW_USER));
        QCOMPARE(ShownTexts().size(), 2); // asked before the typed account was dropped
        QCOMPARE(ShownTexts().last(), QStringLiteral("您未输入账号信息,创建用户失败!"));
        QCOMPARE(RowsOfAllTables(QStringLiteral("王五")), (QList<int>{0, 0, 0, 0, 0}));
        QVERIFY(m_pFrame->Session()->UserName().isEmpty());
        QVERIFY(LoggedOut());
    }

    void accountDialogEditsItsList() {
        CBankDlg* pBank = m_pFrame->BankDlg();
        QList<CUserAdmin::SAccount> written;
        bool bAcceptWrite = false;
        pBank->SetWriter([&](const QList<CUserAdmin::SAccount>& accounts) {
            written = accounts;
            return bAcceptWrite;
        });
        WhenShown(pBank, [&] {
            QVERIFY(
                !Ctl<QPushButton>(pBank, CBankDlg::IDC_MODIFY)->isEnabled()); // no row highlighted
            Click(pBank, CBankDlg::IDOK);
            QCOMPARE(ShownTexts().last(), QStringLiteral("至少有一个账号信息！"));

            AddAccount(pBank, QStringLiteral("现金"), QStringLiteral("钱包"),
                       QStringLiteral("500"));
            AddAccount(pBank, QStringLiteral("钱"), QString(), QStringLiteral(" 12.345 "));
            QCOMPARE(ListRow(pBank, 0), (QStringList{QStringLiteral("现金"), QStringLiteral("钱包"),
                                                     QStringLiteral("500.00")}));
            QCOMPARE(ListRow(pBank, 1).last(), QStringLiteral("12.35"));
            // The note typed in 账号备注 stands under 备注, as in 账号管理.
            QCOMPARE(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST)->horizontalHeaderItem(1)->text(),
                     QStringLiteral("备注"));
            QVERIFY(!Ctl<QPushButton>(pBank, CBankDlg::IDC_MODIFY)->isEnabled());
            QVERIFY(!Ctl<QPushButton>(pBank, CBankDlg::IDC_DELETE)->isEnabled());
            QCOMPARE(Text(pBank, CBankDlg::IDC_CASH), QStringLiteral("0.00"));

            // Clicking a row loads it; text that is not an amount is refused and the field
            // goes back to the amount it held.
            ClickListRow(pBank, 0);
            QCOMPARE(Text(pBank, CBankDlg::IDC_NAME), QStringLiteral("现金"));
            QCOMPARE(Text(pBank, CBankDlg::IDC_CASH), QStringLiteral("500.00"));
            for (const char* szBad : {"abc", "12,5", "nan", "inf", "2e12", ""}) {
                CMessageBox::ClearShown();
                SetText(pBank, CBankDlg::IDC_CASH, QLatin1String(szBad));
                Click(pBank, CBankDlg::IDC_MODIFY);
                QCOMPARE(ShownTexts().size(), 1);
                QCOMPARE(Text(pBank, CBankDlg::IDC_CASH), QStringLiteral("500.00"));
                QCOMPARE(ListRow(pBank, 0).last(), QStringLiteral("500.00"));
            }
            SetText(pBank, CBankDlg::IDC_NAME, QStringLiteral("支付宝"));
            SetText(pBank, CBankDlg::IDC_CASH, QStringLiteral("-3"));
            Click(pBank, CBankDlg::IDC_MODIFY);
            QCOMPARE(ListRow(pBank, 0),
                     (QStringList{QStringLiteral("支付宝"), QStringLiteral("钱包"),
                                  QStringLiteral("-3.00")}));
            CMessageBox::ClearShown();
            SetText(pBank, CBankDlg::IDC_NAME, QString());
            Click(pBank, CBankDlg::IDC_ADD);
            SetText(pBank, CBankDlg::IDC_NAME, QString(256, QChar(0x4E2D)));
            Click(pBank, CBankDlg::IDC_ADD);
            // Blank, or another row's name after trimming and ignoring case.
            for (const char* szName : {"   ", " 支付宝 ", "钱"}) {
                SetText(pBank, CBankDlg::IDC_NAME, QString::fromUtf8(szName));
                Click(pBank, CBankDlg::IDC_ADD);
            }
            QCOMPARE(ShownTexts().mid(0, 3),
                     (QStringList{QStringLiteral("账号不能为空！"),
                                  QStringLiteral("账号名不能超过 255 个字符！"),
                                  QStringLiteral("账号不能为空！")}));
            QCOMPARE(ShownTexts().size(), 5);
            QCOMPARE(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST)->rowCount(), 2);

            // Enter in a field adds the account typed instead of confirming the dialog.
            CMessageBox::ClearShown();
            SetText(pBank, CBankDlg::IDC_NAME, QStringLiteral("删我"));
            SetText(pBank, CBankDlg::IDC_CASH, QStringLiteral("1"));
            QTest::keyClick(Ctl<QLineEdit>(pBank, CBankDlg::IDC_CASH), Qt::Key_Return);
            QVERIFY(pBank->isVisible() && ShownTexts().isEmpty());
            QCOMPARE(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST)->rowCount(), 3);
            // The highlighted row is the one 删除 removes, also when reached with ↓.
            ClickListRow(pBank, 1);
            QTest::keyClick(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST), Qt::Key_Down);
            QCOMPARE(Text(pBank, CBankDlg::IDC_NAME), QStringLiteral("删我"));
            Click(pBank, CBankDlg::IDC_DELETE);
            QCOMPARE(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST)->rowCount(), 2);
            QCOMPARE(ListRow(pBank, 1).first(), QStringLiteral("钱"));
            QVERIFY(!Ctl<QPushButton>(pBank, CBankDlg::IDC_DELETE)->isEnabled());
            QVERIFY(ShownTexts().isEmpty()); // deleted without a question

            // Esc with accounts entered asks; Cancel keeps everything.
            CMessageBox::SetNextAnswer(false);
            QTest::keyClick(pBank, Qt::Key_Escape);
            QVERIFY(pBank->isVisible());
            QCOMPARE(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST)->rowCount(), 2);
            QCOMPARE(ShownTexts().size(), 1);

            // The confirmation answered with Cancel, then a failed write: still open.
            CMessageBox::SetNextAnswer(false);
            Click(pBank, CBankDlg::IDOK);
            QVERIFY(pBank->isVisible() && written.isEmpty());
            Click(pBank, CBankDlg::IDOK);
            QVERIFY(pBank->isVisible());
            bAcceptWrite = true;
            Click(pBank, CBankDlg::IDOK);
        });
        QCOMPARE(pBank->exec(), int(QDialog::Accepted));
        QCOMPARE(written.size(), 2);
        QCOMPARE(written[0].strCardName, QStringLiteral("支付宝"));
        QCOMPARE(written[0].dCardCash, -3.0);
        QCOMPARE(written[1].dCardCash, 12.35);

        // A second showing starts with an empty list; with nothing entered 取消 asks nothing.
        CMessageBox::ClearShown();
        WhenShown(pBank, [=] {
            QCOMPARE(Ctl<QTableWidget>(pBank, CBankDlg::IDC_LIST)->rowCount(), 0);
            Click(pBank, CBankDlg::IDCANCEL);
        });
        QCOMPARE(pBank->exec(), int(QDialog::Rejected));
        QVERIFY(ShownTexts().isEmpty());
    }

    void onlyARightPasswordIsRemembered() {
        AddUser(QStringLiteral("Ann"), QStringLiteral("right"));
        AddUser(QStringLiteral("Bob"), QStringLiteral("bob"));
        Login(QStringLiteral("Ann"), QStringLiteral("wrong"), true);
        QCOMPARE(ShownTexts(), QStringList{QStringLiteral("用户名与密码不符！")});
        QVERIFY(LoggedOut());
        bool bSave = true;
        QString strSaved;
        CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strSaved);
        QVERIFY(!bSave);
        CLinkDlg* pDlg = m_pFrame->LinkDlg();
        // A name typed that is nobody's: refused, nothing written.
        CMessageBox::ClearShown();
        WhenShown(pDlg, [=] {
            Ctl<QComboBox>(pDlg, CLinkDlg::IDC_USER)->setEditText(QStringLiteral("ann"));
            SetText(pDlg, CLinkDlg::IDC_PWD, QStringLiteral("right"));
            Click(pDlg, CLinkDlg::IDOK);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_LOGIN));
        QCOMPARE(ShownTexts(), QStringList{QStringLiteral("用户名与密码不符！")});
        QCOMPARE(CUserAdmin::UserNames(),
                 (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));

        // A remembered password that no longer fits (changed elsewhere) keeps the dialog
        // open with the field emptied, for the right one to be typed.
        QVERIFY(CUserAdmin::StoreSaveChoice(QStringLiteral("Ann"), true, QStringLiteral("wrong")));
        CMessageBox::ClearShown();
        WhenShown(pDlg, [=] {
            auto* pCombo = Ctl<QComboBox>(pDlg, CLinkDlg::IDC_USER);
            QCOMPARE(pCombo->count(), 2);
            QCOMPARE(pCombo->currentText(), QString());
            QCOMPARE(Text(pDlg, CLinkDlg::IDC_PWD), QString());
            QVERIFY(!Ctl<QCheckBox>(pDlg, CLinkDlg::IDC_SAVE_PWD)->isChecked());
            ChooseUser(pDlg, QStringLiteral("Bob"));
            QCOMPARE(Text(pDlg, CLinkDlg::IDC_PWD), QString());
            ChooseUser(pDlg, QStringLiteral("Ann"));
            QCOMPARE(Text(pDlg, CLinkDlg::IDC_PWD), QStringLiteral("wrong"));
            QVERIFY(Ctl<QCheckBox>(pDlg, CLinkDlg::IDC_SAVE_PWD)->isChecked());
            Click(pDlg, CLinkDlg::IDOK);
            QVERIFY(pDlg->isVisible());
            QCOMPARE(Text(pDlg, CLinkDlg::IDC_PWD), QString());
            QCOMPARE(ShownTexts(),
                     QStringList{QStringLiteral("保存的密码已经不对了，请重新输入密码。")});
            SetText(pDlg, CLinkDlg::IDC_PWD, QStringLiteral("wrong"));
            Click(pDlg, CLinkDlg::IDC_SAVE_PWD); // unticked: the field empties at once
            QCOMPARE(Text(pDlg, CLinkDlg::IDC_PWD), QString());
            Click(pDlg, CLinkDlg::IDCANCEL);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_LOGIN));
        CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strSaved);
        QVERIFY(bSave); // cancelling stored nothing
        QCOMPARE(strSaved, QStringLiteral("wrong"));

        CMessageBox::ClearShown();
        Login(QStringLiteral("Ann"), QStringLiteral("right"), false);
        QVERIFY(LoggedIn());
        CUserAdmin::SavedPassword(QStringLiteral("Ann"), bSave, strSaved);
        QVERIFY(!bSave);
        QCOMPARE(strSaved, QString());
    }

    // After a login, with or without 保存密码, and after a change of password, the frame, its
    // session and its dialogs hold none of the passwords typed.
    void noPasswordStaysBehind() {
        AddUser(QStringLiteral("Ann"), QStringLiteral("first-secret"));
        for (const bool bSave : {false, true}) {
            Login(QStringLiteral("Ann"), QStringLiteral("first-secret"), bSave);
            QVERIFY(LoggedIn());
            QVERIFY(!HeldTexts(m_pFrame).contains(QStringLiteral("first-secret")));
            QVERIFY(CTestAccess::TypedPassword(m_pFrame->LinkDlg()).isEmpty());
            QVERIFY(m_pGui->Trigger(CMainFrame::ID_DISCONNECT));
        }
        Login(QStringLiteral("Ann"), QStringLiteral("first-secret"), false);
        CChangPwdDlg* pDlg = m_pFrame->ChangPwdDlg();
        WhenShown(pDlg, [=] {
            SetText(pDlg, CChangPwdDlg::IDC_OLD_PWD, QStringLiteral("first-secret"));
            SetText(pDlg, CChangPwdDlg::IDC_NEW_PWD, QStringLiteral("second-secret"));
            SetText(pDlg, CChangPwdDlg::IDC_NEW_PWD2, QStringLiteral("second-secret"));
            pDlg->reject(); // cancelled: what was typed goes too
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        QVERIFY(!HeldTexts(m_pFrame).contains(QStringLiteral("-secret")));

        // Typed key by key and changed for real: the old and the new password are overwritten
        // where they lay once the dialog closes, not merely let go.
        const QByteArray old = Masked("first-secret"),
                         changed = Masked("Zq7!wert-neu:Kennwort 9.12.2026");
        WhenShown(pDlg, [=] {
            TypeMasked(Ctl<QLineEdit>(pDlg, CChangPwdDlg::IDC_OLD_PWD), old);
            TypeMasked(Ctl<QLineEdit>(pDlg, CChangPwdDlg::IDC_NEW_PWD), changed);
            TypeMasked(Ctl<QLineEdit>(pDlg, CChangPwdDlg::IDC_NEW_PWD2), changed);
            QVERIFY(InWritableMemory(changed)); // the check sees a password that is there
            Click(pDlg, CChangPwdDlg::IDOK);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("first-secret")));
        QVERIFY(!InWritableMemory(changed));
        QVERIFY(!InWritableMemory(old));
    }

    // A book that cannot be read is said to be so, never "wrong password"; the dialogs stay
    // open to try again.
    void bookErrorIsNotAWrongPassword() {
        AddUser(QStringLiteral("Ann"), QStringLiteral("pw"));
        const auto hideUsers = [](bool bHide) {
            QSqlQuery(CDatabase::Connection())
                .exec(bHide ? QStringLiteral("ALTER TABLE \"User\" RENAME TO \"UserAway\"")
                            : QStringLiteral("ALTER TABLE \"UserAway\" RENAME TO \"User\""));
        };
        CLinkDlg* pLink = m_pFrame->LinkDlg();
        WhenShown(pLink, [=] {
            ChooseUser(pLink, QStringLiteral("Ann"));
            SetText(pLink, CLinkDlg::IDC_PWD, QStringLiteral("pw"));
            hideUsers(true);
            Click(pLink, CLinkDlg::IDOK);
            QVERIFY(pLink->isVisible());
            hideUsers(false);
            Click(pLink, CLinkDlg::IDOK);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_LOGIN));
        QCOMPARE(ShownTexts().size(), 1);
        QVERIFY2(!ShownTexts()[0].contains(QStringLiteral("不符")), qPrintable(ShownTexts()[0]));
        QVERIFY(LoggedIn());

        CMessageBox::ClearShown();
        CChangPwdDlg* pDlg = m_pFrame->ChangPwdDlg();
        WhenShown(pDlg, [=] {
            SetText(pDlg, CChangPwdDlg::IDC_OLD_PWD, QStringLiteral("pw"));
            SetText(pDlg, CChangPwdDlg::IDC_NEW_PWD, QStringLiteral("pw2"));
            SetText(pDlg, CChangPwdDlg::IDC_NEW_PWD2, QStringLiteral("pw2"));
            hideUsers(true);
            Click(pDlg, CChangPwdDlg::IDOK);
            QVERIFY(pDlg->isVisible());
            hideUsers(false);
            pDlg->reject();
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        QCOMPARE(ShownTexts().size(), 1);
        QVERIFY2(!ShownTexts()[0].contains(QStringLiteral("原密码有误")),
                 qPrintable(ShownTexts()[0]));
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("pw")));
    }

    void changePasswordTwiceInOneLogin() {
        AddUser(QStringLiteral("Ann"), QStringLiteral("p1"));
        Login(QStringLiteral("Ann"), QStringLiteral("p1"), false);
        QVERIFY(LoggedIn());
        CChangPwdDlg* pDlg = m_pFrame->ChangPwdDlg();
        auto change = [=](const char* szOld, const char* szNew, const char* szNew2) {
            SetText(pDlg, CChangPwdDlg::IDC_OLD_PWD, QLatin1String(szOld));
            SetText(pDlg, CChangPwdDlg::IDC_NEW_PWD, QLatin1String(szNew));
            SetText(pDlg, CChangPwdDlg::IDC_NEW_PWD2, QLatin1String(szNew2));
            Click(pDlg, CChangPwdDlg::IDOK);
        };
        WhenShown(pDlg, [=] {
            change("P1", "p2", "p2");
            change("p1", "p2", "p3");
            change("p1", "p2", "p2");
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        QCOMPARE(ShownTexts(), (QStringList{QStringLiteral(" 原密码有误！"),
                                            QStringLiteral(" 新密码和确认密码不符！"),
                                            QStringLiteral("当前用户密码修改成功！")}));
        QCOMPARE(CMessageBox::Shown().first().bInfo, false);
        QVERIFY(CMessageBox::Shown().last().bInfo);
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("p2")));

        CMessageBox::ClearShown();
        WhenShown(pDlg, [=] {
            QCOMPARE(Text(pDlg, CChangPwdDlg::IDC_OLD_PWD), QString()); // emptied after the change
            change("p1", "p3", "p3");
            change("p2", "p3", "p3");
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        QCOMPARE(ShownTexts(), (QStringList{QStringLiteral(" 原密码有误！"),
                                            QStringLiteral("当前用户密码修改成功！")}));
        QVERIFY(CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("p3")));
        QVERIFY(!CUserAdmin::CheckPassword(QStringLiteral("Ann"), QStringLiteral("p2")));
        QVERIFY(LoggedIn());

        // Another copy changes the password: this one cannot undo that with the old one.
        // Then it deletes Ann and creates her again: this session's writes are refused and
        // it ends.
        const QString strAnn = QStringLiteral("Ann");
        QCOMPARE(CUserAdmin::ChangePassword(strAnn, QStringLiteral("p3"), QStringLiteral("p4")),
                 CUserAdmin::EChange::Changed);
        CMessageBox::ClearShown();
        WhenShown(pDlg, [=] {
            change("p3", "p5", "p5");
            pDlg->reject();
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        QCOMPARE(ShownTexts(), QStringList{QStringLiteral(" 原密码有误！")});
        QVERIFY(CUserAdmin::CheckPassword(strAnn, QStringLiteral("p4")));

        QVERIFY(CUserAdmin::DeleteUser(strAnn));
        AddUser(strAnn, QStringLiteral("p4"));
        CMessageBox::ClearShown();
        WhenShown(pDlg, [=] { change("p4", "p6", "p6"); });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_CHANGE_PWD));
        const QStringList shown = ShownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("已在别处被删除或重新创建")),
                 qPrintable(shown[0]));
        QVERIFY(!pDlg->isVisible());
        QVERIFY(LoggedOut());
        QVERIFY(CUserAdmin::CheckPassword(strAnn, QStringLiteral("p4")));
    }

    void deleteUserAndLogOut() {
        AddUser(QStringLiteral("Ann"), QStringLiteral("a"));
        AddUser(QStringLiteral("Bob"), QStringLiteral("b"));
        const QList<int> bob = RowsOfAllTables(QStringLiteral("Bob"));
        QCOMPARE(bob, (QList<int>{1, 1, 1, 1, 1}));
        Login(QStringLiteral("Ann"), QStringLiteral("a"), false);

        CMessageBox::SetNextAnswer(false);
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_DISCONNECT));
        const QList<CMessageBox::SShown> shown = CMessageBox::Shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].strText, QStringLiteral("断开当前用户连接吗？"));
        QCOMPARE(shown[0].strCaption, QStringLiteral("断开连接"));

        // The deletion names the user and what goes, wants Ann's password, and Enter cancels.
        QString strText;
        bool bCancelIsDefault = false;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            strText = pDlg->findChild<QLabel*>(QStringLiteral("text"))->text();
            bCancelIsDefault = Ctl<QPushButton>(pDlg, CDelUserDlg::IDCANCEL)->isDefault();
            QTest::keyClick(Ctl<QLineEdit>(pDlg, CDelUserDlg::IDC_PWD), Qt::Key_Return);
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_DELETE_USER));
        QVERIFY(bCancelIsDefault);
        QVERIFY(strText.contains(QStringLiteral("“Ann”")));
        QVERIFY(strText.contains(QStringLiteral("所有账号、收支记录和转账记录都将被删除")));
        QVERIFY(LoggedIn());
        QCOMPARE(RowsOfAllTables(QStringLiteral("Ann")), (QList<int>{1, 1, 1, 1, 1}));

        CMessageBox::ClearShown();
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            for (const char* szPwd : {"b", "a"}) {
                SetText(pDlg, CDelUserDlg::IDC_PWD, QLatin1String(szPwd));
                Click(pDlg, CDelUserDlg::IDOK);
            }
        });
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_DELETE_USER));
        QCOMPARE(ShownTexts(), (QStringList{QStringLiteral("密码有误，用户没有删除。"),
                                            QStringLiteral("此用户已被删除！")}));
        QVERIFY(CMessageBox::Shown().last().bInfo); // done as asked: not a warning
        QVERIFY(LoggedOut());
        QCOMPARE(RowsOfAllTables(QStringLiteral("Ann")), (QList<int>{0, 0, 0, 0, 0}));
        QCOMPARE(RowsOfAllTables(QStringLiteral("Bob")), bob);

        Login(QStringLiteral("Bob"), QStringLiteral("b"), false);
        QVERIFY(LoggedIn());
        QVERIFY(m_pGui->Trigger(CMainFrame::ID_DISCONNECT));
        QVERIFY(LoggedOut());
        QCOMPARE(RowsOfAllTables(QStringLiteral("Bob")), bob);
    }

    void bookFileHoldsNoPassword() {
        CreateWithDialogs(QStringLiteral("secret-user"), QStringLiteral("secret123"));
        Login(QStringLiteral("secret-user"), QStringLiteral("secret123"), true);
        QVERIFY(LoggedIn());
        bool bSave = false;
        QString strSaved;
        CUserAdmin::SavedPassword(QStringLiteral("secret-user"), bSave, strSaved);
        QCOMPARE(strSaved, QStringLiteral("secret123")); // remembered, and readable here
        CDatabase::Close();
        QByteArray raw;
        for (const QString& strSuffix :
             {QString(), QStringLiteral("-wal"), QStringLiteral("-journal")}) {
            QFile file(m_pGui->Book().FilePath() + strSuffix);
            if (file.open(QIODevice::ReadOnly))
                raw += file.readAll();
        }
        QVERIFY(raw.contains("secret-user")); // the file is readable as it is
        const QString strPwd = QStringLiteral("secret123");
        QVERIFY(!raw.contains(strPwd.toUtf8()));
        QVERIFY(!raw.contains(
            QByteArray(reinterpret_cast<const char*>(strPwd.utf16()), strPwd.size() * 2)));
        QVERIFY(!raw.contains(strPwd.toUtf8().toBase64()));
    }

    void dialogsShowTheirTextsWhole() {
        AddUser(QStringLiteral("张三"), QStringLiteral("a"));
        CLinkDlg* pLink = m_pFrame->LinkDlg();
        WhenShown(pLink, [=] {
            ChooseUser(pLink, QStringLiteral("张三"));
            CheckNothingClipped(pLink);
            Click(pLink, CLinkDlg::IDCANCEL);
        });
        pLink->exec();
        CNewUserDlg* pNew = m_pFrame->NewUserDlg();
        WhenShown(pNew, [=] {
            SetText(pNew, CNewUserDlg::IDC_USER, QStringLiteral("李四"));
            SetText(pNew, CNewUserDlg::IDC_PWD, QStringLiteral("pw"));
            CheckNothingClipped(pNew);
            Click(pNew, CNewUserDlg::IDCANCEL);
        });
        pNew->exec();
        CBankDlg* pBank = m_pFrame->BankDlg();
        WhenShown(pBank, [=] {
            AddAccount(pBank, QStringLiteral("现金"), QStringLiteral("钱包里的零钱"),
                       QStringLiteral("500"));
            AddAccount(pBank, QStringLiteral("招商银行"), QStringLiteral("6225 8801 2345"),
                       QStringLiteral("12800.5"));
            SetText(pBank, CBankDlg::IDC_NAME, QStringLiteral("支付宝"));
            SetText(pBank, CBankDlg::IDC_CASH, QStringLiteral("88.8"));
            CheckNothingClipped(pBank);
            Click(pBank, CBankDlg::IDCANCEL);
        });
        pBank->exec();
        CChangPwdDlg* pPwd = m_pFrame->ChangPwdDlg();
        WhenShown(pPwd, [=] {
            CheckNothingClipped(pPwd);
            Click(pPwd, CChangPwdDlg::IDCANCEL);
        });
        pPwd->exec();
    }
};

QTEST_MAIN(TestUsersGui)
#include "tst_users_gui.moc"
