#include "WeeklyRestSummary.h"

#include "platform/localization/L10n.h"

QString WeeklyRestSummary::text() const
{
    return text(AppLanguage::current());
}

QString WeeklyRestSummary::text(AppLanguage language) const
{
    const QString count = QString::number(restCount);
    QString base;
    if (!daysUntilFirstRest)
        base = L10n::render(QStringLiteral("本周无休息日"), {}, language);
    else if (*daysUntilFirstRest >= 1)
        base = L10n::render(QStringLiteral("距本周首休还有 {0} 天 · 休 {1} 天"),
            { QString::number(*daysUntilFirstRest), count }, language);
    else if (todayIsOff)
        base = L10n::render(QStringLiteral("今天休息 · 本周休 {0} 天"), { count }, language);
    else
        base = L10n::render(QStringLiteral("本周首休已过 · 共休 {0} 天"), { count }, language);
    if (isEstimated)
        base += L10n::render(QStringLiteral("（估算）"), {}, language);
    return base;
}
