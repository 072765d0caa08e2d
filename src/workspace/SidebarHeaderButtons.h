#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;
class SidebarWindowController;

// The window's own buttons in the header: keep on top, collapse to the edge (with a menu
// for auto-collapse, docking left or right and undocking) and settings.
class SidebarHeaderButtons : public QWidget {
    Q_OBJECT
public:
    // Without a controller the buttons stay hidden until one is set.
    SidebarHeaderButtons(SidebarWindowController* controller, QWidget* parent = nullptr);

    void setController(SidebarWindowController* controller);
    void retranslate();

signals:
    void settingsRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void showCollapseMenu(const QPoint& position);

    QPointer<SidebarWindowController> m_controller;
    QToolButton* m_pin;
    QToolButton* m_collapse;
    QToolButton* m_settings;
};
