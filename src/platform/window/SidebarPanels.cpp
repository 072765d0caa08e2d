#include "SidebarPanels.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kSurface(34, 36, 42, 240);
const QColor kSurfaceEdge(255, 255, 255, 30);
const QColor kAccent(10, 132, 255);

QRegion roundedRegion(const QRect& rect, int radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}
} // namespace

QPixmap tintedSymbol(
    const SymbolImages& symbols, const QString& name, const QColor& tint, int size, qreal devicePixelRatio)
{
    const QIcon icon = symbols ? symbols(name) : QIcon();
    if (icon.isNull())
        return {};
    const QPixmap source = icon.pixmap(QSize(size, size), devicePixelRatio);
    QPixmap tinted(source.size());
    tinted.setDevicePixelRatio(source.devicePixelRatio());
    tinted.fill(Qt::transparent);
    QPainter painter(&tinted);
    painter.drawPixmap(0, 0, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), source.size()), tint);
    return tinted;
}

SidebarTrackingView::SidebarTrackingView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("sidebarTrackingView");
    setAttribute(Qt::WA_TranslucentBackground);
}

void SidebarTrackingView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (hoverChanged)
        hoverChanged(true);
}

void SidebarTrackingView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (hoverChanged)
        hoverChanged(false);
}

void SidebarTrackingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kSurfaceEdge, 1));
    painter.setBrush(kSurface);
    painter.drawRoundedRect(
        QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), roundedCornerRadius, roundedCornerRadius);
}

void SidebarTrackingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateMask();
}

void SidebarTrackingView::updateMask()
{
    if (size().isEmpty() || (size() == m_maskedSize && roundedCornerRadius == m_maskedRadius))
        return;
    m_maskedSize = size();
    m_maskedRadius = roundedCornerRadius;
    const QRegion region = roundedRegion(rect(), roundedCornerRadius);
    setMask(region);
    // The window it fills takes the same shape, so no square corners show without a
    // compositing manager.
    QWidget* host = window();
    if (host != this && geometry() == host->rect())
        host->setMask(region);
}

SidebarPanelWindow::SidebarPanelWindow(bool acceptsFocus)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
            | (acceptsFocus ? Qt::WindowFlags() : Qt::WindowDoesNotAcceptFocus))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_QuitOnClose, false);
}

void SidebarPanelWindow::setContent(QWidget* content)
{
    if (m_content == content)
        return;
    delete m_content;
    m_content = content;
    if (content) {
        content->setParent(this);
        content->setGeometry(rect());
        content->show();
    }
}

bool SidebarPanelWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate && deactivated)
        deactivated();
    return QWidget::event(event);
}

void SidebarPanelWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_content)
        m_content->setGeometry(rect());
}

EdgeRecoveryPanel::EdgeRecoveryPanel()
    : SidebarPanelWindow(false)
{
    setObjectName("edgeTab");
}

QuickControlsPanel::QuickControlsPanel()
    : SidebarPanelWindow(true)
{
    setObjectName("quickControlsPanel");
}

RecoveryTabButton::RecoveryTabButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setObjectName("edgeTabButton");
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

QList<QUrl> RecoveryTabButton::fileURLs(const QMimeData* data)
{
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files.append(url);
    }
    return files;
}

void RecoveryTabButton::setDropHighlighted(bool highlighted)
{
    if (m_dropHighlighted == highlighted)
        return;
    m_dropHighlighted = highlighted;
    update();
}

void RecoveryTabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 26));
        painter.drawRoundedRect(QRectF(rect()), 14, 14);
    }
    if (m_dropHighlighted) {
        painter.setPen(QPen(kAccent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 14, 14);
    }
}

void RecoveryTabButton::dragEnterEvent(QDragEnterEvent* event)
{
    if (fileURLs(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    setDropHighlighted(true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void RecoveryTabButton::dragMoveEvent(QDragMoveEvent* event)
{
    if (fileURLs(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void RecoveryTabButton::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropHighlighted(false);
    QAbstractButton::dragLeaveEvent(event);
}

void RecoveryTabButton::dropEvent(QDropEvent* event)
{
    setDropHighlighted(false);
    const QList<QUrl> files = fileURLs(event->mimeData());
    if (!files.isEmpty() && receiveFiles && receiveFiles(files)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

SidebarTabLabel::SidebarTabLabel(QWidget* parent)
    : QLabel(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

SidebarStatusImage::SidebarStatusImage(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(9, 9);
}

void SidebarStatusImage::setSymbol(const QString& symbol, const QColor& tint)
{
    if (m_symbol == symbol && m_tint == tint)
        return;
    m_symbol = symbol;
    m_tint = tint;
    update();
}

void SidebarStatusImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(m_tint);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
