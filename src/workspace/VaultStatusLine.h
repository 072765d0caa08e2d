#pragma once

#include <QWidget>

class QLabel;
class WorkspaceStore;

// The line at the foot of the window that says whether a vault is connected and which:
// a green dot with "Obsidian · " and the vault's name, or a grey dot with an invitation.
// Whether the folder is still reachable is found out only by an export.
class VaultStatusLine : public QWidget {
    Q_OBJECT
public:
    explicit VaultStatusLine(WorkspaceStore* store, QWidget* parent = nullptr);

    void retranslate();

protected:
    void changeEvent(QEvent* event) override;

private:
    WorkspaceStore* m_store;
    QLabel* m_dot;
    QLabel* m_text;
};
