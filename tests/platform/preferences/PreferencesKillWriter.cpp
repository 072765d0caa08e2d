// Writes one value, says so, and waits to be killed.
//   preferences_kill_writer <database> <key> integer <n>
//   preferences_kill_writer <database> <key> text <utf-8 text>
//   preferences_kill_writer <database> <key> data <size> <fill byte>
//   preferences_kill_writer <database> <key> parts <count> <fill byte>   (written twice, one part changed)
#include "platform/preferences/Preferences.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    QCoreApplication app(argc, argv);
    Preferences preferences(QString::fromLocal8Bit(argv[1]));
    const QString key = QString::fromUtf8(argv[2]);
    if (std::strcmp(argv[3], "integer") == 0)
        preferences.setInteger(key, std::strtoll(argv[4], nullptr, 10));
    else if (std::strcmp(argv[3], "text") == 0)
        preferences.setString(key, QString::fromUtf8(argv[4]));
    else if (std::strcmp(argv[3], "data") == 0 && argc >= 6)
        preferences.setData(key, QByteArray(std::atoi(argv[4]), char(std::atoi(argv[5]))));
    else if (std::strcmp(argv[3], "parts") == 0 && argc >= 6) {
        QList<QByteArray> parts;
        for (int i = 0; i < std::atoi(argv[4]); ++i)
            parts.append(QByteArray(100000, char('a' + i % 26)));
        preferences.setDataParts(key, parts);
        parts[1] = QByteArray(100000, char(std::atoi(argv[5])));
        preferences.setDataParts(key, parts);
    }
    else
        return 2;
    if (!preferences.lastWriteSucceeded() || !preferences.startupIssue().isEmpty())
        return 1;
    std::fputs("written\n", stdout);
    std::fflush(stdout);
    // Blocks until the parent kills us; end of input (parent gone) lets us leave.
    while (std::getchar() != EOF) { }
    return 0;
}
