#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QStackedLayout;

// Minutes or seconds of a duration, edited in place: double-click, type, Return. Esc
// cancels; leaving the field commits like Return. A value that is not a whole number
// within the limit beeps and changes nothing.
class InlineTimeDigit : public QWidget {
    Q_OBJECT
public:
    static constexpr int secondsLimit = 59;
    static constexpr int minutesLimit = 180;

    InlineTimeDigit(bool isSeconds, QWidget* parent = nullptr);

    void setValue(qint64 value);
    qint64 value() const { return m_value; }
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    void setCompact(bool compact);
    bool isEditing() const { return m_editing; }
    // None until the first edit.
    QLineEdit* field() const { return m_field; }
    // The digits' font, which the text beside them shares.
    QFont digitsFont() const;

    void setOnCommit(std::function<void(int)> onCommit) { m_onCommit = std::move(onCommit); }
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    // Opens the field, when editable.
    void startEditing();
    void retranslate();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeField();
    void finish(bool cancelled);
    void updateWidth();

    bool m_isSeconds;
    qint64 m_value = 0;
    bool m_editable = true;
    bool m_compact = false;
    bool m_editing = false;
    QStackedLayout* m_stack;
    QLabel* m_label;
    QLineEdit* m_field = nullptr;
    std::function<void(int)> m_onCommit;
    std::function<void()> m_beep;
};
