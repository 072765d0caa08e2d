#include "PanelSurface.h"

#include "Symbols.h"

#include <QEvent>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kSurface(34, 36, 42, 240);
const QColor kSurfaceEdge(255, 255, 255, 30);

QRegion roundedRegion(const QRect& rect, int radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}
} // namespace

QPixmap tintedSymbol(Symbol symbol, const QColor& tint, int size, qreal devicePixelRatio)
{
    const QIcon icon = Symbols::icon(symbol);
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
    emit hoverChanged(true);
}

void SidebarTrackingView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    emit hoverChanged(false);
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
    if (event->type() == QEvent::WindowDeactivate)
        emit deactivated();
    return QWidget::event(event);
}

void SidebarPanelWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_content)
        m_content->setGeometry(rect());
}
