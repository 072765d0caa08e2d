#pragma once

#include <QList>
#include <QVariantAnimation>
#include <QWidget>

// Thirteen thin capsules whose heights follow the input level while recording; a flat
// row of short, faint capsules otherwise.
class RecordingLevelMeter : public QWidget {
    Q_OBJECT
public:
    static constexpr int barCount = 13;
    static constexpr int barWidth = 3;
    static constexpr int barSpacing = 3;

    explicit RecordingLevelMeter(QWidget* parent = nullptr);

    void setRecording(bool recording);
    void setLevel(float level);
    bool isRecording() const { return m_recording; }

    // Height in points of bar `index` (0-based) for a level.
    static double barHeight(int index, float level, bool recording);
    // The heights the bars are heading to for the current level.
    QList<double> targetHeights() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_recording = false;
    float m_level = 0;
    double m_shownLevel = 0;
    QVariantAnimation m_animation;
};
