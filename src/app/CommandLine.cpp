#include "CommandLine.h"

#include "platform/localization/L10n.h"

#include <QCommandLineParser>

#ifndef TANDREL_VERSION
#define TANDREL_VERSION "0"
#endif

namespace {
struct ActionOption {
    ShortcutAction action;
    const char* name;
    const char* description;
};

const ActionOption kActionOptions[] = {
    { ShortcutAction::focus, "toggle-timer", "开始或暂停专注计时。" },
    { ShortcutAction::recording, "toggle-recording", "开始或停止录音。" },
    { ShortcutAction::sidebar, "show-sidebar", "显示侧边栏。" },
};
} // namespace

QString CommandLine::optionName(ShortcutAction action)
{
    for (const ActionOption& option : kActionOptions) {
        if (option.action == action)
            return QLatin1String(option.name);
    }
    return {};
}

std::optional<ShortcutAction> CommandLine::actionFromOptionName(const QString& name)
{
    for (const ActionOption& option : kActionOptions) {
        if (name == QLatin1String(option.name))
            return option.action;
    }
    return std::nullopt;
}

CommandLine CommandLine::parse(const QStringList& arguments)
{
    // The usual launch: nothing to read, and no need to translate the options' texts first.
    if (arguments.size() <= 1)
        return {};
    QCommandLineParser parser;
    parser.setApplicationDescription(L10n::tr(
        "Tandrel：停靠在屏幕边缘的待办、速记、专注计时与录音侧边栏。下面的操作交给正在运行的 Tandrel；它没有运行时先启动它。"));
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, L10n::tr("显示此帮助。"));
    const QCommandLineOption version(QStringLiteral("version"), L10n::tr("显示版本号。"));
    parser.addOption(help);
    parser.addOption(version);
    for (const ActionOption& option : kActionOptions)
        parser.addOption(
            QCommandLineOption(QLatin1String(option.name), L10n::tr(QString::fromUtf8(option.description))));

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.outcome = Outcome::invalid;
        const QStringList unknown = parser.unknownOptionNames();
        result.text = unknown.isEmpty() ? parser.errorText()
                                        : L10n::tr("无法识别的选项：{0}", { unknown.constFirst() });
        return result;
    }
    if (parser.isSet(help)) {
        result.outcome = Outcome::printHelp;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = Outcome::printVersion;
        result.text = QStringLiteral("Tandrel " TANDREL_VERSION);
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.outcome = Outcome::invalid;
        result.text = L10n::tr("无法识别的参数：{0}", { parser.positionalArguments().constFirst() });
        return result;
    }
    for (const ActionOption& option : kActionOptions) {
        if (!parser.isSet(QLatin1String(option.name)))
            continue;
        if (result.action) {
            result.outcome = Outcome::invalid;
            result.text = L10n::tr("一次只能给出一个操作。");
            return result;
        }
        result.action = option.action;
    }
    return result;
}
