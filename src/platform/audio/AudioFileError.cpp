#include "AudioFileError.h"

#include "platform/localization/L10n.h"

QString AudioFileError::text() const
{
    switch (kind) {
    case Kind::cannotCreate:
        return L10n::tr("无法创建音频文件“{0}”。", { path });
    case Kind::cannotRead:
        break;
    }
    return L10n::tr("无法读取音频文件“{0}”。", { path });
}
