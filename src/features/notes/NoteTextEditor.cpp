#include "NoteTextEditor.h"

#include "platform/localization/L10n.h"

#include <QTextCursor>

NoteTextEditor::NoteTextEditor(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setObjectName("noteEditor");
    setAcceptDrops(false);
    setTabChangesFocus(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setMinimumHeight(140);
    document()->setDocumentMargin(4);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_applying)
            emit edited(toPlainText());
    });
    retranslate();
}

void NoteTextEditor::takeText(const QString& text)
{
    const QString old = toPlainText();
    if (old == text)
        return;
    const int position = textCursor().position();
    const bool atEnd = position == old.size();
    m_applying = true;
    setPlainText(text);
    m_applying = false;
    QTextCursor cursor = textCursor();
    cursor.setPosition(atEnd ? int(text.size()) : std::min(position, int(text.size())));
    setTextCursor(cursor);
}

void NoteTextEditor::retranslate()
{
    setAccessibleName(L10n::tr("Markdown 笔记内容"));
    setPlaceholderText(L10n::tr("用 Markdown 记下灵感…\n录音停止后也会自动放在这里。"));
}
