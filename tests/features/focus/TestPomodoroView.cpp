#include "features/focus/InlineTimeDigit.h"
#include "features/focus/PomodoroView.h"
#include "support/StoreHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

class TestPomodoroView : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreHarness> h;
    std::unique_ptr<QWidget> m_window;
    PomodoroView* m_view = nullptr;
    QLineEdit* m_elsewhere = nullptr;
    int m_beeps = 0;

    void build(const QString& language)
    {
        h = std::make_unique<StoreHarness>(language);
        m_window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_window.get());
        m_view = new PomodoroView(h->timer(), m_window.get());
        m_view->setBeep([this] { ++m_beeps; });
        m_elsewhere = new QLineEdit(m_window.get());
        layout->addWidget(m_view);
        layout->addWidget(m_elsewhere);
        m_window->resize(420, 260);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    InlineTimeDigit* digit(const QString& name) const { return m_view->findChild<InlineTimeDigit*>(name); }
    QString shown(const QString& name) const
    {
        return digit(name)->findChild<QLabel*>("durationLabel")->text();
    }
    template <class T> T find(const QString& name) const { return m_view->findChild<T>(name); }

    // Double-clicks the digit and types `text` over the selected value.
    QLineEdit* type(const QString& name, const QString& text)
    {
        InlineTimeDigit* target = digit(name);
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
        auto* field = target->field();
        if (!target->isEditing())
            return field;
        [&] { QTRY_VERIFY(field->hasFocus()); }();
        QTest::keyClicks(field, text);
        return field;
    }

private slots:
    void cleanup()
    {
        m_window.reset();
        h.reset();
        m_beeps = 0;
    }

    // A valid entry replaces only its own part; an invalid one beeps and changes nothing;
    // Escape and leaving the field end the edit.
    void endingAnEdit_data()
    {
        QTest::addColumn<QString>("digitName");
        QTest::addColumn<int>("key"); // 0: the focus moves elsewhere
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("focus");
        QTest::addColumn<qint64>("rest");
        QTest::addColumn<int>("beeps");
        const int enter = Qt::Key_Return;
        QTest::newRow("seconds") << "focusSecondsDigit" << enter << "30" << 1530ll << 330ll << 0;
        QTest::newRow("180 minutes") << "focusMinutesDigit" << enter << "180" << 10800ll << 330ll << 0;
        QTest::newRow("minutes above 180") << "focusMinutesDigit" << enter << "181" << 1500ll << 330ll << 1;
        QTest::newRow("seconds above 59") << "focusSecondsDigit" << enter << "60" << 1500ll << 330ll << 1;
        QTest::newRow("letters") << "focusMinutesDigit" << enter << "abc" << 1500ll << 330ll << 1;
        QTest::newRow("no time at all") << "focusMinutesDigit" << enter << "0" << 1500ll << 330ll << 1;
        QTest::newRow("zero minutes with seconds")
            << "breakMinutesDigit" << enter << "00" << 1500ll << 30ll << 0;
        QTest::newRow("escape") << "focusMinutesDigit" << int(Qt::Key_Escape) << "abc" << 1500ll << 330ll
                                << 0;
        QTest::newRow("leaving the field") << "focusMinutesDigit" << 0 << "45" << 2700ll << 330ll << 0;
    }

    void endingAnEdit()
    {
        QFETCH(QString, digitName);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(qint64, focus);
        QFETCH(qint64, rest);
        QFETCH(int, beeps);
        build("en");
        // 05:30: zero break minutes still leave time.
        h->timer()->setBreakDuration(330);
        QLineEdit* field = type(digitName, text);
        if (key)
            QTest::keyClick(field, Qt::Key(key));
        else
            m_elsewhere->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!digit(digitName)->isEditing());
        QVERIFY(!field->hasFocus());
        QCOMPARE(m_beeps, beeps);
        QCOMPARE(h->timer()->focusDuration(), focus);
        QCOMPARE(h->timer()->breakDuration(), rest);
        QCOMPARE(h->preferences()->contains("focusDuration"), focus != 1500);
    }

    // Started, the durations and the mode are locked; the current row counts down, the other
    // shows its length. The compact form is one button: a running break keeps going in it,
    // idle it starts a focus. Only a running countdown is redrawn by the second.
    void whileRunningInBothForms()
    {
        build("zh-Hans");
        QVERIFY(!m_view->isRefreshing());
        h->timer()->selectMode(true);
        QTest::mouseClick(find<QToolButton*>("timerToggleButton"), Qt::LeftButton);
        QVERIFY(m_view->isRefreshing());
        InlineTimeDigit* minutes = digit("focusMinutesDigit");
        QTest::mouseDClick(minutes, Qt::LeftButton, Qt::NoModifier, minutes->rect().center());
        QVERIFY(!minutes->isEditing());
        QTest::mouseClick(find<QToolButton*>("focusModeButton"), Qt::LeftButton);
        QVERIFY(!find<QToolButton*>("focusModeButton")->isChecked() && h->timer()->isBreak());

        h->now = h->now.addSecs(61);
        m_view->refresh();
        QCOMPARE(shown("breakMinutesDigit") + shown("breakSecondsDigit"), QString("0359"));
        QCOMPARE(shown("focusMinutesDigit") + shown("focusSecondsDigit"), QString("2500"));

        m_view->setCompact(true);
        auto* compact = find<QToolButton*>("timerCompactButton");
        QVERIFY(h->timer()->isBreak() && compact->isVisible()
            && !find<QWidget*>("pomodoroFullForm")->isVisible());
        m_view->setCompact(false);
        h->timer()->reset();
        QVERIFY(!m_view->isRefreshing());
        h->timer()->selectMode(true);
        m_view->setCompact(true);
        QVERIFY(!h->timer()->isBreak());
        QTest::mouseClick(compact, Qt::LeftButton);
        QVERIFY(h->timer()->isRunning());
        h->now = h->now.addSecs(90);
        m_view->refresh();
        QCOMPARE(compact->text(), QString("23:30"));
    }
};

QTEST_MAIN(TestPomodoroView)
#include "TestPomodoroView.moc"
