#include "creportprinter.h"

#include "analysis/creportpages.h"
#include "cpreviewframe.h"
#include "data/cmoney.h"
#include "widgets/cmsflexgrid1.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <array>

namespace {
constexpr double Dpi = 300.0;

// A font whose cell (ascent + descent) is the given number of points, as the printer fonts
// are specified; Qt sizes fonts by their em, which is smaller than the cell.
QFont MakeFont(const QString& strFace, double dPoints) {
    QFont font(CReportPrinter::FontFamily(strFace));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    const double dCell = qRound(dPoints * Dpi / 72.0);
    font.setPixelSize(1000);
    const double dRatio = QFontMetricsF(font).height() / 1000.0;
    font.setPixelSize(std::max(1, qRound(dCell / (dRatio > 0 ? dRatio : 1.0))));
    return font;
}

// Text whose cell starts at y (the top), as a printer places it.
void TextAt(QPainter* p, double x, double y, const QString& str) {
    p->drawText(QPointF(x, y + QFontMetricsF(p->font()).ascent()), str);
}

// A cell's text, shortened with "…" only when it would run into the next column.
void CellAt(QPainter* p, double x, double y, double dRight, const QString& str) {
    const QFontMetricsF fm(p->font());
    const double dWidth = dRight - x;
    TextAt(p, x, y,
           fm.horizontalAdvance(str) <= dWidth ? str : fm.elidedText(str, Qt::ElideRight, dWidth));
}

// Money stands right-aligned against dRight, so the decimal points line up down the page.
void MoneyAt(QPainter* p, double dLeft, double y, double dRight, const QString& str) {
    const QFontMetricsF fm(p->font());
    const QString strShown = fm.horizontalAdvance(str) <= dRight - dLeft
                                 ? str
                                 : fm.elidedText(str, Qt::ElideLeft, dRight - dLeft);
    TextAt(p, dRight - fm.horizontalAdvance(strShown), y, strShown);
}

void FilledRect(QPainter* p, const QRectF& rect, const QColor& color) {
    p->setBrush(color);
    p->drawRect(rect);
    p->setBrush(Qt::NoBrush);
}

const QColor BandBlue(156, 207, 255);
const QColor BarRed(255, 22, 22);
} // namespace

CReportPrinter::CReportPrinter(CMsflexgrid1* pGrid) : QObject(pGrid), m_pGrid(pGrid) {}

CReportPrinter::~CReportPrinter() {
    if (m_pPreviewFrame) {
        m_pPreviewFrame->ReleaseOwner(); // the frame is being destroyed: do not show it again
        delete m_pPreviewFrame;
    }
}

QString CReportPrinter::FontFamily(const QString& strFace) {
    static QHash<QString, QString> cache;
    auto it = cache.constFind(strFace);
    if (it != cache.constEnd())
        return *it;
    const QStringList installed = QFontDatabase::families();
    QStringList candidates{strFace};
    if (strFace == QStringLiteral("宋体"))
        candidates << QStringLiteral("SimSun") << QStringLiteral("NSimSun")
                   << QStringLiteral("Noto Serif CJK SC") << QStringLiteral("Noto Sans CJK SC");
    else if (strFace == QStringLiteral("黑体"))
        candidates << QStringLiteral("SimHei") << QStringLiteral("Noto Sans CJK SC");
    else if (strFace == QStringLiteral("隶书"))
        candidates << QStringLiteral("LiSu") << QStringLiteral("STLiti")
                   << QStringLiteral("Noto Serif CJK SC") << QStringLiteral("Noto Sans CJK SC");
    candidates << QStringLiteral("Noto Sans CJK SC");
    QString strFamily = strFace;
    for (const QString& str : candidates) {
        if (installed.contains(str)) {
            strFamily = str;
            break;
        }
    }
    cache.insert(strFace, strFamily);
    return strFamily;
}

void CReportPrinter::DrawPage(QPainter* pPainter, CPrintInfo* pInfo) {
    CountReportPages(pInfo);
    if (pPainter)
        DrawReportPage(pPainter, pInfo);
}

void CReportPrinter::CountReportPages(CPrintInfo* pInfo) {
    const CMsflexgrid1* pGrid = Grid();
    m_nGridRows = pGrid ? pGrid->GetRows() : 1;
    m_nPageCount = CReportPages::PageCount(m_nGridRows);
    pInfo->SetMaxPage(m_nPageCount);
}

void CReportPrinter::DrawReportPage(QPainter* pPainter, CPrintInfo* pInfo) {
    const QPaintDevice* pDevice = pPainter->device();
    const double dScaleX = pDevice->logicalDpiX() / Dpi;
    const double dScaleY = pDevice->logicalDpiY() / Dpi;
    m_dPageWidth = pDevice->width() / dScaleX;
    m_dPageHeight = pDevice->height() / dScaleY;
    pPainter->scale(dScaleX, dScaleY);
    pPainter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    pPainter->setPen(QPen(Qt::black, 1.0));

    // Frame.
    const QRectF frame(QPointF(100, 50), QPointF(m_dPageWidth - 100, m_dPageHeight - 20));
    FilledRect(pPainter, frame, Qt::white);

    // Heading, centred in the frame, underlined twice.
    pPainter->setFont(MakeFont(QStringLiteral("黑体"), 32));
    const QString strHeading = tr("家庭财务报告");
    const QFontMetricsF fm(pPainter->font());
    const double dTextWidth = fm.horizontalAdvance(strHeading);
    const double dCentre = (frame.left() + frame.right()) / 2;
    const double dTop = frame.top() + 5;
    TextAt(pPainter, dCentre - dTextWidth / 2, dTop, strHeading);
    const double dLine1 = dTop + fm.height() + 2;
    for (double y : {dLine1, dLine1 + 2})
        pPainter->drawLine(QPointF(dCentre - dTextWidth / 2 - 10, y),
                           QPointF(dCentre + dTextWidth / 2 + 10, y));

    DrawReportTitle(pPainter, pInfo->m_nCurPage);
    DrawReportBody(pPainter, pInfo->m_nCurPage);
}

void CReportPrinter::DrawReportTitle(QPainter* pPainter, int /*nPage*/) {
    QString strTitle;
    switch (m_nReportKind) {
    case Income:
        strTitle = tr("用户收入报告");
        break;
    case Outlay:
        strTitle = tr("用户支出报告");
        break;
    case Account:
        strTitle = tr("用户账户报告");
        break;
    case Transfer:
        strTitle = tr("用户转账报告");
        break;
    }
    pPainter->setFont(MakeFont(QStringLiteral("隶书"), 18));
    TextAt(pPainter, 130, 480, strTitle);
}

void CReportPrinter::DrawReportBody(QPainter* pPainter, int nPage) {
    const bool bAccount = m_nReportKind == Account;

    // Column header band.
    FilledRect(pPainter, QRectF(QPointF(130, 660), QPointF(1910, 710)), BandBlue);
    pPainter->setFont(MakeFont(QStringLiteral("宋体"), 9));
    QStringList headers;
    switch (m_nReportKind) {
    case Income:
        headers = {tr("日期"), tr("收入分类"), tr("摘要"), tr("收入金额")};
        break;
    case Outlay:
        headers = {tr("日期"), tr("支出分类"), tr("摘要"), tr("支出金额")};
        break;
    case Account:
        headers = {tr("账号"), tr("备注"), tr("金额")};
        break;
    default:
        headers = {tr("日期"), tr("转出账号"), tr("转入账号"), tr("转账金额")};
        break;
    }
    const QVector<double> headerX =
        bAccount ? QVector<double>{260, 1060, 1660} : QVector<double>{260, 660, 1060, 1660};
    const double dMoneyRight = 1890; // inside the header band
    for (int i = 0; i < headers.size() && i < headerX.size(); ++i) {
        if (i + 1 == headerX.size())
            MoneyAt(pPainter, headerX[i], 670, dMoneyRight, headers[i]);
        else
            TextAt(pPainter, headerX[i], 670, headers[i]);
    }

    // Rows of this page, exactly as the grid holds them.
    const QVector<double> cellX =
        bAccount ? QVector<double>{200, 1000, 1660} : QVector<double>{200, 660, 1000, 1660};
    const CMsflexgrid1* pGrid = Grid();
    const int nRows = CReportPages::RowsOnPage(nPage, m_nGridRows);
    const int nFirst = CReportPages::FirstRow(nPage);
    for (int i = 1; pGrid && i <= nRows; ++i) {
        const double y = 640 + 100 * i;
        for (int c = 0; c + 1 < cellX.size(); ++c)
            CellAt(pPainter, cellX[c], y, cellX[c + 1] - 20,
                   pGrid->GetTextMatrix(nFirst + i - 1, c + 1));
        MoneyAt(pPainter, cellX.last(), y, dMoneyRight,
                pGrid->GetTextMatrix(nFirst + i - 1, int(cellX.size())));
    }

    // Page number.
    pPainter->setFont(MakeFont(QStringLiteral("宋体"), 16));
    TextAt(pPainter, 1700, 3000, tr("第%1页").arg(nPage));

    // Total and a red bar above it, on the last page only.
    if (CReportPages::IsLastPage(nPage, m_nGridRows)) {
        const double y = 880 + 100 * nRows;
        pPainter->setFont(MakeFont(QStringLiteral("隶书"), 18));
        TextAt(pPainter, 1200, y, tr("合计:%1元").arg(CMoney::Format(m_dReportTotal)));
        FilledRect(pPainter, QRectF(QPointF(130, y - 40), QPointF(1910, y - 30)), BarRed);
    }
}
