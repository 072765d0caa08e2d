#pragma once

#include <QMessageBox>
#include <QPointer>

class QWidget;
class WorkspaceStore;

// The store's message as a window-modal alert over `parent`: one alert at a time, reused
// while open; "好" clears the message.
void showStoreMessageAlert(
    QPointer<QMessageBox>& alert, QWidget* parent, WorkspaceStore* store, const char* objectName);
