#include "TestMain.h"

#include <QApplication>
#include <QTest>

#include <cstring>
#include <memory>

// Runs every registered test class. "-class Name" runs only that class; the
// other arguments go to QTest (test functions, -v2, ...).
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vescor"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));

    QByteArray onlyClass;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-class") == 0 && i + 1 < argc) {
            onlyClass = argv[++i];
            continue;
        }
        args.push_back(argv[i]);
    }

    int failures = 0;
    for (const auto& [name, factory] : testsupport::registeredTests()) {
        if (!onlyClass.isEmpty() && onlyClass != name)
            continue;
        std::unique_ptr<QObject> test(factory());
        failures += QTest::qExec(test.get(), int(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}
