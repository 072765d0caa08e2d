#pragma once

#include <QPointer>
#include <QWidget>

class QColor;
class QPixmap;
enum class Symbol;

// A symbol image (Symbols::icon) drawn in one colour, `size` points square.
QPixmap tintedSymbol(Symbol symbol, const QColor& tint, int size, qreal devicePixelRatio);

// The rounded dark surface of the edge panels. Reports the pointer entering and leaving it.
class SidebarTrackingView : public QWidget {
    Q_OBJECT
public:
    explicit SidebarTrackingView(QWidget* parent = nullptr);

    int roundedCornerRadius = 14;

signals:
    void hoverChanged(bool hovered);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Re-shapes the surface (and the window it fills) only when its size or radius changed.
    void updateMask();

    QSize m_maskedSize;
    int m_maskedRadius = -1;
};

// A frameless, always-on-top tool window that shows without taking the focus; its one
// content widget fills it.
class SidebarPanelWindow : public QWidget {
    Q_OBJECT
public:
    // A panel that never accepts the keyboard focus stays passive even when clicked.
    explicit SidebarPanelWindow(bool acceptsFocus);

    // Replaces (and deletes) the previous content.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

signals:
    // The panel stopped being the active window.
    void deactivated();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> m_content;
};
