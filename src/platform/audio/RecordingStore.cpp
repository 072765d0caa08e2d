#include "RecordingStore.h"

RecordingStore::RecordingStore(QObject* parent)
    : QObject(parent)
{
}

void RecordingStore::reload() { }
