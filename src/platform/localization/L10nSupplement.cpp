#include "L10n.h"

namespace L10n {

// One pair per line; a key must not also be a key of the main table.
// clang-format off
const QHash<QString, QString>& supplement()
{
    static const QHash<QString, QString> table {
        { QStringLiteral("设置数据库已损坏，已将原文件保留为 {0}，Tandrel 以空白设置启动。"), QStringLiteral("The settings database was damaged. The original file was kept as {0}, and Tandrel started with empty settings.") },
        { QStringLiteral("无法打开设置数据库 {0}，本次更改不会被保存。"), QStringLiteral("Could not open the settings database {0}. Changes will not be saved this time.") },
        { QStringLiteral("已保留无法读取的数据，备份在“{0}”中。"), QStringLiteral("Unreadable data was kept as a backup under “{0}”.") },
        { QStringLiteral("无法保存更改（磁盘可能已满或不可写），Tandrel 会自动重试；保存成功前请不要退出。"), QStringLiteral("Your changes could not be saved (the disk may be full or read-only). Tandrel keeps trying; do not quit until they are saved.") },
        { QStringLiteral("文件夹“{0}”不存在或无法读取。"), QStringLiteral("The folder “{0}” does not exist or cannot be read.") },
        { QStringLiteral("文件夹授权数据无法读取。"), QStringLiteral("The saved folder access could not be read.") },
        { QStringLiteral("无法创建文件夹“{0}”。"), QStringLiteral("Could not create the folder “{0}”.") },
        { QStringLiteral("附件“{0}”的文件名无效。"), QStringLiteral("The attachment “{0}” has an invalid file name.") },
        { QStringLiteral("日历文件不是有效的 JSON（第 {0} 个字符处）。"), QStringLiteral("The calendar file is not valid JSON (at character {0}).") },
        { QStringLiteral("日历文件必须包含一个 JSON 对象。"), QStringLiteral("The calendar file must contain one JSON object.") },
        { QStringLiteral("日历文件中的“{0}”缺失或类型不正确。"), QStringLiteral("The calendar file is missing “{0}” or it has the wrong type.") },
        { QStringLiteral("无法读取文件“{0}”。"), QStringLiteral("Could not read the file “{0}”.") },
        { QStringLiteral("无法保存日历，下次启动时需要重新导入。"), QStringLiteral("The calendar could not be saved and must be imported again after the next start.") },
        { QStringLiteral("无法连接桌面通知服务"), QStringLiteral("the desktop notification service cannot be reached") },
        { QStringLiteral("提醒时间无效"), QStringLiteral("the reminder time is not valid") },
        { QStringLiteral("无法创建音频文件“{0}”。"), QStringLiteral("Could not create the audio file “{0}”.") },
        { QStringLiteral("无法读取音频文件“{0}”。"), QStringLiteral("Could not read the audio file “{0}”.") },
        { QStringLiteral("没有可用的麦克风。"), QStringLiteral("No microphone is available.") },
        { QStringLiteral("无法加载 Tandrel 的音频和网络组件（{0}），请重新安装 Tandrel。"), QStringLiteral("Tandrel’s audio and network part could not be loaded ({0}). Reinstall Tandrel.") },
        { QStringLiteral("没有可用的音频输出设备。"), QStringLiteral("No audio output device is available.") },
        { QStringLiteral("没有录到声音，请检查麦克风后重试。"), QStringLiteral("Nothing was recorded. Check your microphone and retry.") },
        { QStringLiteral("此版本尚不能把录音保存到 Obsidian。"), QStringLiteral("This version cannot save recordings to Obsidian yet.") },
        { QStringLiteral("无法读取录音文件。"), QStringLiteral("The recording file could not be read.") },
        { QStringLiteral("无法加载语音识别模型。"), QStringLiteral("The speech recognition model could not be loaded.") },
        { QStringLiteral("本地语音识别出错。"), QStringLiteral("On-device speech recognition failed.") },
        { QStringLiteral("无法下载语音识别模型，请检查网络连接后重试。"), QStringLiteral("Could not download the speech recognition model. Check the internet connection, then try again.") },
        { QStringLiteral("语音识别模型下载中断，重试时会从中断处继续。"), QStringLiteral("The speech recognition model download was interrupted. Trying again continues where it stopped.") },
        { QStringLiteral("无法下载语音识别模型（HTTP {0}），请稍后重试。"), QStringLiteral("Could not download the speech recognition model (HTTP {0}). Try again later.") },
        { QStringLiteral("下载的语音识别模型未通过校验，已删除，请重试。"), QStringLiteral("The downloaded speech recognition model failed verification and was deleted. Try again.") },
        { QStringLiteral("无法保存语音识别模型，请检查磁盘空间后重试。"), QStringLiteral("Could not save the speech recognition model. Check the free disk space, then try again.") },
        { QStringLiteral("所选文件不是多语言 whisper 模型（ggml 格式）。"), QStringLiteral("The chosen file is not a multilingual whisper model in ggml format.") },
        { QStringLiteral("语音识别模型只能通过 HTTPS 下载。"), QStringLiteral("Speech recognition models can only be downloaded over HTTPS.") },
        { QStringLiteral("正在下载语音识别模型…"), QStringLiteral("Downloading the speech recognition model…") },
        { QStringLiteral("正在校验语音识别模型…"), QStringLiteral("Verifying the speech recognition model…") },
        { QStringLiteral("正在安装语音识别模型…"), QStringLiteral("Installing the speech recognition model…") },
        { QStringLiteral("语音识别模型已安装"), QStringLiteral("Speech recognition model installed") },
        { QStringLiteral("尚未安装语音识别模型"), QStringLiteral("No speech recognition model installed") },
        { QStringLiteral("多语言 {0} 模型（约 {1} MB）"), QStringLiteral("Multilingual {0} model (about {1} MB)") },
        { QStringLiteral("Tandrel 已在运行，但没有响应。"), QStringLiteral("Tandrel is already running but does not respond.") },
        { QStringLiteral("音频已保留。语音识别只在本机进行。中文和其他语言需要 Whisper 语音模型：下载一次，或从磁盘选择已有的模型文件；没有模型时，只能用内置引擎识别英语。安装模型后再点击重试。"), QStringLiteral("Your audio has been kept. Speech recognition runs only on this device. Chinese and other languages need a Whisper speech model, downloaded once or chosen from a file on disk; without one, only English can be recognized, with the built-in engine. Install a model, then click Retry.") },
        { QStringLiteral("管理语音模型…"), QStringLiteral("Manage Speech Models…") },
        { QStringLiteral("语音识别模型"), QStringLiteral("Speech Recognition Models") },
        { QStringLiteral("下载"), QStringLiteral("Download") },
        { QStringLiteral("已安装"), QStringLiteral("Installed") },
        { QStringLiteral("当前模型：{0}"), QStringLiteral("Current model: {0}") },
        { QStringLiteral("从磁盘选择模型文件…"), QStringLiteral("Choose a Model File on Disk…") },
        { QStringLiteral("选择语音识别模型文件"), QStringLiteral("Choose a Speech Recognition Model File") },
        { QStringLiteral("Whisper 模型 (*.bin)"), QStringLiteral("Whisper models (*.bin)") },
        { QStringLiteral("无法读取拖入的文件，请从文件管理器拖入本地文件。"), QStringLiteral("Could not read the dropped files. Drag local files from the file manager.") },
        { QStringLiteral("文件“{0}”已不存在。"), QStringLiteral("The file “{0}” no longer exists.") },
        { QStringLiteral("文件“{0}”在复制过程中被移动、删除或修改。"), QStringLiteral("The file “{0}” was moved, deleted or changed while it was being copied.") },
        { QStringLiteral("磁盘空间不足，无法保存“{0}”的副本。"), QStringLiteral("There is not enough disk space for a copy of “{0}”.") },
        { QStringLiteral("无法在附件文件夹中保存“{0}”的副本。"), QStringLiteral("A copy of “{0}” could not be saved in the attachment folder.") },
        { QStringLiteral("找不到附件文件“{0}”。"), QStringLiteral("The attachment file “{0}” could not be found.") },
        { QStringLiteral("无法打开附件“{0}”。"), QStringLiteral("Could not open the attachment “{0}”.") },
        { QStringLiteral("打开附件：{0}"), QStringLiteral("Open Attachment: {0}") },
        { QStringLiteral("正在复制“{0}”… {1}%"), QStringLiteral("Copying “{0}”… {1}%") },
    };
    return table;
}
// clang-format on

} // namespace L10n
