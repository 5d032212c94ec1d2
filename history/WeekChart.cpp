#include "history/WeekChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>

namespace {

// A fixed palette that stays apart on light and dark backgrounds and for the common colour-vision
// deficiencies; grey, the last, is "Other". Colours follow the rank in the week, not the timer.
constexpr std::array<QRgb, JournalWeek::kChartNames + 1> kPalette = {
    0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f, 0xedc948, 0xb07aa1, 0xff9da7, 0x9c755f, 0xbab0ac};
constexpr int kMargin = 8;
constexpr int kSwatch = 12;
constexpr qint64 kHour = 3600;

} // namespace

CWeekChart::CWeekChart(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click a day to list its periods"));
}

QColor CWeekChart::Colour(int row, bool bOther) {
    return QColor(kPalette[bOther ? kPalette.size() - 1 : static_cast<size_t>(row) % (kPalette.size() - 1)]);
}

void CWeekChart::SetWeek(const JournalWeek& week, const QStringList& dayLabels) {
    m_rows = week.ChartRows();
    m_dayLabels = dayLabels;
    m_colours.clear();
    m_legend.clear();
    const bool bOthers = week.Rows().size() > static_cast<size_t>(JournalWeek::kChartNames);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        const bool bOther = bOthers && row + 1 == m_rows.size();
        m_colours.push_back(Colour(static_cast<int>(row), bOther));
        m_legend << fontMetrics().elidedText(m_rows[row].name, Qt::ElideRight, kLegendTextWidth);
    }
    // The scale fits the stacks as drawn: a day's negative times (the clock set back) draw nothing.
    qint64 highest = 0;
    for (size_t day = 0; day < JournalWeek::kDays; ++day) {
        qint64 stack = 0;
        for (const JournalWeek::Row& row : m_rows) {
            stack += std::max<qint64>(0, row.seconds[day]);
        }
        highest = std::max(highest, stack);
    }
    m_scale = std::max<qint64>(1, (highest + kHour - 1) / kHour) * kHour;
    update();
}

QSize CWeekChart::sizeHint() const {
    return {720, 240};
}

QSize CWeekChart::minimumSizeHint() const {
    return {360, 160};
}

int CWeekChart::LegendWidth() const {
    if (m_legend.isEmpty()) {
        return 0;
    }
    int text = 0;
    for (const QString& label : m_legend) {
        text = std::max(text, fontMetrics().horizontalAdvance(label));
    }
    return kMargin + kSwatch + kMargin / 2 + text + kMargin;
}

QRect CWeekChart::PlotRect() const {
    const int axis = fontMetrics().horizontalAdvance(QStringLiteral("000h")) + kMargin;
    const int foot = fontMetrics().height() + kMargin;
    return QRect(axis, kMargin + fontMetrics().height() / 2, width() - axis - LegendWidth() - kMargin,
                 height() - foot - kMargin - fontMetrics().height() / 2);
}

QRect CWeekChart::BarRect(int day) const {
    const QRect plot = PlotRect();
    const double slot = plot.width() / static_cast<double>(JournalWeek::kDays);
    const int left = plot.left() + static_cast<int>(slot * day + slot * 0.2);
    return QRect(left, plot.top(), static_cast<int>(slot * 0.6), plot.height());
}

int CWeekChart::DayAt(QPoint pos) const {
    const QRect plot = PlotRect();
    if (pos.y() < plot.top() || pos.x() < plot.left() || pos.x() >= plot.right()) {
        return -1;
    }
    const int day = (pos.x() - plot.left()) * JournalWeek::kDays / std::max(1, plot.width());
    return std::clamp(day, 0, JournalWeek::kDays - 1);
}

void CWeekChart::mousePressEvent(QMouseEvent* event) {
    const int day = DayAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && day >= 0) {
        Q_EMIT dayClicked(day);
    }
}

void CWeekChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect plot = PlotRect();
    const QColor text = palette().color(QPalette::WindowText);
    QColor grid = text;
    grid.setAlpha(40);
    // Hour lines, at most five above the base line.
    const qint64 hours = m_scale / kHour;
    const qint64 step = (hours + 4) / 5;
    for (qint64 hour = 0; hour <= hours; hour += step) {
        const int y = plot.bottom() - static_cast<int>(plot.height() * hour / hours);
        painter.setPen(hour == 0 ? text : grid);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(text);
        painter.drawText(
            QRect(0, y - fontMetrics().height() / 2, plot.left() - kMargin / 2, fontMetrics().height()),
            Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1h").arg(hour));
    }
    for (int day = 0; day < JournalWeek::kDays; ++day) {
        const QRect bar = BarRect(day);
        double bottom = plot.bottom() + 1;
        for (size_t row = 0; row < m_rows.size(); ++row) {
            const qint64 seconds = std::max<qint64>(0, m_rows[row].seconds[static_cast<size_t>(day)]);
            const double height = plot.height() * static_cast<double>(seconds) / static_cast<double>(m_scale);
            painter.fillRect(QRectF(bar.left(), bottom - height, bar.width(), height), m_colours[row]);
            bottom -= height;
        }
        painter.setPen(text);
        painter.drawText(QRect(plot.left() + plot.width() * day / JournalWeek::kDays,
                               plot.bottom() + kMargin / 2, plot.width() / JournalWeek::kDays,
                               fontMetrics().height()),
                         Qt::AlignCenter, m_dayLabels.value(day));
    }
    // The legend, top to bottom in the order of the stack from its foot.
    const int left = plot.right() + kMargin * 2;
    const int line = std::max(kSwatch, fontMetrics().height()) + kMargin / 2;
    for (int row = 0; row < m_legend.size(); ++row) {
        const int y = plot.top() + row * line;
        painter.fillRect(QRect(left, y + (line - kSwatch) / 2, kSwatch, kSwatch),
                         m_colours[static_cast<size_t>(row)]);
        painter.drawText(QRect(left + kSwatch + kMargin / 2, y, kLegendTextWidth + kMargin, line),
                         Qt::AlignLeft | Qt::AlignVCenter, m_legend[row]);
    }
}
