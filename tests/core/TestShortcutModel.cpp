#include "core/KeyboardShortcutBinding.h"

#include <QtTest>

namespace {
constexpr quint32 cmd = ShortcutModifiers::command;
constexpr quint32 ctl = ShortcutModifiers::control;
constexpr quint32 opt = ShortcutModifiers::option;
constexpr quint32 sft = ShortcutModifiers::shift;
} // namespace

class TestShortcutModel : public QObject {
    Q_OBJECT

private slots:
    void validation_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("valid");
        QTest::newRow("⌘C") << 8u << cmd << "C" << false;
        QTest::newRow("⌘⇧C") << 8u << (cmd | sft) << "C" << true;
        QTest::newRow("no modifiers") << 35u << 0u << "P" << false;
        QTest::newRow("modifier key 56") << 56u << (ctl | opt) << "Shift" << false;
        QTest::newRow("key 64 after modifiers") << 64u << (ctl | opt) << "F17" << true;
        QTest::newRow("key 127") << 127u << (ctl | opt) << "X" << false;
        QTest::newRow("bit outside all") << 35u << (16u | cmd) << "P" << false;
        QTest::newRow("label 33") << 35u << (ctl | opt) << QString(33, 'x') << false;
        QTest::newRow("empty label") << 35u << (ctl | opt) << "" << false;
    }
    void validation()
    {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, label);
        QTEST((KeyboardShortcutBinding { keyCode, ShortcutModifiers(modifiers), label }.isValid()), "valid");
    }

    void json_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("complete") << QByteArray(R"({"keyCode":35,"modifiers":6,"keyLabel":"P"})") << true;
        QTest::newRow("no label") << QByteArray(R"({"keyCode":35,"modifiers":6})") << false;
        QTest::newRow("fraction") << QByteArray(R"({"keyCode":35.5,"modifiers":6,"keyLabel":"P"})") << false;
        QTest::newRow("negative") << QByteArray(R"({"keyCode":-1,"modifiers":6,"keyLabel":"P"})") << false;
    }
    void json()
    {
        QFETCH(QByteArray, json);
        const auto binding = KeyboardShortcutBinding::fromJson(QJsonDocument::fromJson(json).object());
        QTEST(binding.has_value(), "decodes");
        if (binding) {
            QCOMPARE(*binding, (KeyboardShortcutBinding { 35, ShortcutModifiers(6), "P" }));
            QCOMPARE(QJsonDocument(binding->toJson()).toJson(QJsonDocument::Compact),
                QByteArray(R"({"keyCode":35,"keyLabel":"P","modifiers":6})"));
        }
    }
};

QTEST_APPLESS_MAIN(TestShortcutModel)
#include "TestShortcutModel.moc"
