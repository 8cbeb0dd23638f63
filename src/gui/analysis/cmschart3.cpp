#include "cmschart3.h"

#include "data/cmoney.h"
#include "widgets/cplainfont.h"

#include <QEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

// Neighbouring categories must be told apart at a glance: twelve hues and lightnesses that
// differ clearly from each other (also for the colour-blind, as far as twelve allow).
const QList<QColor> kCategoryColors = {
    QColor(0x1F, 0x77, 0xB4), QColor(0xFF, 0x7F, 0x0E), QColor(0x2C, 0xA0, 0x2C),
    QColor(0xD6, 0x27, 0x28), QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B),
    QColor(0xE3, 0x77, 0xC2), QColor(0x7F, 0x7F, 0x7F), QColor(0xBC, 0xBD, 0x22),
    QColor(0x17, 0xBE, 0xCF), QColor(0xFF, 0xBB, 0x78), QColor(0x39, 0x3B, 0x79),
};
// A bar chart's rows and the line: a clear blue first, then green, amber, violet and brick.
const QList<QColor> kRowColors = {
    QColor(0x20, 0x9F, 0xDF), QColor(0x99, 0xCA, 0x53), QColor(0xF6, 0xA6, 0x25),
    QColor(0x6D, 0x5F, 0xD5), QColor(0xBF, 0x59, 0x3E),
};
const QColor kText(0x40, 0x40, 0x44);
const QColor kGrid(0xE5, 0xE5, 0xE5);
const QColor kAxis(0xC8, 0xC8, 0xC8);

constexpr double kTick = 4.0;      // an axis tick's length
constexpr double kLabelGap = 4.0;  // between a tick and its label
constexpr double kBarShare = 0.5;  // of a category's band, the bars' thickness together
constexpr double kPieShare = 0.58; // of the pie's room, its diameter
constexpr double kArmShare = 0.08; // of the pie's radius, a share's arm out of its wedge
constexpr double kMinShare = 0.03; // thinner wedges are left to the legend
constexpr double kPointRadius = 3.0;
constexpr double kHitRadius = 8.0; // how near a point the pointer finds it
constexpr double kValueLimit = 1e3 * CMoney::Limit;

// A one-pixel band along x = dX (vertical) or y = dY (horizontal), on whole pixels.
QRect VLine(double dX, double dTop, double dBottom) {
    const int nTop = int(std::lround(dTop));
    return QRect(int(std::floor(dX)), nTop, 1, std::max(1, int(std::lround(dBottom)) - nTop + 1));
}
QRect HLine(double dY, double dLeft, double dRight) {
    const int nLeft = int(std::lround(dLeft));
    return QRect(nLeft, int(std::floor(dY)), std::max(1, int(std::lround(dRight)) - nLeft + 1), 1);
}

// The left edge of a text dWidth wide centred on x, moved as little as keeps it within area.
double Centred(double x, double dWidth, const QRectF& area) {
    return std::max(area.left(), std::min(x - dWidth / 2, area.right() - dWidth));
}

QFont TitleFont(const QFont& font) {
    QFont title = font;
    title.setBold(true);
    title.setPointSizeF(font.pointSizeF() + 1);
    return title;
}

// The way from a pie's centre at dDegrees clockwise from twelve o'clock.
QPointF Clockwise(double dDegrees) {
    const double d = dDegrees * M_PI / 180.0;
    return QPointF(std::sin(d), -std::cos(d));
}

// A legend entry's colour square, beside text of the font.
double MarkerSize(const QFontMetricsF& fm) {
    return std::round(fm.height() * 0.55);
}

// A value axis' label: no "-0" for a zero reached by adding steps.
QString AxisLabel(double d, int nDecimals) {
    if (std::fabs(d) < 1e-9)
        d = 0.0;
    return QString::number(d, 'f', nDecimals);
}

} // namespace

CMschart3::CMschart3(EType eType, int nRows, int nColumns, QWidget* pParent)
    : QWidget(pParent), m_eType(eType) {
    // Titles, labels and legends are category names, months and amounts: laid out without
    // shaping, like the grids.
    setFont(CPlainFont::Font());
    // The chart paints every pixel of itself: nothing below it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // hovering a bar, wedge or point tells its figures
    SetColumnCount(std::max(1, nColumns));
    SetRowCount(std::max(1, nRows));
}

CMschart3::~CMschart3() = default;

// ---- property writes

void CMschart3::SetTitleText(const QString& strTitle) {
    m_strTitle = strTitle;
    Changed();
}

void CMschart3::SetRowCount(int nRows) {
    nRows = std::max(1, nRows);
    while (m_rowLabels.size() > nRows) {
        m_rowLabels.removeLast();
        m_data.removeLast();
    }
    while (m_rowLabels.size() < nRows) {
        m_rowLabels << QString();
        m_data << QStringList(m_columnLabels.size(), QStringLiteral("0"));
    }
    m_nRow = std::min(m_nRow, nRows);
    Changed();
}

void CMschart3::SetColumnCount(int nColumns) {
    nColumns = std::max(1, nColumns);
    while (m_columnLabels.size() > nColumns)
        m_columnLabels.removeLast();
    while (m_columnLabels.size() < nColumns)
        m_columnLabels << QString();
    for (QStringList& row : m_data) {
        while (row.size() > nColumns)
            row.removeLast();
        while (row.size() < nColumns)
            row << QStringLiteral("0");
    }
    m_nColumn = std::min(m_nColumn, nColumns);
    KeepTall();
    Changed();
}

void CMschart3::SetEveryLabel(bool bEvery) {
    m_bEveryLabel = bEvery;
    KeepTall();
    Changed();
}

void CMschart3::KeepTall() {
    const QFontMetrics fm(font());
    if (!m_bEveryLabel) {
        setMinimumHeight(0);
    } else if (m_eType == EType::Pie) {
        // The legend may list every column; the chart must be tall enough to show all of them.
        setMinimumHeight(fm.height() * 2 + 48 + ColumnCount() * (fm.height() + 12));
    } else if (m_eType == EType::Bar) {
        // Every category's name needs its line beside its bar.
        setMinimumHeight(fm.height() * 3 + 48 + ColumnCount() * (fm.height() + 4));
    }
}

// A row or column outside the chart is not selected: the write that follows goes to the
// cell selected before, as a chart that refuses the index would leave it.
void CMschart3::SetRow(int nRow) {
    if (nRow >= 1 && nRow <= RowCount())
        m_nRow = nRow;
}

void CMschart3::SetColumn(int nColumn) {
    if (nColumn >= 1 && nColumn <= ColumnCount())
        m_nColumn = nColumn;
}

void CMschart3::SetRowLabel(const QString& strLabel) {
    m_rowLabels[m_nRow - 1] = strLabel;
    Changed();
}

void CMschart3::SetColumnLabel(const QString& strLabel) {
    m_columnLabels[m_nColumn - 1] = strLabel;
    Changed();
}

void CMschart3::SetData(const QString& strData) {
    m_data[m_nRow - 1][m_nColumn - 1] = strData;
    Changed();
}

// ---- reads

QString CMschart3::RowLabel(int nRow) const {
    return nRow >= 1 && nRow <= RowCount() ? m_rowLabels[nRow - 1] : QString();
}

QString CMschart3::ColumnLabel(int nColumn) const {
    return nColumn >= 1 && nColumn <= ColumnCount() ? m_columnLabels[nColumn - 1] : QString();
}

QString CMschart3::Data(int nRow, int nColumn) const {
    if (nRow < 1 || nRow > RowCount() || nColumn < 1 || nColumn > ColumnCount())
        return QString();
    return m_data[nRow - 1][nColumn - 1];
}

QStringList CMschart3::ColumnData(int nColumn) const {
    QStringList values;
    for (int r = 1; r <= RowCount(); ++r)
        values << Data(r, nColumn);
    return values;
}

QStringList CMschart3::RowData(int nRow) const {
    return nRow >= 1 && nRow <= RowCount() ? m_data[nRow - 1] : QStringList();
}

const QList<QColor>& CMschart3::CategoryColors() {
    return kCategoryColors;
}

QString CMschart3::ToolTipText(int nRow, int nColumn) const {
    if (nRow < 1 || nRow > RowCount() || nColumn < 1 || nColumn > ColumnCount())
        return QString();
    // A line point belongs to its row and shares its column; a bar or wedge to its column
    // and shares its row. Shares are of the positive values, as the pie draws them.
    const bool bLine = m_eType == EType::Line;
    const QString strLabel = bLine ? RowLabel(nRow) : ColumnLabel(nColumn);
    double dTotal = 0.0;
    const int nCount = bLine ? RowCount() : ColumnCount();
    for (int i = 1; i <= nCount; ++i)
        dTotal += std::max(0.0, bLine ? Value(i, nColumn) : Value(nRow, i));
    const double d = Value(nRow, nColumn);
    QString strText = tr("%1 %2元").arg(strLabel, QString::number(d, 'f', 2));
    if (dTotal > 0.0)
        strText += tr("（%1%）").arg(std::max(0.0, d) / dTotal * 100.0, 0, 'f', 1);
    return strText;
}

// A value past a thousand times the largest amount a record holds is no household's: it draws
// at that bound, so no axis reaches past what a double counts in steps.
double CMschart3::Value(int nRow, int nColumn) const {
    const double d = CMoney::Atof(Data(nRow, nColumn));
    return std::isfinite(d) ? std::clamp(d, -kValueLimit, kValueLimit) : 0.0;
}

// ---- laying out

void CMschart3::Changed() {
    m_bDirty = true;
    m_hovered = QPoint(); // what was under the pointer has other figures now
    update();
}

void CMschart3::Refresh() {
    Layout();
    update();
}

void CMschart3::HoldPainting(bool bHold) {
    setUpdatesEnabled(!bHold);
}

const CMschart3::SLayout& CMschart3::Layout() {
    // Everything is placed by the size, which a hidden chart takes without a resize event.
    if (!m_bDirty && m_layoutSize == size())
        return m_layout;
    m_bDirty = false;
    m_layoutSize = size();
    m_layout = SLayout();
    QRectF area = QRectF(rect()).adjusted(10, 4, -10, -8);
    if (area.width() < 20 || area.height() < 20)
        return m_layout; // too small to draw anything but white
    LayOutTitle(m_layout, area);
    switch (m_eType) {
    case EType::Bar:
        LayOutBar(m_layout, area);
        break;
    case EType::Pie:
        LayOutPie(m_layout, area);
        break;
    case EType::Line:
        LayOutLine(m_layout, area);
        break;
    }
    return m_layout;
}

void CMschart3::LayOutTitle(SLayout& layout, QRectF& area) const {
    if (m_strTitle.isEmpty())
        return;
    const QFontMetricsF fm(TitleFont(font()));
    const QString str = fm.elidedText(m_strTitle, Qt::ElideRight, area.width());
    const double dWidth = fm.horizontalAdvance(str);
    layout.texts << SText{
        str, QRectF(area.center().x() - dWidth / 2, area.top() + 4, dWidth, fm.height()), true};
    area.setTop(area.top() + 4 + fm.height() + 8);
}

// Sets a value axis to [dMin, dMax] with about nSteps round steps (1, 2, 2.5 or 5 times a power
// of ten), always including 0 and leaving a little room beyond the largest value, labelled with
// no more decimals than the step needs.
CMschart3::SScale CMschart3::Fit(double dMin, double dMax, int nSteps) {
    dMin = std::min(dMin, 0.0);
    dMax = std::max(dMax, 0.0);
    if (dMax - dMin < 1e-9)
        dMax = dMin + 1.0;
    const double dRaw = (dMax - dMin) * 1.04 / std::max(1, nSteps);
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    double dStep = 10.0 * dPower;
    for (const double dFactor : {1.0, 2.0, 2.5, 5.0}) {
        if (dFactor * dPower >= dRaw) {
            dStep = dFactor * dPower;
            break;
        }
    }
    SScale scale;
    scale.dLow = dMin < 0.0 ? std::floor(dMin * 1.04 / dStep) * dStep : 0.0;
    scale.dHigh = dMax > 0.0 ? std::ceil(dMax * 1.04 / dStep) * dStep : 0.0;
    scale.nTicks = int(std::lround((scale.dHigh - scale.dLow) / dStep)) + 1;
    while (scale.nDecimals < 2 &&
           std::fabs(dStep * std::pow(10.0, scale.nDecimals) -
                     std::round(dStep * std::pow(10.0, scale.nDecimals))) > 1e-6)
        ++scale.nDecimals;
    return scale;
}

void CMschart3::LayOutBar(SLayout& layout, QRectF area) const {
    const QFontMetricsF fm(font());
    const int nRows = RowCount();
    const int nColumns = ColumnCount();
    // Several rows: a legend of them over the bars. One row: its colour says nothing more.
    if (nRows > 1) {
        const double dMarker = MarkerSize(fm);
        QList<double> widths;
        double dTotal = 0.0;
        for (const QString& str : m_rowLabels) {
            widths << fm.horizontalAdvance(str);
            dTotal += dMarker + 5 + widths.last() + 16;
        }
        double x = std::max(area.left(), area.center().x() - (dTotal - 16) / 2);
        for (int r = 0; r < nRows; ++r) {
            layout.markers << SMarker{
                QRectF(x, area.top() + (fm.height() - dMarker) / 2, dMarker, dMarker),
                kRowColors[r % kRowColors.size()]};
            x += dMarker + 5;
            layout.texts << SText{m_rowLabels[r], QRectF(x, area.top(), widths[r], fm.height())};
            x += widths[r] + 16;
        }
        area.setTop(area.top() + fm.height() + 8);
    }

    double dMin = 0.0, dMax = 0.0;
    for (int r = 1; r <= nRows; ++r)
        for (int c = 1; c <= nColumns; ++c) {
            const double d = Value(r, c);
            dMin = std::min(dMin, d);
            dMax = std::max(dMax, d);
        }
    // Bars lie down, so every category's whole name reads level beside its bar however narrow
    // the chart is; the first column is the top bar, as a list reads.
    double dNames = 0.0;
    for (const QString& str : m_columnLabels)
        dNames = std::max(dNames, fm.horizontalAdvance(str));
    // As many steps as their labels have room for side by side.
    const double dLabel =
        fm.horizontalAdvance(QString::number(std::max(std::fabs(dMin), dMax) * 1.3, 'f', 0)) + 24;
    const double dRoom = area.width() - dNames - kTick - kLabelGap - dLabel / 2;
    const SScale scale = Fit(dMin, dMax, std::clamp(int(dRoom / dLabel), 2, 5));
    QStringList ticks;
    for (int i = 0; i < scale.nTicks; ++i)
        ticks << AxisLabel(scale.Tick(i), scale.nDecimals);
    const QRectF plot(QPointF(area.left() + dNames + kLabelGap + kTick, area.top() + 2),
                      QPointF(area.right() - fm.horizontalAdvance(ticks.last()) / 2,
                              area.bottom() - fm.height() - kTick - kLabelGap));
    if (plot.width() < 4 || plot.height() < 4)
        return;
    const auto X = [&](double d) {
        return plot.left() + (d - scale.dLow) / (scale.dHigh - scale.dLow) * plot.width();
    };

    for (int i = 0; i < scale.nTicks; ++i) {
        const double x = X(scale.Tick(i));
        layout.grid << VLine(x, plot.top(), plot.bottom());
        layout.axes << VLine(x, plot.bottom(), plot.bottom() + kTick);
        const double dWidth = fm.horizontalAdvance(ticks[i]);
        layout.texts << SText{ticks[i],
                              QRectF(Centred(x, dWidth, area), plot.bottom() + kTick + kLabelGap,
                                     dWidth, fm.height())};
    }
    const double dBand = plot.height() / nColumns;
    // Too many categories for their names one under another: every n-th is named.
    const int nEvery = std::max(1, int(std::ceil(fm.height() / dBand - 1e-9)));
    for (int c = 1; c <= nColumns; ++c) {
        const double dTop = plot.top() + (c - 1) * dBand;
        layout.grid << HLine(dTop, plot.left(), plot.right());
        layout.axes << HLine(dTop, plot.left() - kTick, plot.left());
        if ((c - 1) % nEvery == 0 && !m_columnLabels[c - 1].isEmpty()) {
            const double dWidth = fm.horizontalAdvance(m_columnLabels[c - 1]);
            layout.texts << SText{m_columnLabels[c - 1],
                                  QRectF(plot.left() - kTick - kLabelGap - dWidth,
                                         dTop + (dBand - fm.height()) / 2, dWidth, fm.height())};
        }
        // The rows' bars side by side in the band's middle, the first row lowest.
        const double dThick = dBand * kBarShare / nRows;
        const double dBottom = dTop + dBand * (1 + kBarShare) / 2;
        for (int r = 1; r <= nRows; ++r) {
            const double x0 = X(0.0), x1 = X(Value(r, c));
            layout.bars << SBar{QRectF(QPointF(std::min(x0, x1), dBottom - r * dThick),
                                       QPointF(std::max(x0, x1), dBottom - (r - 1) * dThick)),
                                r, c};
        }
    }
    layout.grid << HLine(plot.bottom(), plot.left(), plot.right());
    layout.axes << VLine(plot.left(), plot.top(), plot.bottom())
                << HLine(plot.bottom(), plot.left(), plot.right());
}

void CMschart3::LayOutPie(SLayout& layout, QRectF area) const {
    const QFontMetricsF fm(font());
    // A pie has no negative share: a category below 0 counts as 0.
    QList<double> parts;
    double dTotal = 0.0;
    for (int c = 1; c <= ColumnCount(); ++c) {
        parts << std::max(0.0, Value(1, c));
        dTotal += parts.last();
    }
    // The legend names each category with its share; beside the wedge the share alone, so no
    // text runs out of the chart. A category of 0 (or below: a pie has no negative share)
    // draws no wedge and has no legend entry; a pie of nothing lists every category.
    QStringList entries, shares;
    QList<int> columns;
    for (int c = 1; c <= ColumnCount(); ++c) {
        const double d = parts[c - 1];
        shares << (dTotal > 0.0 ? QStringLiteral("%1%").arg(d / dTotal * 100.0, 0, 'f', 1)
                                : QString());
        if (dTotal > 0.0 && d <= 0.0)
            continue;
        entries << (shares.last().isEmpty() ? ColumnLabel(c)
                                            : ColumnLabel(c) + QLatin1Char(' ') + shares.last());
        columns << c;
    }
    const double dMarker = MarkerSize(fm);
    const double dLine = fm.height() + 8;
    double dText = 0.0;
    for (const QString& str : entries)
        dText = std::max(dText, fm.horizontalAdvance(str));
    // The legend takes at most half the chart; a longer entry is cut short and hovering it
    // shows it whole.
    dText = std::min(dText, std::max(40.0, area.width() / 2 - dMarker - 6));
    const double dLegend = entries.isEmpty() ? 0.0 : dMarker + 6 + dText;
    const double dLegendTop = std::max(area.top(), area.center().y() - entries.size() * dLine / 2);
    for (int i = 0; i < entries.size(); ++i) {
        const double y = dLegendTop + i * dLine;
        const double x = area.right() - dLegend;
        layout.markers << SMarker{QRectF(x, y + (fm.height() - dMarker) / 2, dMarker, dMarker),
                                  kCategoryColors[(columns[i] - 1) % kCategoryColors.size()]};
        const QString str = fm.elidedText(entries[i], Qt::ElideRight, dText);
        const QRectF box(x + dMarker + 6, y, fm.horizontalAdvance(str), fm.height());
        layout.texts << SText{str, box};
        if (str != entries[i])
            layout.tips << SText{entries[i], box};
    }

    const QRectF room(area.topLeft(), QPointF(area.right() - dLegend - 12, area.bottom()));
    // The shares on their arms stay inside the room, however narrow it is.
    double dShare = 0.0;
    for (const QString& str : std::as_const(shares))
        dShare = std::max(dShare, fm.horizontalAdvance(str));
    const double dRadius = std::min({std::min(room.width(), room.height()) * kPieShare / 2,
                                     (room.width() / 2 - dShare - 8) / (1 + kArmShare),
                                     (room.height() / 2 - fm.height()) / (1 + kArmShare)});
    if (dTotal <= 0.0 || dRadius < 4)
        return;
    const QPointF centre = room.center();
    layout.pie = QRectF(centre.x() - dRadius, centre.y() - dRadius, 2 * dRadius, 2 * dRadius);
    double dStart = 0.0;
    for (int c = 1; c <= ColumnCount(); ++c) {
        const double d = parts[c - 1];
        if (d <= 0.0)
            continue;
        const double dSpan = d / dTotal * 360.0;
        layout.wedges << SWedge{dStart, dSpan, c};
        // The share out on an arm from the wedge's middle, level text on a level stroke.
        if (d / dTotal >= kMinShare) {
            const QPointF dir = Clockwise(dStart + dSpan / 2);
            const QPointF edge = centre + dir * dRadius;
            const QPointF elbow = centre + dir * dRadius * (1 + kArmShare);
            const double dWidth = fm.horizontalAdvance(shares[c - 1]);
            const double dSide = dir.x() >= 0 ? 1.0 : -1.0;
            const QPointF end = elbow + QPointF(dSide * (dWidth + 4), 0);
            layout.arms << QPolygonF({edge, elbow, end});
            const double dLeft = dSide > 0 ? elbow.x() + 2 : end.x() + 2;
            layout.texts << SText{shares[c - 1],
                                  QRectF(dLeft, elbow.y() - fm.height(), dWidth, fm.height())};
        }
        dStart += dSpan;
    }
}

void CMschart3::LayOutLine(SLayout& layout, QRectF area) const {
    const QFontMetricsF fm(font());
    const int nRows = RowCount();
    double dMin = 0.0, dMax = 0.0;
    QList<double> values;
    for (int r = 1; r <= nRows; ++r) {
        values << Value(r, 1);
        dMin = std::min(dMin, values.last());
        dMax = std::max(dMax, values.last());
    }
    const SScale scale = Fit(dMin, dMax, 5);
    QStringList ticks;
    double dTicks = 0.0;
    for (int i = 0; i < scale.nTicks; ++i) {
        ticks << AxisLabel(scale.Tick(i), scale.nDecimals);
        dTicks = std::max(dTicks, fm.horizontalAdvance(ticks.last()));
    }
    const QRectF plot(QPointF(area.left() + dTicks + kLabelGap + kTick, area.top() + 2),
                      QPointF(area.right() - 4, area.bottom() - fm.height() - kTick - kLabelGap));
    if (plot.width() < 4 || plot.height() < 4)
        return;
    const auto Y = [&](double d) {
        return plot.bottom() - (d - scale.dLow) / (scale.dHigh - scale.dLow) * plot.height();
    };
    for (int i = 0; i < scale.nTicks; ++i) {
        const double y = Y(scale.Tick(i));
        layout.grid << HLine(y, plot.left(), plot.right());
        layout.axes << HLine(y, plot.left() - kTick, plot.left());
        const double dWidth = fm.horizontalAdvance(ticks[i]);
        layout.texts << SText{ticks[i], QRectF(plot.left() - kTick - kLabelGap - dWidth,
                                               y - fm.height() / 2, dWidth, fm.height())};
    }
    // Too many rows for their labels side by side: every n-th row is labelled, each label
    // once (a repeated or empty one is left out).
    const double dPerRow = plot.width() / nRows;
    double dWidest = 1.0;
    for (const QString& str : std::as_const(m_rowLabels))
        dWidest = std::max(dWidest, fm.horizontalAdvance(str));
    const int nStep = std::max(1, int(std::ceil((dWidest + 8) / dPerRow - 1e-9)));
    QStringList labelled;
    for (int r = 0; r < nRows; ++r) {
        const double x = plot.left() + (r + 0.5) * dPerRow;
        layout.points << QPointF(x, Y(values[r]));
        const QString& str = m_rowLabels[r];
        if (r % nStep != 0 || str.isEmpty() || labelled.contains(str))
            continue;
        labelled << str;
        layout.grid << VLine(x, plot.top(), plot.bottom());
        layout.axes << VLine(x, plot.bottom(), plot.bottom() + kTick);
        const double dWidth = fm.horizontalAdvance(str);
        layout.texts << SText{str, QRectF(Centred(x, dWidth, area),
                                          plot.bottom() + kTick + kLabelGap, dWidth, fm.height())};
    }
    layout.axes << VLine(plot.left(), plot.top(), plot.bottom())
                << HLine(plot.bottom(), plot.left(), plot.right());
}

// ---- what is drawn

QList<CMschart3::SText> CMschart3::DrawnTexts() {
    return Layout().texts;
}

QPoint CMschart3::CellAt(const QPointF& pos) {
    const SLayout& layout = Layout();
    for (const SBar& bar : layout.bars) {
        // A bar of nothing or next to nothing is still found on its axis, two pixels wide.
        QRectF rect = bar.rect;
        if (rect.width() < 2)
            rect.adjust(-1, 0, 1, 0);
        if (rect.contains(pos))
            return QPoint(bar.nColumn, bar.nRow);
    }
    if (!layout.wedges.isEmpty()) {
        const QPointF d = pos - layout.pie.center();
        if (std::hypot(d.x(), d.y()) <= layout.pie.width() / 2) {
            double dAngle = std::atan2(d.x(), -d.y()) * 180.0 / M_PI;
            if (dAngle < 0)
                dAngle += 360.0;
            for (const SWedge& wedge : layout.wedges)
                if (dAngle >= wedge.dStart && dAngle < wedge.dStart + wedge.dSpan)
                    return QPoint(wedge.nColumn, 1);
        }
    }
    int nNearest = -1;
    double dNearest = kHitRadius;
    for (int i = 0; i < layout.points.size(); ++i) {
        const QPointF d = pos - layout.points[i];
        if (std::hypot(d.x(), d.y()) <= dNearest) {
            dNearest = std::hypot(d.x(), d.y());
            nNearest = i;
        }
    }
    return nNearest >= 0 ? QPoint(1, nNearest + 1) : QPoint();
}

QPointF CMschart3::CellPoint(int nRow, int nColumn) {
    const SLayout& layout = Layout();
    for (const SBar& bar : layout.bars)
        if (bar.nRow == nRow && bar.nColumn == nColumn && bar.rect.width() > 0)
            return bar.rect.center();
    for (const SWedge& wedge : layout.wedges) {
        if (nRow == 1 && wedge.nColumn == nColumn) {
            return layout.pie.center() +
                   Clockwise(wedge.dStart + wedge.dSpan / 2) * layout.pie.width() / 3;
        }
    }
    if (nColumn == 1 && nRow >= 1 && nRow <= layout.points.size())
        return layout.points[nRow - 1];
    return QPointF();
}

// ---- painting and the pointer

void CMschart3::paintEvent(QPaintEvent*) {
    const SLayout& layout = Layout();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    for (const QRect& line : layout.grid)
        painter.fillRect(line, kGrid);
    for (const SBar& bar : layout.bars)
        painter.fillRect(bar.rect, kRowColors[(bar.nRow - 1) % kRowColors.size()]);
    for (const QRect& line : layout.axes)
        painter.fillRect(line, kAxis);
    for (const SMarker& marker : layout.markers)
        painter.fillRect(marker.rect, marker.color);

    painter.setRenderHint(QPainter::Antialiasing);
    if (!layout.wedges.isEmpty()) {
        // The wedges filled, then parted by white strokes from the centre: stroking each
        // wedge's whole outline (its arc on the white around it too) costs many times more.
        painter.setPen(Qt::NoPen);
        for (const SWedge& wedge : layout.wedges) {
            painter.setBrush(kCategoryColors[(wedge.nColumn - 1) % kCategoryColors.size()]);
            // QPainter counts sixteenths of a degree anticlockwise from three o'clock.
            if (wedge.dSpan >= 359.999)
                painter.drawEllipse(layout.pie);
            else
                painter.drawPie(layout.pie, int(std::lround((90.0 - wedge.dStart) * 16)),
                                -int(std::lround(wedge.dSpan * 16)));
        }
        if (layout.wedges.size() > 1) {
            painter.setPen(QPen(Qt::white, 1.5));
            const QPointF centre = layout.pie.center();
            const double dRadius = layout.pie.width() / 2 + 1;
            for (const SWedge& wedge : layout.wedges) {
                painter.drawLine(centre, centre + Clockwise(wedge.dStart) * dRadius);
            }
        }
        painter.setPen(QPen(kText, 1));
        painter.setBrush(Qt::NoBrush);
        for (const QPolygonF& arm : layout.arms)
            painter.drawPolyline(arm);
    }
    if (!layout.points.isEmpty()) {
        painter.setPen(QPen(kRowColors.first(), 2));
        painter.drawPolyline(layout.points);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kRowColors.first());
        for (const QPointF& point : layout.points)
            painter.drawEllipse(point, kPointRadius, kPointRadius);
    }

    painter.setPen(kText);
    const QFont titleFont = TitleFont(font());
    const double dAscent = QFontMetricsF(font()).ascent();
    for (const SText& text : layout.texts) {
        if (text.bTitle) {
            painter.setFont(titleFont);
            painter.drawText(text.rect.topLeft() + QPointF(0, QFontMetricsF(titleFont).ascent()),
                             text.str);
            painter.setFont(font());
        } else {
            painter.drawText(text.rect.topLeft() + QPointF(0, dAscent), text.str);
        }
    }
}

void CMschart3::ShowToolTip(QPoint cell, const QPoint& globalPos) {
    if (!cell.isNull()) {
        QToolTip::showText(globalPos, ToolTipText(cell.y(), cell.x()), this);
        return;
    }
    QToolTip::hideText();
}

void CMschart3::mouseMoveEvent(QMouseEvent* pEvent) {
    QWidget::mouseMoveEvent(pEvent);
    const QPoint cell = CellAt(pEvent->position());
    if (cell == m_hovered)
        return;
    m_hovered = cell;
    ShowToolTip(cell, pEvent->globalPosition().toPoint());
}

void CMschart3::leaveEvent(QEvent* pEvent) {
    QWidget::leaveEvent(pEvent);
    if (!m_hovered.isNull())
        QToolTip::hideText();
    m_hovered = QPoint();
}

// When the pointer rests, the window system asks for a tip: the bar, wedge or point under it
// tells its figures, a legend entry cut short its whole text.
bool CMschart3::event(QEvent* pEvent) {
    if (pEvent->type() != QEvent::ToolTip)
        return QWidget::event(pEvent);
    const auto* pHelp = static_cast<QHelpEvent*>(pEvent);
    const QPoint cell = CellAt(pHelp->pos());
    m_hovered = cell;
    if (!cell.isNull()) {
        ShowToolTip(cell, pHelp->globalPos());
        return true;
    }
    for (const SText& tip : Layout().tips) {
        if (tip.rect.contains(pHelp->pos())) {
            QToolTip::showText(pHelp->globalPos(), tip.str, this);
            return true;
        }
    }
    QToolTip::hideText();
    pEvent->ignore();
    return true;
}
