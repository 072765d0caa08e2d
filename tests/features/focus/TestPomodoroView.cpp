#include "features/focus/InlineTimeDigit.h"
#include "features/focus/PomodoroView.h"
#include "support/StoreHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

// The panel beside another field, so that the focus can leave the digits.
struct Panel : StoreHarness {
    QWidget window;
    PomodoroView* view = new PomodoroView(timer(), &window);
    QLineEdit* elsewhere = new QLineEdit(&window);
    int beeps = 0;

    explicit Panel(const QString& language)
        : StoreHarness(language)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(view);
        layout->addWidget(elsewhere);
        view->setBeep([this] { ++beeps; });
        window.resize(420, 260);
        window.show();
        window.activateWindow();
    }
    InlineTimeDigit* digit(const QString& name) const { return view->findChild<InlineTimeDigit*>(name); }
    template <class T = QToolButton*> T find(const QString& name) const { return view->findChild<T>(name); }
    QString shown(const QString& name) const
    {
        return digit(name)->findChild<QLabel*>("durationLabel")->text();
    }
};

class TestPomodoroView : public QObject {
    Q_OBJECT

private slots:
    // A valid entry replaces only its own part; an invalid one beeps and changes nothing.
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
        Panel p("en");
        QVERIFY(QTest::qWaitForWindowActive(&p.window));
        // 05:30: zero break minutes still leave time.
        p.timer()->setBreakDuration(330);
        InlineTimeDigit* target = p.digit(digitName);
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
        QLineEdit* field = target->field();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, text);
        if (key)
            QTest::keyClick(field, Qt::Key(key));
        else
            p.elsewhere->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!target->isEditing());
        QVERIFY(!field->hasFocus());
        QTEST(p.beeps, "beeps");
        QTEST(p.timer()->focusDuration(), "focus");
        QTEST(p.timer()->breakDuration(), "rest");
        QCOMPARE(p.preferences()->contains("focusDuration"), p.timer()->focusDuration() != 1500);
    }

    // Started, durations and mode are locked; only a running countdown is redrawn, in either form.
    void whileRunningInBothForms()
    {
        Panel p("zh-Hans");
        QVERIFY(QTest::qWaitForWindowActive(&p.window) && !p.view->isRefreshing());
        p.timer()->selectMode(true);
        QTest::mouseClick(p.find("timerToggleButton"), Qt::LeftButton);
        QVERIFY(p.view->isRefreshing());
        InlineTimeDigit* minutes = p.digit("focusMinutesDigit");
        QTest::mouseDClick(minutes, Qt::LeftButton, Qt::NoModifier, minutes->rect().center());
        QVERIFY(!minutes->isEditing());
        QTest::mouseClick(p.find("focusModeButton"), Qt::LeftButton);
        QVERIFY(!p.find("focusModeButton")->isChecked() && p.timer()->isBreak());

        p.now = p.now.addSecs(61);
        p.view->refresh();
        QCOMPARE(p.shown("breakMinutesDigit") + p.shown("breakSecondsDigit"), QString("0359"));
        QCOMPARE(p.shown("focusMinutesDigit") + p.shown("focusSecondsDigit"), QString("2500"));

        p.view->setCompact(true);
        auto* compact = p.find("timerCompactButton");
        QVERIFY(p.timer()->isBreak() && compact->isVisible()
            && !p.find<QWidget*>("pomodoroFullForm")->isVisible());
        p.view->setCompact(false);
        p.timer()->reset();
        QVERIFY(!p.view->isRefreshing());
        p.timer()->selectMode(true);
        p.view->setCompact(true);
        QVERIFY(!p.timer()->isBreak());
        QTest::mouseClick(compact, Qt::LeftButton);
        QVERIFY(p.timer()->isRunning());
        p.now = p.now.addSecs(90);
        p.view->refresh();
        QCOMPARE(compact->text(), QString("23:30"));
    }
};

QTEST_MAIN(TestPomodoroView)
#include "TestPomodoroView.moc"
