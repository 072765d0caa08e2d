#include "design/Appearance.h"
#include "design/CaretRest.h"
#include "design/Surfaces.h"
#include "design/Symbols.h"
#include "support/TemporaryProfile.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QStyleHints>
#include <QtTest>

using Scheme = DesktopAppearance::Scheme;
Q_DECLARE_METATYPE(std::optional<Scheme>)
Q_DECLARE_METATYPE(std::optional<QColor>)

namespace {
struct FixedDesktop : DesktopAppearance {
    std::optional<Scheme> value;
    std::optional<Scheme> scheme() const override { return value; }
    bool highContrast() const override { return false; }
};

// The settings portal as a desktop runs it, on its own connection to the private bus.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fakePortal");

    bool start()
    {
        return bus.registerObject("/org/freedesktop/portal/desktop", this, QDBusConnection::ExportAllContents)
            && bus.registerService("org.freedesktop.portal.Desktop");
    }
    void change(const QString& group, const QString& key, uint value)
    {
        auto signal = QDBusMessage::createSignal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        bus.send(signal);
    }

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key)
    {
        return QDBusVariant(group == "org.freedesktop.appearance" && key == "color-scheme" ? 1u : 0u);
    }
};
} // namespace

class TestDesign : public QObject {
    Q_OBJECT
    QColor m_platformWindow;

private slots:
    void initTestCase() { m_platformWindow = QApplication::palette().color(QPalette::Window); }

    // Every symbol is bundled, sharp at scale 2 and drawn in the palette's current text colour.
    void symbolsAreBundledTintedAndSharp()
    {
        for (int value = int(Symbol::TaskList); value <= int(Symbol::Attachment); ++value) {
            const auto symbol = Symbol(value);
            if (symbol == Symbol::BellOff)
                continue; // a warning colour of its own
            for (const QColor ink : { QColor(Qt::black), QColor(250, 250, 250) }) {
                QPalette palette = QApplication::palette();
                palette.setColor(QPalette::WindowText, ink);
                QApplication::setPalette(palette);
                const QImage image = Symbols::icon(symbol).pixmap(QSize(16, 16), 2.0).toImage();
                QCOMPARE(image.size(), QSize(32, 32));
                int inked = 0;
                for (int i = 0; i < 32 * 32; ++i)
                    inked += image.pixel(i % 32, i / 32) == ink.rgba();
                QVERIFY2(inked > 8, qPrintable(QString::number(value)));
            }
        }
    }

    // "dark" is dark, "system" follows the desktop, anything else is light; changes apply at once.
    void appearanceMode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<std::optional<Scheme>>("desktop");
        QTest::addColumn<QString>("look");
        QTest::newRow("system, dark desktop") << "system" << std::optional(Scheme::dark) << "dark";
        QTest::newRow("system, no portal") << "system" << std::optional<Scheme>() << "desktop";
        QTest::newRow("dark on a light desktop") << "dark" << std::optional(Scheme::light) << "dark";
        QTest::newRow("system, no preference")
            << "system" << std::optional(Scheme::noPreference) << "desktop";
        QTest::newRow("system, light desktop") << "system" << std::optional(Scheme::light) << "light";
        QTest::newRow("unset follows the desktop") << QString() << std::optional(Scheme::dark) << "dark";
        QTest::newRow("light on a dark desktop") << "light" << std::optional(Scheme::dark) << "light";
        QTest::newRow("other value") << "Dark" << std::optional(Scheme::dark) << "light";
    }
    void appearanceMode()
    {
        QFETCH(QString, mode);
        QFETCH(std::optional<Scheme>, desktop);
        QFETCH(QString, look);
        TemporaryProfile profile;
        if (!mode.isNull())
            QVERIFY(profile.preferences()->setString("appearanceMode", mode));
        auto* fixed = new FixedDesktop;
        fixed->value = desktop;
        Appearance appearance(profile.preferences(), fixed);
        appearance.apply();
        if (look == "desktop")
            QCOMPARE(QApplication::palette().color(QPalette::Window), m_platformWindow);
        else
            QCOMPARE(appearance.isDark(), look == "dark");
        QVERIFY(profile.preferences()->setString("appearanceMode", look == "dark" ? "light" : "dark"));
        QCOMPARE(appearance.isDark(), look != "dark");
    }

    // A card is stretched from one drawn small; it must look as if drawn at its own size (but
    // for rounding: the small one is drawn over nothing, then over the window).
    void cardsLookDrawnOutright_data()
    {
        QTest::addColumn<QRect>("card");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("solid");
        QTest::addColumn<int>("scale");
        QTest::addColumn<std::optional<QColor>>("tint");
        const std::optional<QColor> none;
        QTest::newRow("light") << QRect(20, 16, 300, 180) << false << false << 1 << none;
        QTest::newRow("dark, scale 2") << QRect(21, 15, 161, 47) << true << false << 2 << none;
        const std::optional<QColor> red = QColor(Qt::red);
        QTest::newRow("solid, tinted") << QRect(20, 16, 50, 260) << false << true << 1 << red;
        QTest::newRow("smaller than its corners") << QRect(20, 16, 30, 30) << true << false << 1 << none;
    }
    void cardsLookDrawnOutright()
    {
        QFETCH(QRect, card);
        QFETCH(bool, dark);
        QFETCH(bool, solid);
        QFETCH(int, scale);
        QFETCH(std::optional<QColor>, tint);
        const QPalette palette;
        QImage images[2];
        for (int drawn = 0; drawn < 2; ++drawn) {
            images[drawn] = QImage(QSize(360, 320) * scale, QImage::Format_RGB32);
            images[drawn].setDevicePixelRatio(scale);
            images[drawn].fill(QColor(90, 140, 200));
            QPainter painter(&images[drawn]);
            if (drawn == 0) {
                Surfaces::paintCard(painter, card, { dark, solid }, palette, 18, tint);
            } else {
                Surfaces::paintCardBody(painter, card, { dark, solid }, palette, 18, tint);
                Surfaces::paintCardBorder(painter, card, { dark, solid });
            }
        }
        int worst = 0;
        for (int i = 0; i < images[0].width() * images[0].height(); ++i) {
            const QRgb a = images[0].pixel(i % images[0].width(), i / images[0].width());
            const QRgb b = images[1].pixel(i % images[0].width(), i / images[0].width());
            for (const int difference : { qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b) })
                worst = std::max(worst, std::abs(difference));
        }
        QVERIFY2(worst <= 3, qPrintable(QString::number(worst)));
    }

    // The flat first frame is the backdrop's average, so that the backdrop replacing it hardly shows.
    void toneIsTheBackdropsAverage_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("solid");
        QTest::newRow("light") << QSize(420, 800) << false << false;
        QTest::newRow("dark") << QSize(420, 800) << true << false;
        QTest::newRow("light, solid, short") << QSize(420, 620) << false << true;
        QTest::newRow("dark, solid, wide") << QSize(520, 300) << true << true;
    }
    void toneIsTheBackdropsAverage()
    {
        QFETCH(QSize, size);
        QFETCH(bool, dark);
        QFETCH(bool, solid);
        const QPalette palette = Appearance::palette(dark, QColor(10, 132, 255));
        QImage backdrop(size, QImage::Format_RGB32);
        QPainter painter(&backdrop);
        Surfaces::paintWindow(painter, QRectF(QPointF(0, 0), size), { dark, solid }, palette);
        painter.end();
        const QColor mean
            = backdrop.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
        const QColor tone = Surfaces::windowTone(size, { dark, solid }, palette);
        for (const int difference :
            { mean.red() - tone.red(), mean.green() - tone.green(), mean.blue() - tone.blue() })
            QVERIFY2(std::abs(difference) <= 3, qPrintable(mean.name() + " vs " + tone.name()));
    }

    // Left alone the caret stops blinking; a key press brings the blinking back until the next rest.
    void caretRests()
    {
        QStyleHints* hints = QGuiApplication::styleHints();
        const int flashTime = hints->cursorFlashTime();
        QLineEdit field;
        field.show();
        field.setFocus();
        CaretRest rest(nullptr, 10);
        QTRY_COMPARE(hints->cursorFlashTime(), 0);
        QTest::keyClick(&field, Qt::Key_A);
        QCOMPARE(hints->cursorFlashTime(), flashTime);
        QTRY_COMPARE(hints->cursorFlashTime(), 0);
    }

    // The desktop's setting is read from the portal and followed live as it changes.
    void followsThePortal()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus");
        FakePortal portal;
        QVERIFY(portal.start());
        TemporaryProfile profile;
        Appearance appearance(profile.preferences(), new PortalDesktopAppearance);
        appearance.apply();
        QTRY_VERIFY(appearance.isDark());
        portal.change("org.freedesktop.appearance", "color-scheme", 2);
        QTRY_VERIFY(!appearance.isDark());
        QSignalSpy changed(&appearance, &Appearance::changed);
        portal.change("org.example.other", "color-scheme", 1);
        portal.change("org.freedesktop.appearance", "contrast", 1);
        QVERIFY(changed.wait());
        QVERIFY(!appearance.isDark() && appearance.reducedTransparency());
    }
};

QTEST_MAIN(TestDesign)
#include "TestDesign.moc"
