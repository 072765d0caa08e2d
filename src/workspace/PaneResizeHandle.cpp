#include "PaneResizeHandle.h"

#include "TaskPaneSizing.h"
#include "platform/localization/L10n.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
// Screen readers see an adjustable control whose value is the card's share.
class HandleAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit HandleAccessible(PaneResizeHandle* handle)
        : QAccessibleWidget(handle, QAccessible::Slider)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QStringList actionNames() const override { return { increaseAction(), decreaseAction() }; }
    void doAction(const QString& name) override
    {
        if (name == increaseAction())
            emit handle()->stepRequested(1);
        else if (name == decreaseAction())
            emit handle()->stepRequested(-1);
    }

    QVariant currentValue() const override { return handle()->ratio(); }
    void setCurrentValue(const QVariant& value) override
    {
        const double wanted = value.toDouble();
        if (wanted != handle()->ratio())
            emit handle()->stepRequested(wanted > handle()->ratio() ? 1 : -1);
    }
    QVariant maximumValue() const override { return 1.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return TaskPaneSizing::kStep; }

private:
    PaneResizeHandle* handle() const { return static_cast<PaneResizeHandle*>(widget()); }
};

QAccessibleInterface* handleAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("PaneResizeHandle") && object && object->isWidgetType())
        return new HandleAccessible(static_cast<PaneResizeHandle*>(object));
    return nullptr;
}
} // namespace

PaneResizeHandle::PaneResizeHandle(QWidget* parent)
    : QWidget(parent)
{
    static const bool installed = (QAccessible::installFactory(handleAccessible), true);
    Q_UNUSED(installed);
    setObjectName("paneResizeHandle");
    setFixedHeight(int(TaskPaneSizing::kDivider));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::SizeVerCursor);
    setFocusPolicy(Qt::StrongFocus);
    retranslate();
}

void PaneResizeHandle::retranslate()
{
    setToolTip(L10n::tr("上下拖动，调整待办与笔记的大小；双击恢复默认"));
    setAccessibleName(L10n::tr("调整待办与笔记大小"));
}

void PaneResizeHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor grip = palette().color(QPalette::Highlight);
    if (!highlighted() && !hasFocus()) {
        grip = palette().color(QPalette::PlaceholderText);
        grip.setAlphaF(0.3f);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(grip);
    const QRectF capsule(width() / 2.0 - 18, height() / 2.0 - 2, 36, 4);
    painter.drawRoundedRect(capsule, 2, 2);
}

void PaneResizeHandle::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_hovered = true;
    update();
}

void PaneResizeHandle::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hovered = false;
    update();
}

void PaneResizeHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_startY = event->globalPosition().y();
    update();
    emit resized(0, false);
}

void PaneResizeHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (m_startY)
        emit resized(event->globalPosition().y() - *m_startY, false);
}

void PaneResizeHandle::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_startY || event->button() != Qt::LeftButton)
        return;
    const double delta = event->globalPosition().y() - *m_startY;
    m_startY.reset();
    update();
    emit resized(delta, true);
}

void PaneResizeHandle::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_startY.reset();
    update();
    emit resetRequested();
}

void PaneResizeHandle::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        emit stepRequested(event->key() == Qt::Key_Down ? 1 : -1);
    else
        QWidget::keyPressEvent(event);
}

void PaneResizeHandle::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
