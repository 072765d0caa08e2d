#include "FontWarmUp.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

FontWarmUp::FontWarmUp(QObject* parent)
    : QObject(parent)
{
    // The fonts are read here: the application's font belongs to the main thread.
    const QList<QFont> fonts { QGuiApplication::font(), QFontDatabase::systemFont(QFontDatabase::FixedFont) };
    m_jobs.start([fonts](const BackgroundJobs::Job&) {
        QFontDatabase::families();
        // Measuring text looks up each font's fallback fonts for its script. Latin only:
        // text the font lacks (Chinese) would load fallback fonts into this thread's own
        // cache, which the main thread cannot use.
        for (const QFont& font : fonts)
            QFontMetrics(font).horizontalAdvance(QStringLiteral("Tandrel 0:00"));
    });
}
