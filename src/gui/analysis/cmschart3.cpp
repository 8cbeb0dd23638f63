#include "cmschart3.h"

#include "data/cmoney.h"
#include "widgets/cplainfont.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHelpEvent>
#include <QHorizontalBarSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QSignalBlocker>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
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

// Width left for the plot beside the value axis labels, before the chart has laid itself out
// (the chart view fills the control, whose own size is always current).
int PlotWidth(const QWidget* pControl) {
    return std::max(40, pControl->width() - 90);
}

// Sets a value axis to [dMin, dMax] with about nSteps round steps (1, 2, 2.5 or 5 times a power
// of ten), always including 0 and leaving a little room above the tallest value, labelled with
// no more decimals than the step needs.
void FitValueAxis(QValueAxis* pAxis, double dMin, double dMax, int nSteps = 5) {
    dMin = std::min(dMin, 0.0);
    dMax = std::max(dMax, 0.0);
    if (dMax - dMin < 1e-9)
        dMax = dMin + 1.0;
    const double dRaw = (dMax - dMin) * 1.04 / nSteps;
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    double dStep = 10.0 * dPower;
    for (const double dFactor : {1.0, 2.0, 2.5, 5.0}) {
        if (dFactor * dPower >= dRaw) {
            dStep = dFactor * dPower;
            break;
        }
    }
    const double dLow = dMin < 0.0 ? std::floor(dMin * 1.04 / dStep) * dStep : 0.0;
    const double dHigh = dMax > 0.0 ? std::ceil(dMax * 1.04 / dStep) * dStep : 0.0;
    int nDecimals = 0;
    while (nDecimals < 2 && std::fabs(dStep * std::pow(10.0, nDecimals) -
                                      std::round(dStep * std::pow(10.0, nDecimals))) > 1e-6)
        ++nDecimals;
    // Each change lays the axis' labels out again: only what differs is set.
    const QString strFormat =
        QStringLiteral("%.") + QString::number(nDecimals) + QStringLiteral("f");
    if (pAxis->labelFormat() != strFormat)
        pAxis->setLabelFormat(strFormat);
    // A new range that widens or narrows the axis' labels makes Qt Charts lay the whole chart
    // out at once, and once more when the event loop comes back. An axis that already waits
    // for that layout (a change of its step count makes it wait) is laid out only then.
    const int nTicks = int(std::lround((dHigh - dLow) / dStep)) + 1;
    if (pAxis->min() != dLow || pAxis->max() != dHigh)
        pAxis->setTickCount(pAxis->tickCount() + 1);
    pAxis->setTickCount(nTicks);
    pAxis->setRange(dLow, dHigh);
}

// Adds the axis along eAlignment, with its grid and its line (ticks included) a hair wider
// than the theme's one pixel. Antialiased, Qt's raster engine draws a pen of one pixel or
// less pixel by pixel, each pixel blended on its own (a quarter of a scope change went into
// the grids' long lines); a wider pen is filled as a shape, a row at a time, and the lines
// keep their pixels within three levels of grey.
void AddAxis(QChart* pChart, QAbstractAxis* pAxis, Qt::Alignment eAlignment) {
    pChart->addAxis(pAxis, eAlignment);
    for (auto [get, set] : {std::pair(&QAbstractAxis::gridLinePen, &QAbstractAxis::setGridLinePen),
                            std::pair(&QAbstractAxis::linePen, &QAbstractAxis::setLinePen)}) {
        QPen pen = (pAxis->*get)();
        pen.setWidthF(1.0001);
        (pAxis->*set)(pen);
    }
}

// The chart's first series of that type, or null.
template <class TSeries> TSeries* FirstSeries(const QChart* pChart) {
    const QList<QAbstractSeries*> series = pChart->series();
    return series.isEmpty() ? nullptr : qobject_cast<TSeries*>(series.first());
}

// The chart's first axis of that type along eOrientation, or null.
template <class TAxis> TAxis* FirstAxis(const QChart* pChart, Qt::Orientation eOrientation) {
    const QList<QAbstractAxis*> axes = pChart->axes(eOrientation);
    return axes.isEmpty() ? nullptr : qobject_cast<TAxis*>(axes.first());
}

} // namespace

CMschart3::CMschart3(EType eType, int nRows, int nColumns, QWidget* pParent)
    : QWidget(pParent), m_eType(eType), m_pView(new QChartView) {
    // Titles, labels and legends are category names, months and amounts: laid out without
    // shaping, like the grids.
    setFont(CPlainFont::Font());
    m_pView->setRenderHint(QPainter::Antialiasing);
    m_pView->setFrameShape(QFrame::NoFrame);
    // A new scope changes most of a chart: painting it whole is cheaper than clipping every
    // item to the hundreds of small rectangles its changed items leave.
    m_pView->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    // A chart has a few hundred items, nearly all of them moved by a new scope: the scene's
    // search tree would be rebuilt for each (every grid line's bounds are a stroked outline),
    // where looking through them all for the few lookups a chart makes costs less.
    m_pView->scene()->setItemIndexMethod(QGraphicsScene::NoIndex);
    m_pView->viewport()->installEventFilter(this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pView);
    SetColumnCount(std::max(1, nColumns));
    SetRowCount(std::max(1, nRows));
    // Drawn when shown or when the event loop comes back, with the figures set by then: a view
    // fills its charts right after making them, and a chart of placeholders was made for nothing.
    Changed();
}

CMschart3::~CMschart3() = default;

QChart* CMschart3::Chart() const {
    return m_pView->chart();
}

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
    const QFontMetrics fm(font());
    if (m_eType == EType::Pie) {
        // The legend may list every column; the chart must be tall enough to show all of them.
        setMinimumHeight(fm.height() * 2 + 48 + nColumns * (fm.height() + 12));
    } else if (m_eType == EType::Bar) {
        // Every category's name needs its line beside its bar.
        setMinimumHeight(fm.height() * 3 + 48 + nColumns * (fm.height() + 4));
    }
    Changed();
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

void CMschart3::ShowToolTip(int nRow, int nColumn, bool bHovered) const {
    m_strHovered = bHovered ? ToolTipText(nRow, nColumn) : QString();
    if (bHovered)
        QToolTip::showText(QCursor::pos(), m_strHovered, m_pView);
    else
        QToolTip::hideText();
}

// When the pointer rests, the window system asks the chart's scene for a tip; the scene knows
// none of its own and would hide the one shown on hovering. The hovered item's tip answers.
bool CMschart3::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pView->viewport() && pEvent->type() == QEvent::ToolTip) {
        if (m_strHovered.isEmpty())
            return false;
        QToolTip::showText(static_cast<QHelpEvent*>(pEvent)->globalPos(), m_strHovered, m_pView);
        return true;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

double CMschart3::Value(int nRow, int nColumn) const {
    const double d = CMoney::Atof(Data(nRow, nColumn));
    return std::isfinite(d) ? d : 0.0;
}

// ---- drawing

void CMschart3::Changed() {
    m_bDirty = true;
    if (m_bQueued)
        return;
    m_bQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bQueued = false;
            Refresh();
        },
        Qt::QueuedConnection);
}

void CMschart3::Refresh() {
    if (m_bDirty)
        Draw();
}

void CMschart3::HoldPainting(bool bHold) {
    m_pView->viewport()->setUpdatesEnabled(!bHold);
}

void CMschart3::Draw() {
    m_bDirty = false;
    // The chart, its series and axes are made once; a new scope changes their values and
    // texts, so Qt Charts lays out and paints what changed instead of a whole new scene.
    QChart* pChart = m_pView->chart();
    if (!m_bBuilt) {
        QChart* pOld = pChart;
        pChart = NewChart();
        m_pView->setChart(pChart);
        delete pOld;
        m_bBuilt = true;
        // A chart made while shown would be painted once before its layout has run and
        // once after: its painting waits until the event loop has laid it out.
        if (m_pView->isVisible()) {
            m_pView->setUpdatesEnabled(false);
            QMetaObject::invokeMethod(
                this, [this] { m_pView->setUpdatesEnabled(true); }, Qt::QueuedConnection);
        }
    }
    if (pChart->title() != m_strTitle)
        pChart->setTitle(m_strTitle);
    switch (m_eType) {
    case EType::Bar:
        DrawBar(pChart);
        break;
    case EType::Pie:
        DrawPie(pChart);
        break;
    case EType::Line:
        DrawLine(pChart);
        break;
    }
    m_strHovered.clear(); // what was under the pointer has other figures now
    FitAxisLabels();
    // A shown chart lays itself out now, once with everything it was given, rather than
    // when the event loop comes back after other changes have asked for more layouts.
    if (m_pView->isVisible() && pChart->layout()) {
        pChart->layout()->activate();
        // The scene hands its changed items to the view when the event loop comes back, and
        // the view then paints the window at once, with whatever else is waiting: a chart
        // drawn after another one would be painted once with the other's paint and once with
        // its own items. Handed over now, the window is painted now, and each chart once.
        QCoreApplication::sendPostedEvents(pChart->scene(), QEvent::MetaCall);
    }
}

QChart* CMschart3::NewChart() const {
    auto* pChart = new QChart;
    pChart->setAnimationOptions(QChart::NoAnimation);
    pChart->setBackgroundRoundness(0);
    // The theme's white is a gradient from white to white, which the painter fills pixel by
    // pixel; a plain white brush fills the same white as one block.
    pChart->setBackgroundBrush(Qt::white);
    pChart->setMargins(QMargins(4, 4, 4, 4));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(font().pointSizeF() + 1);
    pChart->setTitleFont(titleFont);
    pChart->legend()->setFont(font());
    return pChart;
}

void CMschart3::DrawBar(QChart* pChart) const {
    // Bars lie down, so every category's whole name reads level beside its bar however
    // narrow the chart is. The axis counts from the bottom: the columns go in last first, so
    // the first column is the top bar, as a list reads.
    auto* pSeries = FirstSeries<QHorizontalBarSeries>(pChart);
    auto* pAxisY = FirstAxis<QBarCategoryAxis>(pChart, Qt::Vertical);
    auto* pAxisX = FirstAxis<QValueAxis>(pChart, Qt::Horizontal);
    if (!pSeries) {
        pSeries = new QHorizontalBarSeries;
        connect(pSeries, &QHorizontalBarSeries::hovered, pSeries,
                [this, pSeries](bool bHovered, int nIndex, QBarSet* pSet) {
                    ShowToolTip(int(pSeries->barSets().indexOf(pSet)) + 1, ColumnCount() - nIndex,
                                bHovered);
                });
        pChart->addSeries(pSeries);
        pAxisY = new QBarCategoryAxis;
        pAxisY->setLabelsFont(font());
        pAxisY->setTruncateLabels(false);
        AddAxis(pChart, pAxisY, Qt::AlignLeft);
        pSeries->attachAxis(pAxisY);
        pAxisX = new QValueAxis;
        pAxisX->setLabelsFont(font());
        AddAxis(pChart, pAxisX, Qt::AlignBottom);
        pSeries->attachAxis(pAxisX);
    }
    // The sets stay while the rows and columns keep their number; their values change.
    const QList<QBarSet*> sets = pSeries->barSets();
    bool bSameShape = sets.size() == RowCount();
    for (const QBarSet* pSet : sets)
        bSameShape = bSameShape && pSet->count() == ColumnCount();
    if (!bSameShape)
        pSeries->clear();
    double dMin = 0.0, dMax = 0.0;
    for (int r = 1; r <= RowCount(); ++r) {
        QBarSet* pSet = bSameShape ? sets[r - 1] : new QBarSet(RowLabel(r));
        if (bSameShape && pSet->label() != RowLabel(r))
            pSet->setLabel(RowLabel(r));
        for (int c = ColumnCount(); c >= 1; --c) {
            const double d = Value(r, c);
            if (!bSameShape)
                *pSet << d;
            else if (pSet->at(ColumnCount() - c) != d)
                pSet->replace(ColumnCount() - c, d);
            dMin = std::min(dMin, d);
            dMax = std::max(dMax, d);
        }
        if (!bSameShape)
            pSeries->append(pSet);
    }
    // One bar per column: with a single row its colour says nothing a legend could add.
    pChart->legend()->setVisible(RowCount() > 1);

    // The axis keeps one category per distinct text: an invisible mark keeps two columns of
    // one label (or none yet) apart.
    QStringList labels;
    for (QString strLabel : m_columnLabels) {
        if (strLabel.isEmpty())
            strLabel = QChar(0x200B);
        while (labels.contains(strLabel))
            strLabel += QChar(0x200B);
        labels.prepend(strLabel);
    }
    if (pAxisY->categories() != labels)
        pAxisY->setCategories(labels);
    // As many steps as their labels have room for side by side (redrawn on resizing).
    const QFontMetrics fm(font());
    const int nLabel =
        fm.horizontalAdvance(QString::number(std::max(std::fabs(dMin), dMax) * 1.3, 'f', 0)) + 24;
    const int nSteps = std::clamp((PlotWidth(this) - 90) / std::max(1, nLabel), 2, 5);
    FitValueAxis(pAxisX, dMin, dMax, nSteps);
}

void CMschart3::DrawPie(QChart* pChart) const {
    auto* pSeries = FirstSeries<QPieSeries>(pChart);
    if (!pSeries) {
        pSeries = new QPieSeries;
        pSeries->setPieSize(0.58);
        pChart->addSeries(pSeries);
        pChart->legend()->setAlignment(Qt::AlignRight);
        pChart->legend()->setShowToolTips(true); // a name cut short shows whole on hovering
        pChart->legend()->setVisible(true);
    }
    double dTotal = 0.0;
    for (int c = 1; c <= ColumnCount(); ++c)
        dTotal += std::max(0.0, Value(1, c));
    // Every column keeps its slice, so colours stay with their categories from one scope to
    // the next; a category of 0 (or below: a pie has no negative share) draws no wedge and has
    // no legend entry. The legend names each category with its share; beside the wedge the
    // share alone, so no text runs out of the chart.
    if (pSeries->count() != ColumnCount()) {
        pSeries->clear();
        // Added all at once: each slice added alone lays out the pie and the legend again.
        QList<QPieSlice*> added;
        for (int c = 1; c <= ColumnCount(); ++c) {
            auto* pSlice = new QPieSlice;
            pSlice->setLabelFont(font());
            pSlice->setLabelArmLengthFactor(0.08);
            pSlice->setColor(kCategoryColors[(c - 1) % kCategoryColors.size()]);
            pSlice->setBorderColor(Qt::white);
            connect(pSlice, &QPieSlice::hovered, pSlice,
                    [this, c](bool bHovered) { ShowToolTip(1, c, bHovered); });
            added << pSlice;
        }
        pSeries->append(added);
    }
    const QList<QPieSlice*> slices = pSeries->slices();
    QStringList shares;
    // Qt Charts lays every wedge and its text out again for each value that changes, and a
    // wedge again for each text or visibility: with figures to show, the slices take theirs
    // quietly and one value signal at the end lays the pie out once. A pie of nothing has no
    // layout of its own to come, so there every change speaks for itself.
    const bool bQuiet = dTotal > 0.0;
    bool bChanged = false;
    for (int c = 1; c <= ColumnCount(); ++c) {
        const double d = std::max(0.0, Value(1, c));
        shares << (dTotal > 0.0 ? QStringLiteral("%1%").arg(d / dTotal * 100.0, 0, 'f', 1)
                                : QString());
        // Thin wedges are left to the legend, so their texts never pile up around the pie.
        const bool bLabelVisible = dTotal > 0.0 && d / dTotal >= 0.03;
        QPieSlice* pSlice = slices[c - 1];
        if (pSlice->value() == d && pSlice->label() == shares.last() &&
            pSlice->isLabelVisible() == bLabelVisible)
            continue;
        bChanged = true;
        const QSignalBlocker quiet(bQuiet ? pSlice : nullptr);
        pSlice->setValue(d);
        pSlice->setLabel(shares.last());
        pSlice->setLabelVisible(bLabelVisible);
    }
    if (bQuiet && bChanged)
        emit slices.first()->valueChanged();
    // After every slice has its value: a changed slice updates the markers of all of them.
    // A marker's new text is drawn only when the legend lays itself out again, which the
    // slices' quiet changes no longer ask for: a changed text asks for it itself.
    const QList<QLegendMarker*> markers = pChart->legend()->markers(pSeries);
    bool bRelabelled = false;
    for (int c = 1; c <= ColumnCount() && c <= markers.size(); ++c) {
        const QString& strShare = shares[c - 1];
        const QString strLabel =
            strShare.isEmpty() ? ColumnLabel(c) : ColumnLabel(c) + QLatin1Char(' ') + strShare;
        if (markers[c - 1]->label() != strLabel) {
            markers[c - 1]->setLabel(strLabel);
            bRelabelled = true;
        }
        markers[c - 1]->setVisible(dTotal <= 0.0 || Value(1, c) > 0.0);
    }
    // A legend laid out before lays itself out now, before the chart's own layout and paint;
    // a new one waits for the chart's layout, which gives it its place first.
    QGraphicsLayout* pLegendLayout = pChart->legend()->layout();
    if (bRelabelled && pLegendLayout) {
        pLegendLayout->invalidate();
        if (!pChart->legend()->geometry().isEmpty())
            pLegendLayout->activate();
    }
}

void CMschart3::DrawLine(QChart* pChart) const {
    auto* pSeries = FirstSeries<QLineSeries>(pChart);
    auto* pAxisX = FirstAxis<QCategoryAxis>(pChart, Qt::Horizontal);
    auto* pAxisY = FirstAxis<QValueAxis>(pChart, Qt::Vertical);
    if (!pSeries) {
        pSeries = new QLineSeries;
        pSeries->setPointsVisible(true);
        connect(pSeries, &QLineSeries::hovered, pSeries,
                [this](const QPointF& point, bool bHovered) {
                    ShowToolTip(int(std::lround(point.x())) + 1, 1, bHovered);
                });
        pChart->addSeries(pSeries);
        pChart->legend()->setVisible(false);
        pAxisX = new QCategoryAxis;
        pAxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        pAxisX->setLabelsFont(font());
        AddAxis(pChart, pAxisX, Qt::AlignBottom);
        pSeries->attachAxis(pAxisX);
        pAxisY = new QValueAxis;
        pAxisY->setLabelsFont(font());
        AddAxis(pChart, pAxisY, Qt::AlignLeft);
        pSeries->attachAxis(pAxisY);
    }
    if (pSeries->name() != ColumnLabel(1))
        pSeries->setName(ColumnLabel(1));
    QList<QPointF> points;
    points.reserve(RowCount());
    double dMin = 0.0, dMax = 0.0;
    for (int r = 1; r <= RowCount(); ++r) {
        const double d = Value(r, 1);
        points << QPointF(r - 1, d);
        dMin = std::min(dMin, d);
        dMax = std::max(dMax, d);
    }
    pSeries->replace(points);
    FitValueAxis(pAxisY, dMin, dMax);
    // The row axis takes its range with its labels (FitAxisLabels), after them.
}

void CMschart3::FitAxisLabels() {
    QChart* pChart = Chart();
    if (!pChart || pChart->axes(Qt::Horizontal).isEmpty())
        return;
    QAbstractAxis* pAxis = pChart->axes(Qt::Horizontal).first();
    const QFontMetrics fm(pAxis->labelsFont());
    // The axis keeps a padding on both sides of every label and shortens to "..." whatever
    // does not fit between them.
    const int nGap = 14;

    if (auto* pLine = qobject_cast<QCategoryAxis*>(pAxis)) {
        // Too many rows for their labels side by side: label every n-th row.
        int nWidest = 1;
        for (const QString& str : std::as_const(m_rowLabels))
            nWidest = std::max(nWidest, fm.horizontalAdvance(str));
        const int nRows = RowCount();
        const double dPerRow = std::max(1.0, double(PlotWidth(this)) / nRows);
        const int nStep = std::max(1, int(std::ceil((nWidest + nGap / 2) / dPerRow)));
        // The axis takes each label once; a repeated or empty label is left out.
        QStringList labels;
        QList<int> rows;
        for (int r = 0; r < nRows; r += nStep) {
            if (!m_rowLabels[r].isEmpty() && !labels.contains(m_rowLabels[r])) {
                labels << m_rowLabels[r];
                rows << r;
            }
        }
        // Labels that stand already (the same scope shape again) are left alone.
        bool bSame = pLine->categoriesLabels() == labels;
        for (int i = 0; bSame && i < labels.size(); ++i)
            bSame = pLine->endValue(labels[i]) == rows[i];
        // A new range lays the axis' labels out at once: it is set while the axis has none,
        // and the new labels wait for the chart's layout when the event loop comes back.
        if (!bSame) {
            for (const QString& str : pLine->categoriesLabels())
                pLine->remove(str);
        }
        pLine->setRange(-0.5, nRows - 0.5);
        if (!bSame) {
            for (int i = 0; i < labels.size(); ++i)
                pLine->append(labels[i], rows[i]);
        }
    }
}

void CMschart3::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    FitAxisLabels();
    if (m_eType == EType::Bar)
        Changed(); // the value axis takes the steps the new width has room for
}

void CMschart3::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    // A drawing already queued comes before the first paint, with whatever the view writes
    // right after showing its charts; drawing now would draw the placeholders for nothing.
    if (!m_bQueued)
        Refresh();
}
