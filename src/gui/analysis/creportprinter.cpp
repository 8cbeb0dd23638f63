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
#include <QRawFont>
#include <array>
#include <utility>

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
const QColor RowShade(242, 246, 250); // every other row, so a long line is followed easily

// Left margin of the page's content and the room kept free below the rows for the footer.
constexpr double Left = 130;
constexpr double FooterRoom = 230;
// Point sizes: rows in the size of body text (五号), the heading and the report title.
constexpr double RowPoints = 10.5;
constexpr double InfoPoints = 10.5;
} // namespace

CReportPrinter::CReportPrinter(CMsflexgrid1* pGrid) : QObject(pGrid), m_pGrid(pGrid) {}

CReportPrinter::~CReportPrinter() {
    if (m_pPreviewFrame) {
        m_pPreviewFrame->ReleaseOwner(); // the frame is being destroyed: do not show it again
        delete m_pPreviewFrame;
    }
}

bool CReportPrinter::HasOwnIdeographs(const QString& strFamily) {
    // 用 户 支: a radical that shares the ideograph's glyph takes its place in the text layer.
    const QRawFont raw = QRawFont::fromFont(QFont(strFamily));
    for (const auto& [ideograph, radical] :
         {std::pair<char16_t, char16_t>{0x7528, 0x2F64}, {0x6237, 0x2F3E}, {0x652F, 0x2F40}}) {
        const QList<quint32> glyph = raw.glyphIndexesForString(QString(QChar(ideograph)));
        const QList<quint32> radicalGlyph = raw.glyphIndexesForString(QString(QChar(radical)));
        if (glyph.isEmpty() || glyph[0] == 0)
            return false;
        if (!radicalGlyph.isEmpty() && radicalGlyph[0] == glyph[0])
            return false;
    }
    return true;
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
                   << QStringLiteral("Noto Serif CJK SC");
    else if (strFace == QStringLiteral("黑体"))
        candidates << QStringLiteral("SimHei");
    else if (strFace == QStringLiteral("隶书"))
        candidates << QStringLiteral("LiSu") << QStringLiteral("STLiti")
                   << QStringLiteral("Noto Serif CJK SC");
    candidates << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("WenQuanYi Zen Hei")
               << QStringLiteral("Noto Sans CJK SC");
    QString strFamily = strFace;
    QString strFallback;
    for (const QString& str : candidates) {
        if (!installed.contains(str))
            continue;
        if (HasOwnIdeographs(str)) {
            strFallback.clear();
            strFamily = str;
            break;
        }
        if (strFallback.isEmpty())
            strFallback = str;
    }
    if (!strFallback.isEmpty())
        strFamily = strFallback;
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
    const QRectF frame(QPointF(60, 40), QPointF(m_dPageWidth - 60, m_dPageHeight - 40));
    FilledRect(pPainter, frame, Qt::white);

    // Heading, centred in the frame, underlined twice.
    pPainter->setFont(MakeFont(QStringLiteral("黑体"), 24));
    const QString strHeading = tr("家庭财务报告");
    const QFontMetricsF fm(pPainter->font());
    const double dTextWidth = fm.horizontalAdvance(strHeading);
    const double dCentre = (frame.left() + frame.right()) / 2;
    const double dTop = frame.top() + 30;
    TextAt(pPainter, dCentre - dTextWidth / 2, dTop, strHeading);
    const double dLine1 = dTop + fm.height() + 2;
    for (double y : {dLine1, dLine1 + 4})
        pPainter->drawLine(QPointF(dCentre - dTextWidth / 2 - 10, y),
                           QPointF(dCentre + dTextWidth / 2 + 10, y));
    m_dBodyTop = dLine1 + 40;

    DrawReportTitle(pPainter, pInfo->m_nCurPage);
    DrawReportBody(pPainter, pInfo->m_nCurPage);
    DrawReportFooter(pPainter, pInfo->m_nCurPage);
}

// The kind of report, and on the line below whose it is and what it lists.
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
    case Found:
        strTitle = tr("查找结果");
        break;
    }
    pPainter->setFont(MakeFont(QStringLiteral("隶书"), 16));
    TextAt(pPainter, Left, m_dBodyTop, strTitle);
    m_dBodyTop += QFontMetricsF(pPainter->font()).height() + 16;

    pPainter->setFont(MakeFont(QStringLiteral("宋体"), InfoPoints));
    const QFontMetricsF fm(pPainter->font());
    const double dRight = m_dPageWidth - Left;
    QString strInfo = tr("用户：%1").arg(m_strUserName);
    if (!m_strCondition.isEmpty())
        strInfo += tr("　　条件：%1").arg(m_strCondition);
    CellAt(pPainter, Left, m_dBodyTop, dRight, strInfo);
    m_dBodyTop += fm.height() + 30;
}

void CReportPrinter::DrawReportBody(QPainter* pPainter, int nPage) {
    const double dLeft = Left;
    const double dRight = m_dPageWidth - Left;
    const double dWidth = dRight - dLeft;

    // Columns share the width between the margins: for records the note gets the most; the
    // amount stands right-aligned at the right edge.
    QStringList headers;
    QVector<double> shares;
    // The grid column of each printed column; the amount is always printed last.
    QVector<int> gridCols;
    switch (m_nReportKind) {
    case Income:
        headers = {tr("日期"), tr("收入分类"), tr("摘要"), tr("收入金额")};
        shares = {0.20, 0.17, 0.45, 0.18};
        break;
    case Outlay:
        headers = {tr("日期"), tr("支出分类"), tr("摘要"), tr("支出金额")};
        shares = {0.20, 0.17, 0.45, 0.18};
        break;
    case Account:
        headers = {tr("账号"), tr("备注"), tr("金额")};
        shares = {0.30, 0.45, 0.25};
        break;
    case Found:
        headers = {tr("日期"), tr("类型"), tr("类别"), tr("摘要"), tr("账户"), tr("金额")};
        shares = {0.17, 0.07, 0.13, 0.31, 0.17, 0.15};
        gridCols = {1, 2, 3, 4, 6, 5};
        break;
    default:
        headers = {tr("日期"), tr("转出账号"), tr("转入账号"), tr("转账金额")};
        shares = {0.22, 0.28, 0.28, 0.22};
        break;
    }
    if (gridCols.isEmpty())
        for (int c = 1; c <= shares.size(); ++c)
            gridCols << c;
    QVector<double> cellX;
    double x = dLeft + 20;
    for (const double dShare : std::as_const(shares)) {
        cellX << x;
        x += dShare * (dWidth - 40);
    }
    const double dMoneyRight = dRight - 20;

    // Column header band.
    const QFont rowFont = MakeFont(QStringLiteral("宋体"), RowPoints);
    pPainter->setFont(rowFont);
    const QFontMetricsF fm(rowFont);
    const double dBandHeight = fm.height() + 24;
    FilledRect(pPainter,
               QRectF(QPointF(dLeft, m_dBodyTop), QPointF(dRight, m_dBodyTop + dBandHeight)),
               BandBlue);
    QFont headerFont = MakeFont(QStringLiteral("黑体"), RowPoints);
    pPainter->setFont(headerFont);
    for (int i = 0; i < headers.size() && i < cellX.size(); ++i) {
        if (i + 1 == cellX.size())
            MoneyAt(pPainter, cellX[i], m_dBodyTop + 12, dMoneyRight, headers[i]);
        else
            TextAt(pPainter, cellX[i], m_dBodyTop + 12, headers[i]);
    }

    // Rows of this page, exactly as the grid holds them, spread over the height left above the
    // footer (never wider apart than one and a half lines).
    pPainter->setFont(rowFont);
    const double dRowsTop = m_dBodyTop + dBandHeight + 10;
    const double dRowHeight =
        std::min(fm.height() * 1.5, (m_dPageHeight - FooterRoom - dRowsTop - fm.height() * 3) /
                                        CReportPages::RowsPerPage);
    const double dPad = (dRowHeight - fm.height()) / 2;
    const CMsflexgrid1* pGrid = Grid();
    const int nRows = CReportPages::RowsOnPage(nPage, m_nGridRows);
    const int nFirst = CReportPages::FirstRow(nPage);
    for (int i = 0; pGrid && i < nRows; ++i) {
        const double y = dRowsTop + dRowHeight * i;
        if (i % 2 == 1) {
            pPainter->setPen(Qt::NoPen);
            FilledRect(pPainter, QRectF(dLeft, y, dWidth, dRowHeight), RowShade);
            pPainter->setPen(QPen(Qt::black, 1.0));
        }
        for (int c = 0; c + 1 < cellX.size(); ++c)
            CellAt(pPainter, cellX[c], y + dPad, cellX[c + 1] - 20,
                   pGrid->GetTextMatrix(nFirst + i, gridCols[c]));
        MoneyAt(pPainter, cellX.last(), y + dPad, dMoneyRight,
                pGrid->GetTextMatrix(nFirst + i, gridCols.last()));
    }

    // Total and a red bar above it, on the last page only.
    if (CReportPages::IsLastPage(nPage, m_nGridRows)) {
        const double y = dRowsTop + dRowHeight * nRows + 30;
        FilledRect(pPainter, QRectF(QPointF(dLeft, y), QPointF(dRight, y + 8)), BarRed);
        pPainter->setFont(MakeFont(QStringLiteral("隶书"), 14));
        const QString strTotal = m_strTotalText.isEmpty()
                                     ? tr("合计:%1元").arg(CMoney::Format(m_dReportTotal))
                                     : m_strTotalText;
        MoneyAt(pPainter, dLeft, y + 24, dMoneyRight, strTotal);
    }
}

// Whose report and the page among all pages, at the foot of every page.
void CReportPrinter::DrawReportFooter(QPainter* pPainter, int nPage) {
    pPainter->setFont(MakeFont(QStringLiteral("宋体"), InfoPoints));
    const double y = m_dPageHeight - FooterRoom + 80;
    const double dRight = m_dPageWidth - Left;
    pPainter->drawLine(QPointF(Left, y - 20), QPointF(dRight, y - 20));
    CellAt(pPainter, Left, y, dRight - 600, m_strUserName);
    MoneyAt(pPainter, dRight - 600, y, dRight,
            tr("第 %1 / %2 页").arg(nPage).arg(std::max(1, m_nPageCount)));
}
