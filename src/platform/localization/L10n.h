#pragma once

#include "AppLanguage.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>

// Every visible text is written in Chinese; that text is the key of its English form.
namespace L10n {

// The fixed Chinese-to-English table (exactly the product's 299 pairs).
const QHash<QString, QString>& english();
// The pairs in the order the table lists them.
const QList<QPair<QString, QString>>& englishPairs();

// Texts that exist only in the Linux build (messages of services the other platform
// did not have); consulted after the main table.
const QHash<QString, QString>& supplement();

// The text in the resolved `language`, with "{n}" placeholders filled from `arguments`.
QString render(const QString& text, const QStringList& arguments, AppLanguage language);

// Shorthand: render in the standard store's current interface language.
QString tr(const QString& text, const QStringList& arguments = {});

// "zh-Hans" locale for Chinese, "en" (United States) otherwise.
QLocale locale(AppLanguage language);
QLocale locale();

} // namespace L10n
