#pragma once

#include <QWidget>

#include <optional>

// The divider between the task card and the notes: a strip with a grip, dragged up or down,
// double-clicked to go back to the default share, stepped with the Up and Down keys and the
// accessibility increase/decrease actions.
class PaneResizeHandle : public QWidget {
    Q_OBJECT
public:
    explicit PaneResizeHandle(QWidget* parent = nullptr);

    void retranslate();
    // The card's share now, for assistive technology.
    void setRatio(double ratio) { m_ratio = ratio; }
    double ratio() const { return m_ratio; }
    bool highlighted() const { return m_hovered || m_startY.has_value(); }

signals:
    // `delta`: pixels from where the drag began, positive downwards (a bigger card).
    void resized(double delta, bool ended);
    void resetRequested();
    // +1 gives the card a step more room, -1 a step less.
    void stepRequested(int direction);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::optional<double> m_startY;
    bool m_hovered = false;
    double m_ratio = 0;
};
