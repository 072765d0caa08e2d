#pragma once

#include <QObject>
#include <QString>

// Turns a recording file into text on the device.
class TranscriptionProviding : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TranscriptionProviding() override = default;
};
