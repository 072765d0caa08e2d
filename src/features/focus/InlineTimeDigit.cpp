#include "InlineTimeDigit.h"

#include "platform/localization/L10n.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStackedLayout>

namespace {
// Only plain decimal digits: a sign or blanks make the entry invalid, not a duration.
std::optional<qint64> parsedValue(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return text.toLongLong();
}
} // namespace

InlineTimeDigit::InlineTimeDigit(bool isSeconds, QWidget* parent)
    : QWidget(parent)
    , m_isSeconds(isSeconds)
    , m_beep([] { QApplication::beep(); })
{
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);

    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setObjectName("durationLabel");
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setFont(digitsFont());
    // Clicks belong to the digit, which decides whether editing may start.
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_stack->addWidget(m_label);
    setValue(0);
    retranslate();
}

QFont InlineTimeDigit::digitsFont() const
{
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF() * 1.6);
    return digits;
}

// Made on the first edit: most digits are never edited, and a styled field is costly to
// make for each of them when the window opens.
void InlineTimeDigit::makeField()
{
    m_field = new QLineEdit(this);
    m_field->setObjectName("durationField");
    m_field->setFrame(false);
    m_field->setAlignment(Qt::AlignCenter);
    m_field->setFont(digitsFont());
    m_field->setStyleSheet(
        QStringLiteral("QLineEdit { background: rgba(0, 122, 255, 31); border-radius: 4px; }"));
    m_field->setAccessibleName(accessibleName());
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::returnPressed, this, [this] { finish(false); });
    connect(m_field, &QLineEdit::textChanged, this, &InlineTimeDigit::updateWidth);
    m_stack->addWidget(m_field);
    // In the keyboard's order where the digit is, not after the window's last control.
    QWidget::setTabOrder(this, m_field);
}

void InlineTimeDigit::setValue(qint64 value)
{
    m_value = value;
    m_label->setText(QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')));
    updateWidth();
}

void InlineTimeDigit::setEditable(bool editable)
{
    if (editable == m_editable)
        return;
    m_editable = editable;
    // A countdown started meanwhile (by the global shortcut, say) ends the edit unsaved.
    if (!editable)
        finish(true);
    retranslate();
}

void InlineTimeDigit::setCompact(bool compact)
{
    m_compact = compact;
    updateWidth();
}

void InlineTimeDigit::updateWidth()
{
    const int perCharacter = m_compact ? 12 : 24;
    const int characters = m_editing ? (m_field->text().size() > 2 ? 3 : 2)
                                     : std::max<int>(2, int(m_label->text().size()));
    setFixedWidth(perCharacter * characters);
}

void InlineTimeDigit::retranslate()
{
    setAccessibleName(L10n::tr(m_isSeconds ? "秒数" : "分钟"));
    setToolTip(L10n::tr(m_editable ? "双击原位修改，回车保存，Esc 取消" : "重置后可编辑时长"));
    if (m_field)
        m_field->setAccessibleName(accessibleName());
}

void InlineTimeDigit::startEditing()
{
    if (!m_editable || m_editing)
        return;
    if (!m_field)
        makeField();
    m_editing = true;
    m_field->setText(QStringLiteral("%1").arg(m_value, 2, 10, QLatin1Char('0')));
    m_field->selectAll();
    m_stack->setCurrentWidget(m_field);
    updateWidth();
    m_field->setFocus(Qt::OtherFocusReason);
}

void InlineTimeDigit::finish(bool cancelled)
{
    if (!m_editing)
        return;
    // Editing ends before the field is hidden, so the focus loss that follows does nothing.
    m_editing = false;
    const QString draft = m_field->text();
    m_stack->setCurrentWidget(m_label);
    m_field->clearFocus();
    updateWidth();
    if (cancelled)
        return;
    const auto value = parsedValue(draft);
    if (!value || *value > (m_isSeconds ? secondsLimit : minutesLimit)) {
        if (m_beep)
            m_beep();
        return;
    }
    if (m_onCommit)
        m_onCommit(int(*value));
}

void InlineTimeDigit::mouseDoubleClickEvent(QMouseEvent* event)
{
    startEditing();
    event->accept();
}

void InlineTimeDigit::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_editable || m_editing) {
        QWidget::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    QAction* edit = menu.addAction(L10n::tr("修改时长"));
    edit->setObjectName("editDurationAction");
    connect(edit, &QAction::triggered, this, &InlineTimeDigit::startEditing);
    menu.exec(event->globalPos());
}

bool InlineTimeDigit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            finish(true);
            return true;
        }
        if (event->type() == QEvent::FocusOut)
            finish(false);
    }
    return QWidget::eventFilter(watched, event);
}
