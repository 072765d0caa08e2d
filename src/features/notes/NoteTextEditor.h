#pragma once

#include <QPlainTextEdit>

// Plain-text Markdown editor bound to the store's note. Dragged items are not inserted as
// text: they reach the window's own drop handling.
class NoteTextEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit NoteTextEditor(QWidget* parent = nullptr);

    // The page's text changed elsewhere (a recording, transcript or file appended): only the
    // changed part is replaced, so scrolling and typing carry on. A caret at the very end
    // follows the new end, otherwise it keeps its position (limited to the new length).
    void takeText(const QString& text);
    // Another page's text, with the same caret rule and an undo history of its own.
    void showPageText(const QString& text);
    // The text exactly as typed (no-break spaces and line separators kept).
    QString text() const;
    void retranslate();

    // The laid-out text plus the insets, at least 140 high.
    QSize sizeHint() const override;

signals:
    void edited(const QString& text);

private:
    void placeCaret(int position, int anchor, int oldLength);

    bool m_applying = false;
};
