#pragma once

#include <QString>
#include <QUuid>

#include <optional>

// UUIDs are written in their canonical 36-character upper-case form.
namespace Uuid {
QString text(const QUuid& id);
// Parses the canonical form (either letter case, no braces); nothing for anything else.
std::optional<QUuid> parse(const QString& text);
QUuid create();
} // namespace Uuid
