#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

class QMimeData;

// Symbol images ("timer", "waveform" ...) for the tab and the quick controls; the design
// layer supplies them.
using SymbolImages = std::function<QIcon(const QString& symbolName)>;

// A symbol image drawn in one colour, `size` points square.
QPixmap tintedSymbol(
    const SymbolImages& symbols, const QString& name, const QColor& tint, int size, qreal devicePixelRatio);

// The rounded dark surface of both panels. Reports the pointer entering and leaving it.
class SidebarTrackingView : public QWidget {
    Q_OBJECT
public:
    explicit SidebarTrackingView(QWidget* parent = nullptr);

    int roundedCornerRadius = 14;
    std::function<void(bool)> hoverChanged;

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

    // Called when the panel stops being the active window.
    std::function<void()> deactivated;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> m_content;
};

// The edge tab's window: never active, so clicking it leaves the keyboard where it was.
class EdgeRecoveryPanel : public SidebarPanelWindow {
    Q_OBJECT
public:
    EdgeRecoveryPanel();
};

// The quick-controls window: shows passively on hover, becomes active when opened from
// the tab's menu.
class QuickControlsPanel : public SidebarPanelWindow {
    Q_OBJECT
public:
    QuickControlsPanel();
};

// The click target covering the tab; also the target for files dropped onto the tab.
class RecoveryTabButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit RecoveryTabButton(QWidget* parent = nullptr);

    // Whether the dropped files were taken.
    std::function<bool(const QList<QUrl>&)> receiveFiles;
    // The files of a drag: local files only (folders and other items do not count).
    static QList<QUrl> fileURLs(const QMimeData* data);

    bool isDropHighlighted() const { return m_dropHighlighted; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDropHighlighted(bool highlighted);
    bool m_dropHighlighted = false;
};

// Texts and pictures on the tab let every click through to the button beneath.
class SidebarTabLabel : public QLabel {
    Q_OBJECT
public:
    explicit SidebarTabLabel(QWidget* parent = nullptr);
};

// A 9-point status dot: a disc in the status colour; `symbol` names what it stands for.
class SidebarStatusImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString symbol READ symbol)
public:
    explicit SidebarStatusImage(QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QColor tint() const { return m_tint; }
    void setSymbol(const QString& symbol, const QColor& tint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_tint;
};
