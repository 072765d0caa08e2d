// Writes one value, says so, and waits to be killed.
//   preferences_kill_writer <database> <key> data <size> <fill byte>
//   preferences_kill_writer <database> <key> array <count> <fill byte>   (written twice, one element changed)
#include "platform/preferences/Preferences.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 6)
        return 2;
    QCoreApplication app(argc, argv);
    Preferences preferences(QString::fromLocal8Bit(argv[1]));
    const QString key = QString::fromUtf8(argv[2]);
    bool written = false;
    if (std::strcmp(argv[3], "data") == 0) {
        written = preferences.setData(key, QByteArray(std::atoi(argv[4]), char(std::atoi(argv[5]))));
    } else if (std::strcmp(argv[3], "array") == 0) {
        QList<Preferences::ArrayElement> elements;
        for (int i = 0; i < std::atoi(argv[4]); ++i)
            elements.append({ QString::number(i), QByteArray(100000, char('a' + i % 26)) });
        written = preferences.setArray(key, elements);
        elements[1].json = QByteArray(100000, char(std::atoi(argv[5])));
        written = written && preferences.setArray(key, elements);
    } else {
        return 2;
    }
    if (!written || !preferences.startupIssue().isEmpty())
        return 1;
    std::fputs("written\n", stdout);
    std::fflush(stdout);
    // Blocks until the parent kills us; end of input (parent gone) lets us leave.
    while (std::getchar() != EOF) { }
    return 0;
}
