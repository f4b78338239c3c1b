#include <QCoreApplication>
#include <gtest/gtest.h>

// The logic and the system adapters need no window: no QApplication, no display.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvorix_tests")); // names their temporary folders
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
