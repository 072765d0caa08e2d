#include "NoteTextEditor.h"

#include "platform/localization/L10n.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>

namespace {
constexpr int kHorizontalInset = 4;
constexpr int kVerticalInset = 8;
constexpr int kMinimumHeight = 140;
} // namespace

NoteTextEditor::NoteTextEditor(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setObjectName("noteEditor");
    setAcceptDrops(false);
    setTabChangesFocus(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setMinimumHeight(kMinimumHeight);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(kHorizontalInset);
    setViewportMargins(0, kVerticalInset - kHorizontalInset, 0, kVerticalInset - kHorizontalInset);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_applying)
            emit edited(text());
    });
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
        &QWidget::updateGeometry);
    retranslate();
}

QString NoteTextEditor::text() const
{
    // toPlainText() would turn no-break spaces into spaces and so change what the user wrote.
    return document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

void NoteTextEditor::takeText(const QString& text)
{
    const QString old = this->text();
    if (old == text)
        return;
    const int position = textCursor().position();
    const int anchor = textCursor().anchor();
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(old.size(), text.size());
    while (prefix < shorter && old.at(prefix) == text.at(prefix))
        ++prefix;
    if (prefix > 0 && old.at(prefix - 1).isHighSurrogate())
        --prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && old.at(old.size() - 1 - suffix) == text.at(text.size() - 1 - suffix))
        ++suffix;
    if (suffix > 0 && old.at(old.size() - suffix).isLowSurrogate())
        --suffix;

    QTextCursor edit(document());
    edit.setPosition(int(prefix));
    edit.setPosition(int(old.size() - suffix), QTextCursor::KeepAnchor);
    m_applying = true;
    // Undoing must not take away what arrived from elsewhere.
    document()->setUndoRedoEnabled(false);
    edit.insertText(text.mid(prefix, text.size() - prefix - suffix));
    document()->setUndoRedoEnabled(true);
    m_applying = false;
    placeCaret(position, anchor, int(old.size()));
}

void NoteTextEditor::showPageText(const QString& text)
{
    const int position = textCursor().position();
    const int oldLength = int(this->text().size());
    m_applying = true;
    setPlainText(text);
    m_applying = false;
    placeCaret(position, position, oldLength);
}

void NoteTextEditor::placeCaret(int position, int anchor, int oldLength)
{
    const int length = int(text().size());
    const auto follow = [&](int at) { return at == oldLength ? length : std::min(at, length); };
    QTextCursor cursor = textCursor();
    cursor.setPosition(follow(anchor));
    cursor.setPosition(follow(position), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

QSize NoteTextEditor::sizeHint() const
{
    qreal height = 0;
    const QAbstractTextDocumentLayout* layout = document()->documentLayout();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        height += layout->blockBoundingRect(block).height();
    // The last block's rectangle includes the bottom document margin, counted in the insets.
    height -= document()->documentMargin();
    const int preferred = int(std::ceil(height)) + 2 * kVerticalInset + 2 * frameWidth();
    return { QPlainTextEdit::sizeHint().width(), std::max(preferred, kMinimumHeight) };
}

void NoteTextEditor::retranslate()
{
    setAccessibleName(L10n::tr("Markdown 笔记内容"));
    setPlaceholderText(L10n::tr("用 Markdown 记下灵感…\n录音停止后也会自动放在这里。"));
}
