#pragma once

#include "Uuid.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

// Empty braces let designated initialisers omit members without -Wmissing-field-initializers.
struct TaskItem {
    QUuid id = Uuid::create();
    QString title {};
    bool isCompleted = false;
    std::optional<QDateTime> reminderAt {};

    bool operator==(const TaskItem&) const = default;
};
