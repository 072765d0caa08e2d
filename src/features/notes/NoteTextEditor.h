#pragma once

#include <QPlainTextEdit>

// Plain-text Markdown editor bound to the store's note. Dragged items are not inserted as
// text: they reach the window's own drop handling.
class NoteTextEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit NoteTextEditor(QWidget* parent = nullptr);

    // Takes text that changed elsewhere; a caret at the very end follows the new end,
    // otherwise it keeps its position (limited to the new length).
    void takeText(const QString& text);
    void retranslate();

signals:
    void edited(const QString& text);

private:
    bool m_applying = false;
};
