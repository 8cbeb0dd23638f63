#include "analysis/csumlistview.h"
#include "app/cmainframe.h"
#include "cbookbuilder.h"
#include "cguitest.h"
#include "ctestaccess.h"
#include "ctestrows.h"
#include "ctestworkbook.h"
#include "data/ctoday.h"
#include "import/cexportdlg.h"
#include "import/cimportdonepage.h"
#include "import/cimportfilepage.h"
#include "import/cimportpreviewpage.h"
#include "import/cimportwizard.h"
#include "import/cpreviewmodel.h"
#include "records/cdaybook.h"
#include "users/csession.h"
#include "users/cuseradmin.h"
#include "widgets/cmessagebox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kUser = QStringLiteral("张三");

int Count(const char* szTable) {
    QSqlQuery q =
        CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"Amount\" <> 0")
                            .arg(QLatin1String(szTable)));
    return q.next() ? q.value(0).toInt() : -1;
}

QAction* Command(CGuiTest& gui, int nId) {
    return gui.Find<QAction>(QString::number(nId));
}

// The user with one account, as this or another copy creates it.
void AddUser() {
    CDatabase::Exec(QStringLiteral("INSERT INTO \"User\" (\"UserName\") VALUES (?)"), {kUser});
    CTestRows::AddBank(kUser, QStringLiteral("现金"), 100);
}

// A 支付宝 statement of nRows outlay rows (UTF-8), each with an order number of its own.
QString WriteLongStatement(const QTemporaryDir& dir, int nRows) {
    QString s =
        QStringLiteral("交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,"
                       "交易状态,交易订单号,商家订单号,备注\n");
    for (int i = 0; i < nRows; ++i)
        s += QStringLiteral("%1 10:00:00,餐饮美食,面馆,,面 %2,支出,%3.50,,交易成功,L%2,,\n")
                 .arg(QDate(2023, 1, 1).addDays(i % 365).toString(Qt::ISODate))
                 .arg(i)
                 .arg(1 + i % 90);
    const QString strPath = dir.filePath(QStringLiteral("long-%1.csv").arg(nRows));
    QFile f(strPath);
    if (f.open(QIODevice::WriteOnly))
        f.write(s.toUtf8());
    return strPath;
}
} // namespace

class TestImportGui : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { CToday::Set(QDate(2024, 2, 1)); }
    void cleanup() { CToday::Set(QDate()); }

    // The three steps over a 支付宝 statement: recognised, previewed with greyed rows,
    // imported; then the summary shows it and the export writes it out again.
    void wizardImportsAndExportWrites() {
        CGuiTest gui;
        CDatabase::Exec(QStringLiteral("INSERT INTO \"User\" (\"UserName\") VALUES (?)"), {kUser});
        CTestRows::AddBank(kUser, QStringLiteral("现金"), 100);
        CTestRows::AddBank(kUser, QStringLiteral("招商银行"), 0);
        QVERIFY(!Command(gui, CMainFrame::ID_IMPORT)->isEnabled());
        gui.LogIn(kUser);
        QVERIFY(Command(gui, CMainFrame::ID_IMPORT)->isEnabled());

        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("支付宝交易明细.csv"));
        {
            QFile f(strPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QStringEncoder enc("GB18030");
            f.write(enc.encode(QStringLiteral(
                "支付宝交易记录明细查询\n账号:[someone@example.com]\n"
                "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,"
                "交易订单号,商家订单号,备注\n"
                "2024-01-05 12:30:45,餐饮美食,肯德基,,\"套餐A,加大\",支出,35.50,,交易成功,A1,,\n"
                "2024-01-06 09:00:00,收入,某公司,,一月工资,收入,8000.00,,交易成功,A2,,\n"
                "2024-01-07 10:00:00,日用百货,淘宝商家,,床单,支出,99.99,,交易关闭,A3,,\n"
                "2024-01-08 11:00:00,投资理财,余额宝,,转入余额宝,不计收支,100.00,,交易成功,A4,,\n"
                "2024-01-09 12:00:00,退款,淘宝商家,,退款-衬衫,收入,20.00,,退款成功,A5,,\n"
                "2024-01-10 08:05:00,交通出行,滴滴出行,,快车,支出,23.40,,交易成功,A6,,\n")));
        }

        QStringList ticks, kinds;
        QString strDetected, strDone, strSubTitle, strSummary;
        QSize size;
        QStringList tooBig;
        bool bNextInside = false;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pWizard = qobject_cast<CImportWizard*>(pDlg);
            QVERIFY(pWizard);
            auto* pPage = pWizard->findChild<CImportFilePage*>();
            pPage->SetPath(strPath);
            strDetected =
                pWizard->findChild<QLabel*>(QString::number(CImportFilePage::IDC_DETECTED))->text();
            pWizard->findChild<QComboBox*>(QString::number(CImportFilePage::IDC_ACCOUNT))
                ->setCurrentIndex(1);
            // Every kind of file, the column pickers of another CSV too, fits 1024×600.
            auto* pFormat =
                pWizard->findChild<QComboBox*>(QString::number(CImportFilePage::IDC_FORMAT));
            const int nFormat = pFormat->currentIndex();
            for (int i = 0; i < pFormat->count(); ++i) {
                pFormat->setCurrentIndex(i);
                const QSize need = pWizard->minimumSizeHint().expandedTo(pWizard->minimumSize());
                if (need.width() > 1024 || need.height() > 560)
                    tooBig << QStringLiteral("%1: %2×%3")
                                  .arg(pFormat->currentText())
                                  .arg(need.width())
                                  .arg(need.height());
            }
            pFormat->setCurrentIndex(nFormat);
            pWizard->next();
            // A 1024×600 screen holds the whole wizard with its buttons.
            size = pWizard->size();
            QWidget* pNext = pWizard->button(QWizard::CommitButton);
            bNextInside =
                pNext->isVisible() &&
                pWizard->rect().contains(QRect(pNext->mapTo(pWizard, QPoint(0, 0)), pNext->size()));
            strSubTitle = pWizard->currentPage()->subTitle();
            strSummary = pWizard->findChild<QLabel*>(QStringLiteral("1120"))->text();
            const CPreviewModel* pModel = CTestAccess::PreviewModel(pWizard);
            for (int r = 0; r < pModel->rowCount(); ++r) {
                ticks << (pModel->index(r, CPreviewModel::Tick).data(Qt::CheckStateRole).toInt() ==
                                  Qt::Checked
                              ? QStringLiteral("+")
                              : pModel->index(r, CPreviewModel::Reason).data().toString());
                kinds << pModel->index(r, CPreviewModel::Kind).data().toString() +
                             QLatin1Char('/') +
                             pModel->index(r, CPreviewModel::Sort).data().toString();
            }
            // The user moves the taxi ride to another category by hand.
            CTestAccess::PreviewModel(pWizard)->setData(pModel->index(5, CPreviewModel::Sort),
                                                        QStringLiteral("旅游支出"), Qt::EditRole);
            // … and keeps it so for the future (以后同样处理).
            pWizard->findChild<CImportPreviewPage*>()->SaveRuleFor(5);
            pWizard->next();
            strDone =
                pWizard->findChild<QLabel*>(QString::number(CImportDonePage::IDC_TEXT))->text();
            pWizard->accept();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QVERIFY2(gui.Messages().isEmpty(), qPrintable(gui.Messages().join(QLatin1Char('\n'))));
        QVERIFY(strDetected.contains(QStringLiteral("支付宝")));
        QVERIFY(strDetected.contains(QStringLiteral("GB18030")));
        QCOMPARE(
            ticks,
            QStringList({QStringLiteral("+"), QStringLiteral("+"),
                         QStringLiteral("交易状态是“交易关闭”：交易没有成交，钱款没有变动。"),
                         QStringLiteral("文件记为“不计收支”：不是收入也不是支出，钱款没有进出。"),
                         QStringLiteral("+"), QStringLiteral("+")}));
        QCOMPARE(kinds.first(), QStringLiteral("支出/用餐支出"));
        QVERIFY(kinds[3].startsWith(QStringLiteral("不计/")));
        QCOMPARE(strSubTitle,
                 QStringLiteral("不导入的行：交易关闭 1 行，不计收支 1 行。可以改每行的"
                                "类别和账户。"));
        QCOMPARE(strSummary,
                 QStringLiteral("共 6 行，勾选 4 行：收入 8020.00元，支出 58.90元，净额 "
                                "7961.10元。"));
        QVERIFY2(size.width() <= 1024 && size.height() <= 560,
                 qPrintable(QStringLiteral("%1×%2").arg(size.width()).arg(size.height())));
        QVERIFY(bNextInside);
        QVERIFY2(tooBig.isEmpty(), qPrintable(tooBig.join(QLatin1Char(' '))));
        QVERIFY(CImporter(kUser).Rules().first() ==
                SImportRule(
                    {QStringLiteral("滴滴出行"), ERecordKind::Outlay, QStringLiteral("旅游支出")}));
        QCOMPARE(kinds[4], QStringLiteral("收入/其它收入"));
        QVERIFY2(
            strDone.startsWith(QStringLiteral("收入表新增 2 行，支出表新增 2 行，转账 0 笔。")),
            qPrintable(strDone));
        QVERIFY(strDone.contains(QStringLiteral("招商银行：7961.10元")));
        QCOMPARE(Count("Income"), 2);
        QCOMPARE(Count("Outlay"), 2);
        QVERIFY(gui.Frame()->View<CSumListView>());
        QSqlQuery q = CDatabase::Exec(
            QStringLiteral("SELECT \"Sort\" FROM \"Outlay\" WHERE \"Amount\" = 23.4"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("旅游支出"));

        // The same file again: every row is greyed, nothing is ticked, the import refuses.
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pWizard = qobject_cast<CImportWizard*>(pDlg);
            pWizard->findChild<CImportFilePage*>()->SetPath(strPath);
            pWizard->next();
            pWizard->next();
            QCOMPARE(pWizard->currentId(), int(CImportWizard::PagePreview));
            pWizard->reject();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QCOMPARE(gui.Messages(), QStringList{QStringLiteral("没有勾选任何一行。")});
        QCOMPARE(Count("Outlay"), 2);
        gui.ClearMessages();

        const QString strOut = dir.filePath(QStringLiteral("out.csv"));
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pExport = qobject_cast<CExportDlg*>(pDlg);
            QVERIFY(pExport);
            pExport->Set(false, QDate(2024, 1, 1), QDate(2024, 1, 31), strOut);
            pExport->findChild<QPushButton*>(QStringLiteral("1"))->click();
        });
        Command(gui, CMainFrame::ID_EXPORT)->trigger();
        QCOMPARE(gui.Messages().size(), 1);
        QVERIFY(
            gui.Messages().first().startsWith(QStringLiteral("已导出 4 条收支记录和 0 笔转账到")));
        QVERIFY(CMessageBox::Shown().first().bInfo);
        QFile out(strOut);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll().count("\r\n"), 5);
    }

    // A bank CSV without a header: found by itself, the pickers name each column with an
    // example, and the guess must be confirmed on the preview before anything is written.
    void headerlessCsvIsGuessedAndConfirmed() {
        CGuiTest gui;
        AddUser();
        gui.LogIn(kUser);
        const QString strPath =
            QStringLiteral(LEDGERKIN_IMPORT_FIXTURES "/") + QStringLiteral("bank-no-header.csv");
        bool bNoHeader = false;
        QString strDate, strOut, strGuessed;
        int nAfterRefusal = -1;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pWizard = qobject_cast<CImportWizard*>(pDlg);
            pWizard->findChild<CImportFilePage*>()->SetPath(strPath);
            auto find = [pWizard](int nId) {
                return pWizard->findChild<QWidget*>(QString::number(nId));
            };
            bNoHeader = qobject_cast<QCheckBox*>(find(CImportFilePage::IDC_NO_HEADER))->isChecked();
            strDate =
                qobject_cast<QComboBox*>(find(CImportFilePage::IDC_FIRST_COLUMN))->currentText();
            strOut = qobject_cast<QComboBox*>(find(CImportFilePage::IDC_FIRST_COLUMN + 3))
                         ->currentText();
            strGuessed = qobject_cast<QLabel*>(find(CImportFilePage::IDC_GUESSED))->text();
            pWizard->next();
            pWizard->next(); // refused: the columns were not confirmed
            nAfterRefusal = pWizard->currentId();
            qobject_cast<QCheckBox*>(find(CImportPreviewPage::IDC_CHECKED))->setChecked(true);
            pWizard->next();
            pWizard->accept();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QVERIFY(bNoHeader);
        QCOMPARE(strDate, QStringLiteral("第 1 列（如 2024-05-01）"));
        QCOMPARE(strOut, QStringLiteral("第 3 列（如 2500.00）"));
        QCOMPARE(strGuessed, QStringLiteral("列是猜的，请核对。"));
        QCOMPARE(nAfterRefusal, int(CImportWizard::PagePreview));
        QCOMPARE(gui.Messages().size(), 1);
        QVERIFY(gui.Messages().first().contains(QStringLiteral("我已核对各列")));
        QCOMPARE(Count("Income"), 2);
        QCOMPARE(Count("Outlay"), 2);
        // Confirmed, the mapping is remembered for files of five columns without a header.
        SColumnMapping m;
        QVERIFY(CImporter(kUser).LoadMapping(QStringLiteral("#5"), m));
        QCOMPARE(m.nOut, 2);
        QCOMPARE(m.nIn, 3);
    }

    // A QIF transfer to an account the book lacks is an outlay; choosing one of the book's
    // accounts in its category cell makes it a transfer, a category an outlay again.
    void transferToMissingAccountCanBePicked() {
        CGuiTest gui;
        AddUser();
        CTestRows::AddBank(kUser, QStringLiteral("银行"), 0);
        gui.LogIn(kUser);
        QStringList seen;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pWizard = qobject_cast<CImportWizard*>(pDlg);
            pWizard->findChild<CImportFilePage*>()->SetPath(
                QStringLiteral(LEDGERKIN_IMPORT_FIXTURES "/qif-comments-splits.qif"));
            pWizard->next();
            CPreviewModel* pModel = CTestAccess::PreviewModel(pWizard);
            const QModelIndex sort = pModel->index(1, CPreviewModel::Sort);
            auto look = [&] {
                seen << pModel->index(1, CPreviewModel::Kind).data().toString() + QLatin1Char('/') +
                            sort.data().toString() + QLatin1Char('/') +
                            pModel->index(1, CPreviewModel::Account).data().toString();
            };
            look();
            seen << sort.data(CPreviewModel::ChoicesRole)
                        .toStringList()
                        .filter(QStringLiteral("转账："))
                        .join(QLatin1Char(','));
            QVERIFY(pModel->setData(sort, QStringLiteral("转账：现金"), Qt::EditRole));
            look();
            QVERIFY(pModel->setData(sort, QStringLiteral("交通支出"), Qt::EditRole));
            look();
            pWizard->reject();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QCOMPARE(seen,
                 QStringList({QStringLiteral("支出/其它支出/银行"), QStringLiteral("转账：现金"),
                              QStringLiteral("转账/转账：现金/银行 → 现金"),
                              QStringLiteral("支出/交通支出/银行")}));
    }

    // A workbook of two sheets opens on the one it was saved showing; the other can be chosen.
    void workbookSheetCanBeChosen() {
        CGuiTest gui;
        AddUser();
        gui.LogIn(kUser);
        QTemporaryDir dir;
        const QStringList head = QStringLiteral("交易时间,交易类型,交易对方,商品,收/支,金额(元),"
                                                "支付方式,当前状态,交易单号,商户单号,备注")
                                     .split(QLatin1Char(','));
        auto bill = [&head](const char* szAmount) {
            return QList<QStringList>{
                head, QStringLiteral("2024-01-05 08:00:00,商户消费,星巴克,拿铁,支出,%1,零钱,"
                                     "支付成功,W1,M1,/")
                          .arg(QString::fromUtf8(szAmount))
                          .split(QLatin1Char(','))};
        };
        const QString strPath = CTestWorkbook::Write(
            dir.filePath(QStringLiteral("w.xlsx")),
            {{QStringLiteral("一月"), bill("¥1.00")}, {QStringLiteral("二月"), bill("¥2.00")}}, 1);
        QStringList seen;
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pWizard = qobject_cast<CImportWizard*>(pDlg);
            pWizard->findChild<CImportFilePage*>()->SetPath(strPath);
            auto* pSheet =
                pWizard->findChild<QComboBox*>(QString::number(CImportFilePage::IDC_SHEET));
            seen << pSheet->currentText();
            pWizard->next();
            seen << CTestAccess::PreviewModel(pWizard)
                        ->index(0, CPreviewModel::Amount)
                        .data()
                        .toString();
            pWizard->back();
            pSheet->setCurrentIndex(0);
            emit pSheet->activated(0);
            pWizard->next();
            seen << CTestAccess::PreviewModel(pWizard)
                        ->index(0, CPreviewModel::Amount)
                        .data()
                        .toString();
            pWizard->reject();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QCOMPARE(seen, QStringList({QStringLiteral("二月"), QStringLiteral("2.00"),
                                    QStringLiteral("1.00")}));
    }

    // The import runs on its own connection; cancelled after thousands of rows were written
    // inside its transaction, it rolls back: the book is exactly as before, and the user is
    // told so. The wizard stays on the preview, ready to import again.
    void cancellingTheImportWritesNothing() {
        CGuiTest gui;
        AddUser();
        gui.LogIn(kUser);
        QTemporaryDir dir;
        const QString strPath = WriteLongStatement(dir, 20000);
        const QStringList before = CBookBuilder::Dump();

        int nCancelledAt = -1, nPage = -1;
        QPointer<CImportWizard> pWizard;
        QTimer canceller;
        canceller.setInterval(5);
        connect(&canceller, &QTimer::timeout, this, [&] {
            for (QProgressDialog* p :
                 pWizard ? pWizard->findChildren<QProgressDialog*>() : QList<QProgressDialog*>())
                if (p->labelText() == QStringLiteral("正在导入…") && p->value() >= 2000 &&
                    nCancelledAt < 0) {
                    nCancelledAt = p->value();
                    p->cancel();
                } else if (p->labelText() == QStringLiteral("正在取消…")) {
                    canceller.stop();
                }
        });
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            pWizard = qobject_cast<CImportWizard*>(pDlg);
            pWizard->findChild<CImportFilePage*>()->SetPath(strPath);
            pWizard->next();
            QCOMPARE(CTestAccess::PreviewModel(pWizard)->rowCount(), 20000);
            canceller.start();
            pWizard->next();
            nPage = pWizard->currentId();
            pWizard->reject();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QVERIFY2(nCancelledAt >= 2000, "the import ended before it could be cancelled");
        QCOMPARE(gui.Messages(), QStringList{QStringLiteral("导入已取消，没有写入任何记录。")});
        QCOMPARE(nPage, int(CImportWizard::PagePreview));
        QCOMPARE(CBookBuilder::Dump(), before);
        QSqlQuery q = CDatabase::Exec(QStringLiteral("SELECT COUNT(*) FROM \"ImportedId\""));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }

    // Another copy deletes the user and creates the name again while the preview is open: the
    // import (on its own thread) is refused, the wizard closes and the window logs out.
    void importOfAUserCreatedAgainElsewhereIsRefused() {
        CGuiTest gui;
        AddUser();
        gui.LogIn(kUser);
        QTemporaryDir dir;
        const QString strPath = WriteLongStatement(dir, 3);
        CGuiTest::OnNextModal([&](QWidget* pDlg) {
            auto* pWizard = qobject_cast<CImportWizard*>(pDlg);
            pWizard->findChild<CImportFilePage*>()->SetPath(strPath);
            pWizard->next();
            QVERIFY(CUserAdmin::DeleteUser(kUser));
            AddUser();
            pWizard->next();
        });
        Command(gui, CMainFrame::ID_IMPORT)->trigger();
        QCOMPARE(gui.Messages().size(), 1);
        QVERIFY2(gui.Messages().first().contains(QStringLiteral("已在别处被删除或重新创建")),
                 qPrintable(gui.Messages().first()));
        QVERIFY(!gui.Frame()->Session()->IsLoggedIn());
        QCOMPARE(Count("Outlay"), 0);
    }
};

QTEST_MAIN(TestImportGui)
#include "tst_import_gui.moc"
