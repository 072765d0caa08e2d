#pragma once

#include "core/KeyboardShortcutBinding.h"

#include <QMap>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QToolButton;
class ShortcutManager;
class ShortcutRecorderField;

// The three global shortcuts: each action's combination, recorded anew, cleared or refused
// with the reason, its registration problem, and the defaults back. While a combination is
// being recorded the hot keys are let go, so that pressing one records it instead of firing.
class ShortcutSettingsSection : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutSettingsSection(ShortcutManager* manager, QWidget* parent = nullptr);
    ~ShortcutSettingsSection() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Row {
        QLabel* name = nullptr;
        ShortcutRecorderField* field = nullptr;
        QToolButton* clear = nullptr;
        QLabel* issue = nullptr;
        // Why the last combination recorded for this action was refused.
        QString refusal;
    };
    void retranslate();
    void refresh();
    void offer(ShortcutAction action, const std::optional<KeyboardShortcutBinding>& binding);
    void refuse(ShortcutAction action, const QString& reason);

    QPointer<ShortcutManager> m_manager;
    QLabel* m_heading = nullptr;
    QLabel* m_explanation = nullptr;
    QPushButton* m_restore = nullptr;
    QMap<ShortcutAction, Row> m_rows;
};
