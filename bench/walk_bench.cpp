// halvorix-walk-bench TREE: fills the transfer list model from TREE through the same code as
// "Add All File(s) In Folder" in file mode (walk, listings, probes, rows) and prints rows and seconds.
#include "BenchSupport.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtUi.h"
#include "transferlist/Intake.h"
#include "transferlist/TransferListModel.h"

#include <cstdio>

using namespace halvorix;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: halvorix-walk-bench TREE\n");
        return 2;
    }
    PosixFileSystem fs;
    QtUi ui; // the program's own: its yields cost what they cost there
    DirectSteps steps;
    TransferListModel model;
    const auto start = std::chrono::steady_clock::now();
    model.appendBatch(fileRowsForFolder(fs, ui, QString::fromLocal8Bit(argv[1]), steps));
    std::printf("rows %d seconds %.3f\n", model.count(), bench::secondsSince(start));
    return 0;
}
