#pragma once

#include <QScrollArea>

class QVBoxLayout;

// The note shown line by line as the preview classifies it: headings, body, quotes and
// code, each row with selectable text.
class MarkdownPreviewView : public QScrollArea {
    Q_OBJECT
public:
    explicit MarkdownPreviewView(QWidget* parent = nullptr);

    void setSource(const QString& source);
    // Rebuilds the rows with the texts of the current language.
    void retranslate();

protected:
    void changeEvent(QEvent* event) override;

private:
    void rebuild();

    QWidget* m_rows;
    QVBoxLayout* m_layout;
    QString m_source;
};
