#pragma once

#include <QObject>
#include <QTimer>

// Stops the text caret blinking after a while without input, as desktop text fields do, so
// that a sidebar left alone with a field focused does not wake twice a second; the next key
// press, click or input-method event brings the blinking back.
class CaretRest : public QObject {
    Q_OBJECT
public:
    explicit CaretRest(QObject* parent = nullptr, int restAfterMs = 10000);
    ~CaretRest() override;

    bool resting() const { return m_resting; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rest();

    QTimer m_idle;
    int m_flashTime = 0;
    bool m_resting = false;
};
