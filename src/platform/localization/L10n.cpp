#include "L10n.h"

#include <QRegularExpression>

#include <optional>

namespace L10n {
namespace {

QHash<QString, QString> hashOf(const QList<QPair<QString, QString>>& pairs)
{
    QHash<QString, QString> table;
    table.reserve(pairs.size());
    for (const auto& [chinese, english] : pairs)
        table.insert(chinese, english);
    return table;
}

const QRegularExpression& placeholderExpression()
{
    static const QRegularExpression expression = [] {
        QRegularExpression compiled(QStringLiteral("\\{([0-9]+)\\}"));
        // isValid() compiles the pattern now, so later matches only read the shared object.
        if (!compiled.isValid())
            qFatal("L10n: invalid placeholder expression: %s", qPrintable(compiled.errorString()));
        return compiled;
    }();
    return expression;
}

std::optional<QString> englishText(const QString& text)
{
    const QHash<QString, QString>& main = english();
    if (const auto found = main.constFind(text); found != main.constEnd())
        return *found;
    const QHash<QString, QString>& extra = supplement();
    if (const auto found = extra.constFind(text); found != extra.constEnd())
        return *found;
    return std::nullopt;
}

struct Placeholder {
    qsizetype start;
    qsizetype length;
    qsizetype index;
};

} // namespace

const QHash<QString, QString>& english()
{
    static const QHash<QString, QString> table = hashOf(englishPairs());
    return table;
}

QString render(const QString& text, const QStringList& arguments, AppLanguage language)
{
    QString working = text;
    if (language.resolved() == AppLanguage::english) {
        if (std::optional<QString> translated = englishText(text))
            working = std::move(*translated);
    }

    // All matches are found before any replacement, so inserted arguments are never rescanned.
    QList<Placeholder> placeholders;
    QRegularExpressionMatchIterator matches = placeholderExpression().globalMatch(working);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        bool parsed = false;
        // Base 10 explicitly: leading zeros are decimal ("{01}" is 1); overflow fails to parse.
        const qlonglong index = match.capturedView(1).toLongLong(&parsed, 10);
        if (parsed && index >= 0 && index < arguments.size())
            placeholders.append({ match.capturedStart(0), match.capturedLength(0), qsizetype(index) });
    }

    // Right to left, so that each replacement leaves the earlier positions valid.
    for (auto it = placeholders.crbegin(); it != placeholders.crend(); ++it)
        working.replace(it->start, it->length, arguments.at(it->index));
    return working;
}

QString tr(const QString& text, const QStringList& arguments)
{
    return render(text, arguments, AppLanguage::current());
}

QLocale locale(AppLanguage language)
{
    if (language.resolved() == AppLanguage::chinese)
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

QLocale locale()
{
    return locale(AppLanguage::current());
}

} // namespace L10n
