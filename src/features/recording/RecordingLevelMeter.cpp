#include "RecordingLevelMeter.h"

#include <QPainter>

#include <array>

namespace {
constexpr std::array<double, RecordingLevelMeter::barCount> kWeights { 18, 30, 22, 36, 26, 32, 40, 28, 34, 24, 30, 20, 16 };
constexpr double kRecordingFloor = 5;
constexpr double kIdleHeight = 6;
constexpr int kTallest = 45;
} // namespace

RecordingLevelMeter::RecordingLevelMeter(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("recordingLevelMeter");
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    setFixedHeight(kTallest + 4);
    // Readings arrive ten times a second; easing between them over the same span keeps
    // the bars moving smoothly instead of jumping.
    m_animation.setDuration(100);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_shownLevel = value.toDouble();
        update();
    });
}

double RecordingLevelMeter::barHeight(int index, float level, bool recording)
{
    if (!recording || index < 0 || index >= barCount)
        return kIdleHeight;
    return double(level) * kWeights.at(size_t(index)) + kRecordingFloor;
}

QList<double> RecordingLevelMeter::targetHeights() const
{
    QList<double> heights;
    for (int i = 0; i < barCount; ++i)
        heights.append(barHeight(i, m_level, m_recording));
    return heights;
}

void RecordingLevelMeter::setRecording(bool recording)
{
    if (recording == m_recording)
        return;
    m_recording = recording;
    update();
}

void RecordingLevelMeter::setLevel(float level)
{
    if (level == m_level)
        return;
    m_level = level;
    m_animation.stop();
    m_animation.setStartValue(m_shownLevel);
    m_animation.setEndValue(double(level));
    m_animation.start();
}

QSize RecordingLevelMeter::sizeHint() const
{
    return { barCount * barWidth + (barCount - 1) * barSpacing, kTallest + 4 };
}

void RecordingLevelMeter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor color = m_recording ? QColor(Qt::red) : palette().color(QPalette::WindowText);
    color.setAlphaF(m_recording ? 0.75f : 0.22f);
    painter.setBrush(color);
    const double totalWidth = barCount * barWidth + (barCount - 1) * barSpacing;
    double x = (width() - totalWidth) / 2.0;
    for (int i = 0; i < barCount; ++i) {
        const double height = barHeight(i, float(m_shownLevel), m_recording);
        const QRectF bar(x, (this->height() - height) / 2.0, barWidth, height);
        painter.drawRoundedRect(bar, barWidth / 2.0, barWidth / 2.0);
        x += barWidth + barSpacing;
    }
}
