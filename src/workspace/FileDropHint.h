#pragma once

#include <QFrame>

class QLabel;
class QMimeData;
class WorkspaceStore;

// Shown over the whole window while files are dragged over it: where they will go, by the
// store's file-drop destination. It takes no mouse input.
class FileDropHint : public QFrame {
    Q_OBJECT
public:
    explicit FileDropHint(WorkspaceStore* store, QWidget* parent);

    // Whether a drag carries files the window takes.
    static bool offersFiles(const QMimeData* data);
    // Covers the parent and shows the hint for the current destination.
    void showOverParent();

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    WorkspaceStore* m_store;
    QLabel* m_icon;
    QLabel* m_text;
};
