#pragma once

#include <QTextBrowser>

// The note shown line by line as the preview classifies it: headings, body, quotes and
// code, one paragraph per line in one read-only document, so that the text can be selected
// across lines and a long note is laid out as quickly as a short one.
class MarkdownPreviewView : public QTextBrowser {
    Q_OBJECT
public:
    explicit MarkdownPreviewView(QWidget* parent = nullptr);

    void showNote(const QString& source);
    // Rebuilds the text in the current language.
    void retranslate();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild();

    QString m_source;
    bool m_built = false;
};
