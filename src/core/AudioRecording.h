#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QString>

// A local recording file and the time it was created.
struct AudioRecording {
    QString path;
    QDateTime createdAt;

    QString filename() const { return QFileInfo(path).fileName(); }
    bool operator==(const AudioRecording&) const = default;
};
