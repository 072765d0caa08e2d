#include "design/Symbols.h"

#include <QApplication>
#include <QPalette>
#include <QtTest>

class TestDesign : public QObject {
    Q_OBJECT

private slots:
    // Every symbol comes from the bundled images, drawn at the pixels the screen asks for
    // (sharp at scale 2) in the palette's text colour, and follows a palette change.
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
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x) {
                        const QColor pixel = image.pixelColor(x, y);
                        inked += pixel.alpha() == 255 && pixel.rgb() == ink.rgb();
                    }
                QVERIFY2(inked > 8, qPrintable(QString::number(value)));
            }
        }
    }
};

QTEST_MAIN(TestDesign)
#include "TestDesign.moc"
